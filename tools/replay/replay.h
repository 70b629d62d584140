#pragma once
// Runs the real core on the headless platform from a script, one command a line.
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "shell/form2.h"

namespace pet {

class Replay {
 public:
  explicit Replay(const std::string& workDir);
  // Runs the script; returns the exit status (0, or 2 after a bad line).
  int run(std::istream& script, std::ostream& out, std::ostream& err);

  HeadlessPlatform& platform() { return platform_; }
  Form2& form() { return form_; }

 private:
  using Args = std::vector<std::string>;
  struct Command {
    size_t minArgs, maxArgs;
    std::function<bool(const Args&)> run;  // false: a bad argument
  };
  void load();
  std::string controlsJson();
  void add(const std::string& name, size_t minArgs, size_t maxArgs,
           std::function<bool(const Args&)> run);

  HeadlessPlatform platform_;
  Form2 form_;
  bool loaded_ = false;
  std::ostream* out_ = nullptr;
  std::map<std::string, Command> commands_;
};

}  // namespace pet
