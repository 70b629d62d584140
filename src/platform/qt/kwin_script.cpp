#include "platform/qt/kwin_script.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace pet::qt {

namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kScripting = "org.kde.kwin.Scripting";
constexpr const char* kObjectPath = "/deskpet";
// How long a call to KWin may take at the end, before the program ends anyway.
constexpr int kEndTimeoutMs = 500;

// Every value goes as text: KWin passes a script's numbers as whichever
// D-Bus type their value suggests, and one text is one signature.
const char* const kScript = R"JS((function () {
  const service = "%1", path = "%2", iface = "org.deskpet.Session", pid = %3;
  let watched = null;
  function tell() {
    const c = watched;
    callDBus(service, path, iface, "active",
             (c ? String(c.internalId) : "") + " " + (c && c.fullScreen ? 1 : 0) + " " +
             (c && c.pid === pid ? 1 : 0));
  }
  function activated(c) {
    if (watched) watched.fullScreenChanged.disconnect(tell);
    watched = c;
    if (c) c.fullScreenChanged.connect(tell);
    tell();
  }
  workspace.clientActivated.connect(activated);
  workspace.cursorPosChanged.connect(function () {
    const p = workspace.cursorPos;
    callDBus(service, path, iface, "pointer", p.x + " " + p.y);
  });
  activated(workspace.activeClient);
})();
)JS";

QDBusMessage scripting(const char* method, const QVariantList& args) {
  QDBusMessage m =
      QDBusMessage::createMethodCall(QString::fromLatin1(kKWin), QStringLiteral("/Scripting"),
                                     QString::fromLatin1(kScripting), QString::fromLatin1(method));
  m.setArguments(args);
  return m;
}

QString runtimeFile(const QString& name) {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir + QLatin1Char('/') + name;
}

bool writeText(const QString& path, const QString& text) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = text.toUtf8();
  return f.write(bytes) == bytes.size();
}

}  // namespace

KWinScript::KWinScript() {
  // One name per data folder (one program runs per folder): a script left
  // behind by a program that was killed is unloaded by the next one.
  name_ = QStringLiteral("deskpet-%1").arg(qHash(QDir::currentPath()), 0, 16);
  path_ = runtimeFile(name_ + QStringLiteral(".js"));
}

KWinScript::~KWinScript() {
  if (!loaded_) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (int n = std::max(1, onceCount_ - 1); n <= onceCount_; ++n) {
    bus.call(scripting("unloadScript", {onceName(n)}), QDBus::NoBlock);
    QFile::remove(runtimeFile(onceName(n) + QStringLiteral(".js")));
  }
  bus.call(scripting("unloadScript", {name_}), QDBus::Block, kEndTimeoutMs);
  QFile::remove(path_);
}

bool KWinScript::start(QString* why) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    *why = QStringLiteral("no session bus");
    return false;
  }
  QDBusConnectionInterface* names = bus.interface();
  if (!names || !names->isServiceRegistered(QString::fromLatin1(kKWin))) {
    *why = QStringLiteral("KWin is not on the session bus");
    return false;
  }
  kwin_ = names->serviceOwner(QString::fromLatin1(kKWin));
  if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                          QDBusConnection::ExportScriptableSlots)) {
    *why = QStringLiteral("cannot take the bus path ") + QString::fromLatin1(kObjectPath);
    return false;
  }
  service_ = bus.baseService();
  const QString text = QString::fromUtf8(kScript)
                           .arg(service_, QString::fromLatin1(kObjectPath))
                           .arg(qint64(::getpid()));
  if (!writeText(path_, text)) {
    *why = QStringLiteral("cannot write ") + path_;
    return false;
  }
  // A script of this name is left over from a program that was killed; its
  // name is free again once KWin has come round to deleting it.
  QDBusMessage loaded;
  if (bus.call(scripting("unloadScript", {name_})).arguments().value(0).toBool()) {
    for (int tries = 0; tries < 10; ++tries) {
      loaded = bus.call(scripting("isScriptLoaded", {name_}));
      if (!loaded.arguments().value(0).toBool()) break;
      QThread::msleep(20);
    }
  }
  loaded = bus.call(scripting("loadScript", {path_, name_}));
  if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty() ||
      loaded.arguments().first().toInt() < 0) {
    *why = QStringLiteral("KWin did not load the script");
    if (loaded.type() == QDBusMessage::ErrorMessage)
      *why += QStringLiteral(": ") + loaded.errorMessage();
    return false;
  }
  loaded_ = true;
  bus.call(scripting("start", {}));
  return true;
}

