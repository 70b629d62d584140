// deskpet-replay [DIR]: runs the program's core headlessly from a script on
// standard input, in the working directory DIR (default: the current one).
#include <iostream>

#include "replay.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::cerr << "usage: deskpet-replay [DIR] < script\n";
    return 2;
  }
  pet::Replay replay(argc == 2 ? argv[1] : ".");
  int status = replay.run(std::cin, std::cout, std::cerr);
  for (const auto& p : replay.platform().problems()) std::cerr << p << "\n";
  return status;
}
