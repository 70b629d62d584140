#include "platform/qt/requests.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalSocket>
#include <cstring>

namespace pet::qt {

namespace {

constexpr int kMaxLine = 32;

QString serverName() {
  struct stat st {};
  if (::stat(".", &st) != 0) return {};
  return QStringLiteral("deskpet-%1-%2")
      .arg(qulonglong(st.st_dev), 0, 16)
      .arg(qulonglong(st.st_ino), 0, 16);
}

// Whether the other end of `fd` runs as this user: a name in the abstract
// namespace can be taken or called by anyone on the machine.
bool sameUser(qintptr fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  return ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::getuid();
}

const char* word(Request r) {
  switch (r) {
    case Request::ShowInfo:
      return "show-info";
    case Request::Quit:
      return "quit";
    case Request::OpenList:
      break;
  }
  return "open-list";
}

}  // namespace

Request requestFromArgs(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--show-info") == 0) return Request::ShowInfo;
    if (std::strcmp(argv[i], "--quit") == 0) return Request::Quit;
  }
  return Request::OpenList;
}

bool asksOnly(int argc, char** argv) {
  return requestFromArgs(argc, argv) == Request::Quit;
}

bool sendRequest(Request request, int timeoutMs, std::string* why) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(serverName());
  if (!socket.waitForConnected(timeoutMs)) {
    *why = socket.errorString().toStdString();
    return false;
  }
  if (!sameUser(socket.socketDescriptor())) {
    *why = "another user's program holds the name";
    return false;
  }
  socket.write(word(request));
  socket.write("\n");
  if (!socket.waitForBytesWritten(timeoutMs) || !socket.waitForReadyRead(timeoutMs)) {
    *why = "no answer";
    return false;
  }
  if (socket.readLine(kMaxLine).trimmed() != "ok") {
    *why = "an unexpected answer";
    return false;
  }
  return true;
}

RequestListener::RequestListener(std::function<void(Request)> handler)
    : handler_(std::move(handler)) {
  server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
  QObject::connect(&server_, &QLocalServer::newConnection, this, [this] { take(); });
}

bool RequestListener::listen(std::string* why) {
  if (server_.listen(serverName())) return true;
  *why = server_.errorString().toStdString();
  return false;
}

void RequestListener::take() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!sameUser(socket->socketDescriptor())) {
      socket->abort();
      continue;
    }
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      if (!socket->canReadLine()) {
        // A line longer than any request is not one.
        if (socket->bytesAvailable() > kMaxLine) socket->abort();
        return;
      }
      const QByteArray line = socket->readLine(kMaxLine).trimmed();
      Request r;
      if (line == "open-list")
        r = Request::OpenList;
      else if (line == "show-info")
        r = Request::ShowInfo;
      else if (line == "quit")
        r = Request::Quit;
      else {
        socket->abort();
        return;
      }
      socket->write("ok\n");
      socket->flush();
      socket->disconnectFromServer();
      if (handler_) handler_(r);
    });
  }
}

}  // namespace pet::qt