bool KWinScript::fromKWin() const {
  return calledFromDBus() && message().service() == kwin_;
}

void KWinScript::pointer(const QString& text) {
  if (!fromKWin()) return;
  const QStringList parts = text.split(QLatin1Char(' '));
  bool okX = false, okY = false;
  if (parts.size() != 2) return;
  const QPoint p(parts[0].toInt(&okX), parts[1].toInt(&okY));
  // Text that is not two numbers, or a place off the desktop: not a move.
  if (!okX || !okY || (!desktop_.isEmpty() && !desktop_.contains(p))) return;
  if (onPointer_) onPointer_(p);
}

void KWinScript::active(const QString& text) {
  if (!fromKWin()) return;
  const QStringList parts = text.split(QLatin1Char(' '));
  if (parts.size() != 3) return;
  const bool ours = parts[2] == QLatin1String("1");
  fullScreen_ = parts[1] == QLatin1String("1");
  ownActive_ = ours;
  // KWin may make the overlay active by itself as a panel appears, before
  // the program asks: the window to give the keyboard back to is the last
  // other one that had it.
  if (!ours && isWindowId(parts[0])) lastOther_ = parts[0];
}

bool KWinScript::isWindowId(const QString& id) {
  // Ids go into a script later: only what KWin's ids are made of.
  if (id.isEmpty()) return false;
  for (QChar ch : id)
    if (!(ch.isLetterOrNumber() || ch == QLatin1Char('{') || ch == QLatin1Char('}') ||
          ch == QLatin1Char('-')))
      return false;
  return true;
}

QString KWinScript::onceName(int n) const {
  return name_ + QStringLiteral("-once-%1").arg(n);
}

void KWinScript::runOnce(const QString& body) {
  if (!loaded_) return;
  // Each run has a name and a file of its own: KWin reads a script's file
  // only once it has started it, in a thread, and an unloaded script's name
  // stays taken until KWin's event loop comes round. The run before last is
  // long done: its name and file go now.
  const int n = ++onceCount_;
  const QString path = runtimeFile(onceName(n) + QStringLiteral(".js"));
  if (!writeText(path, body)) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (n > 2) {
    bus.call(scripting("unloadScript", {onceName(n - 2)}), QDBus::NoBlock);
    QFile::remove(runtimeFile(onceName(n - 2) + QStringLiteral(".js")));
  }
  // Asked without waiting, in order: KWin takes them one after another.
  bus.call(scripting("loadScript", {path, onceName(n)}), QDBus::NoBlock);
  bus.call(scripting("start", {}), QDBus::NoBlock);
}

void KWinScript::activateOverlay() {
  runOnce(QStringLiteral(
              "for (const c of workspace.clientList())\n"
              "  if (c.pid === %1 && c.notification) { workspace.activeClient = c; break; }\n")
              .arg(qint64(::getpid())));
}

void KWinScript::activatePrevious() {
  // Only while the overlay still has the keyboard: the user may have chosen
  // another window meanwhile. With no window to give it to, none has it.
  runOnce(QStringLiteral("let to = null;\n"
                         "for (const c of workspace.clientList())\n"
                         "  if (String(c.internalId) === \"%2\") to = c;\n"
                         "const a = workspace.activeClient;\n"
                         "if (a && a.pid === %1 && a.notification) workspace.activeClient = to;\n")
              .arg(qint64(::getpid()))
              .arg(lastOther_));
}

}  // namespace pet::qt
