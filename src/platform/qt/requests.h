#pragma once
// Requests from another start of the program on the same data folder: the
// running program listens on a local socket named after the folder itself
// (its device and inode, so every path to it finds the same one), and a
// second start hands it its request and ends instead of running twice.
#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>

namespace pet::qt {

enum class Request { OpenList, ShowInfo, Quit };

// What this command line asks of a running program: --show-info, --quit, or
// (by default, as a start from the menu) --open-list.
Request requestFromArgs(int argc, char** argv);
// Whether the command line only asks something of a running program (--quit)
// and should not start one.
bool asksOnly(int argc, char** argv);

// Hands `request` to the program that runs on the working directory's data
// folder. False, with the reason, when it cannot be reached or does not
// answer within `timeoutMs`.
bool sendRequest(Request request, int timeoutMs, std::string* why);

// Takes requests for the working directory's data folder; call once this
// process holds the folder's lock. Only the user's own processes are heard.
class RequestListener : public QObject {
 public:
  explicit RequestListener(std::function<void(Request)> handler);
  // False, with the reason, when the name cannot be taken.
  bool listen(std::string* why);

 private:
  void take();
  QLocalServer server_;
  std::function<void(Request)> handler_;
};

}  // namespace pet::qt
