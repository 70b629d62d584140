// The Linux desktop program: its pets in a data folder of the user's, one
// instance per data folder, a 16 ms tick that sleeps while nothing changes, a tray icon, and quit
// requests from signals and the session.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/data_folder.h"
#include "platform/posix/files.h"
#include "platform/qt/autostart.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/requests.h"
#include "platform/qt/ticker.h"
#include "platform/qt/wayland_overlay.h"
#include "shell/form2.h"
#include "shell/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTrayCheckTicks = 120;  // about every two seconds
// How long a second start waits for the running program's answer.
constexpr int kRequestTimeoutMs = 3000;

int signalPipe[2] = {-1, -1};

// Qt ends the process when the connection to the display breaks (the X
// server or the Wayland compositor ended with the session, or crashed), from
// the event loop: the pets are saved first. On X with exit(), which runs the
// exit handlers; on Wayland at once, just after it says so in a message,
// which can come from its event thread and the main thread together: the
// second waits until the first has saved (and so ended the process).
// Empty once main() is done with them, and once they are saved.
std::function<void()> saveAtExit;
std::recursive_mutex saving;
void onExit() {
  const std::lock_guard<std::recursive_mutex> lock(saving);
  std::function<void()> save = std::move(saveAtExit);
  saveAtExit = nullptr;
  if (save) save();
}
QtMessageHandler qtMessages = nullptr;
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (qtMessages) qtMessages(type, context, text);
  if (text.startsWith(QLatin1String("The Wayland connection"))) onExit();
}

void onSignal(int) {
  const int saved = errno;
  const char b = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &b, 1);
  errno = saved;
}

// Where the pets live: `--data-dir DIR`, else the user's data folder,
// ${XDG_DATA_HOME:-~/.local/share}/deskpet, whatever folder the program was
// started from.
struct DataFolder {
  std::string path;
  bool given = false;  // by --data-dir
};

DataFolder chooseDataFolder(int argc, char** argv) {
  DataFolder f;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--data-dir" && i + 1 < argc) f = {argv[++i], true};
    if (a.rfind("--data-dir=", 0) == 0) f = {std::string(a.substr(11)), true};
  }
  if (!f.given) {
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    f.path =
        xdg && xdg[0] == '/' ? std::string(xdg) : std::string(home ? home : "") + "/.local/share";
    f.path += "/deskpet";
  }
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(f.path, ec);
  if (!ec) f.path = absolute.lexically_normal().string();
  while (f.path.size() > 1 && f.path.back() == '/') f.path.pop_back();
  return f;
}

bool wantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  return false;
}

bool haveDisplay() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (qpa && (std::strcmp(qpa, "offscreen") == 0 || std::strcmp(qpa, "minimal") == 0)) return false;
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* s = std::getenv(v);
    if (s && *s) return true;
  }
  return false;
}

// Which kind of session the overlay is made for. In a Wayland session whose
// compositor has KWin's plasma shell (KDE Plasma) the overlay is a native
// Wayland window above every other; everywhere else it is an X11 window with
// a shape (through XWayland in other Wayland sessions). DESKPET_SESSION=x11
// or =wayland chooses, and so does a QT_QPA_PLATFORM of the user's.
const char* sessionPlatform() {
  const char* chosen = std::getenv("DESKPET_SESSION");
  if (chosen && std::strcmp(chosen, "x11") == 0) return "xcb";
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  const bool waylandSession = wl && *wl;
  if (chosen && std::strcmp(chosen, "wayland") == 0) return waylandSession ? "wayland" : "xcb";
  // Falls back to X11 should Qt's wayland plugin be missing.
  if (waylandSession && pet::qt::compositorHasPlasmaShell()) return "wayland;xcb";
  return "xcb";
}

// On a scaled screen pets and panels keep their size: Qt scales by the
// nearest whole number (pixel art stays sharp, click-through exact).
void platformDefaults() {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", sessionPlatform(), 0);
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  // Qt's own event loop instead of GLib's: the program wakes 60 times a
  // second for its ticks, and GLib's loop costs about a fifth more CPU
  // (bench/desktop_cpu.sh). A user's own setting stands.
  setenv("QT_NO_GLIB", "1", 0);
}

int refuseSecondInstance(int argc, char** argv, const std::string& why) {
  std::fprintf(stderr,
               "deskpet: another deskpet is already running with this data folder and cannot be "
               "asked to open its panels (%s); this one ends without touching its data.\n",
               why.c_str());
  if (!haveDisplay()) return 1;
  QApplication app(argc, argv);
  QMessageBox box(QMessageBox::Information, QStringLiteral("もこぽん"),
                  QStringLiteral("もこぽんは既に起動しています。"), QMessageBox::Ok);
  box.setObjectName(QStringLiteral("deskpet-already-running"));
  // Above the running program's overlay and panels, which stay on top.
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  // Goes away by itself, so a second start from a script never hangs.
  QTimer::singleShot(5000, &box, &QMessageBox::accept);
  box.exec();
  return 1;
}

// The desktop platform, writing only into the data folder: one deleted or
// moved away while the program runs is made again where it was before the
// next write, so the pets are saved where the user looks for them.
class DesktopPlatform final : public pet::qt::QtPlatform {
 public:
  // `folder` is null when the data folder could not be made: nothing is written.
  explicit DesktopPlatform(pet::posix::DataFolder* folder) : folder_(folder) {}

  bool writeFileAtomic(const std::string& name, std::string_view bytes) override {
    return folderHere() && pet::posix::writeFileAtomic(".", name, bytes);
  }
  bool writeCopy(const std::string& original, const std::string& copyName,
                 std::string_view bytes) override {
    return folderHere() && pet::posix::writeCopy(".", original, copyName, bytes);
  }

 private:
  bool folderHere() {
    if (!folder_) return false;
    std::string error;
    switch (folder_->keep(&error)) {
      case pet::posix::DataFolder::Check::Same:
        return true;
      case pet::posix::DataFolder::Check::Remade:
        reportProblem("データフォルダ「" + folder_->path() +
                      "」がなくなっていたので、作り直しました。");
        return true;
      case pet::posix::DataFolder::Check::Failed:
        break;
    }
    if (error != told_)
      reportProblem("データフォルダ「" + folder_->path() + "」がなくなり、作り直せません（" +
                    error + "）。");
    told_ = error;
    return false;
  }
  pet::posix::DataFolder* folder_;
  std::string told_;
};

struct Stats {
  bool enabled = std::getenv("DESKPET_STATS") != nullptr;
  Clock::time_point start = Clock::now();
  long ticks = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (wantsHelp(argc, argv)) {
    std::printf(
        "usage: deskpet [--data-dir DIR] [--open-list | --show-info | --quit]\n"
        "Keeps its pets in DIR, by default ${XDG_DATA_HOME:-~/.local/share}/deskpet.\n"
        "Started again on the same folder, it asks the running one to open the slot list\n"
        "(--open-list, the default) or the information panel (--show-info), or to save\n"
        "and quit (--quit), and ends.\n");
    return 0;
  }
  platformDefaults();
  const DataFolder folder = chooseDataFolder(argc, argv);
  pet::posix::DataFolder dataFolder(folder.path);
  const std::optional<std::string> folderError = dataFolder.enter();
  // Without its folder the program keeps no lock: it reads and writes nothing.
  // A second start on the folder hands its request to the program running
  // there (the slot list, the information panel, or save and quit) and ends.
  if (!folderError && !dataFolder.lock()) {
    std::string why;
    {
      const QCoreApplication asking(argc, argv);
      if (pet::qt::sendRequest(pet::qt::requestFromArgs(argc, argv), kRequestTimeoutMs, &why))
        return 0;
    }
    return refuseSecondInstance(argc, argv, why);
  }
  // Asked to save and quit with none running: nothing to do, and no start.
  if (pet::qt::asksOnly(argc, argv)) {
    std::fprintf(stderr, "deskpet: no deskpet runs with this data folder.\n");
    return 0;
  }

  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
  }

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(QStringLiteral("deskpet"));
  QApplication::setApplicationDisplayName(QStringLiteral("もこぽん"));

  DesktopPlatform platform(folderError ? nullptr : &dataFolder);
  pet::Form2 form(platform);
  platform.attach(&form);
  platform.setFilesUsable(!folderError);

  // Started at login as it was started now: the same program, the same pets.
  std::vector<std::string> command{QCoreApplication::applicationFilePath().toStdString()};
  if (folder.given) command.insert(command.end(), {"--data-dir", folder.path});
  const pet::qt::Autostart autostart(command);

  // The tick's work is set below, once everything it touches is there.
  std::function<void()> tickWork = [] {};
  pet::qt::Ticker ticker(platform, form, [&] { tickWork(); });

  Stats stats;
  platform.setOnEnd([&] {
    if (!stats.enabled) return;
    const double secs = std::chrono::duration<double>(Clock::now() - stats.start).count();
    const auto& c = platform.counters();
    std::fprintf(stderr,
                 "deskpet-stats ticks %ld seconds %.3f rate %.2f wakes/s %.2f frameRate %d "
                 "presents %ld rects %ld pixels/present %.0f shapes %ld shapeRects/shape %.0f "
                 "pointerQueries %ld\n",
                 stats.ticks, secs, secs > 0 ? double(stats.ticks) / secs : 0.0,
                 secs > 0 ? double(ticker.wakes()) / secs : 0.0, int(form.state().frameRate),
                 c.presents, c.rects, c.presents ? double(c.pixels) / double(c.presents) : 0.0,
                 c.shapes, c.shapes ? double(c.shapeRects) / double(c.shapes) : 0.0,
                 platform.pointerQueries());
  });

  // A quit request saves on the next tick. Before the data file is loaded
  // (run states 0 and 8) a save would write empty slots over it, so the
  // request waits until then.
  bool quitPending = false;
  auto applyQuit = [&] {
    if (quitPending && form.holdsUsersPets()) form.requestQuit();
  };
  auto requestQuit = [&] {
    ticker.wake();
    quitPending = true;
    applyQuit();
  };

  if (signalPipe[0] >= 0) {
    auto* n = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(n, &QSocketNotifier::activated, [&] {
      char buf[64];
      while (::read(signalPipe[0], buf, sizeof buf) > 0) {
      }
      requestQuit();
    });
  }
  platform.setOnClose(requestQuit);
#ifndef QT_NO_SESSIONMANAGER
  QObject::connect(&app, &QGuiApplication::commitDataRequest,
                   [&](QSessionManager&) { requestQuit(); });
#endif
  // The event loop is ending with no tick to come: save now.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
    requestQuit();
    form.Timer1_Timer();
  });

  // The user's choices beside the pets; a damaged file is the defaults.
  platform.setEveryMonitor(
      pet::parseSettings((folderError
                              ? std::nullopt
                              : pet::posix::readFile(".", pet::kSettingsFile, pet::kSettingsLimit))
                             .value_or(""))
          .everyMonitor);
  form.Form_Load();

  // A new resolution, another monitor made primary, a monitor plugged in or
  // out, a new scale: the overlay takes the new play area (once the burst of
  // signals is over).
  QTimer screenSettle;
  screenSettle.setSingleShot(true);
  screenSettle.setInterval(100);
  QObject::connect(&screenSettle, &QTimer::timeout, [&] {
    ticker.wake();
    platform.readScreens();
    form.screenChanged();
  });
  auto watchScreen = [&](QScreen* s) {
    QObject::connect(s, &QScreen::geometryChanged, &screenSettle, qOverload<>(&QTimer::start));
    QObject::connect(s, &QScreen::logicalDotsPerInchChanged, &screenSettle,
                     qOverload<>(&QTimer::start));
  };
  for (QScreen* s : QGuiApplication::screens()) watchScreen(s);
  QObject::connect(&app, &QGuiApplication::screenAdded, [&](QScreen* s) {
    watchScreen(s);
    screenSettle.start();
  });
  QObject::connect(&app, &QGuiApplication::screenRemoved, &screenSettle,
                   qOverload<>(&QTimer::start));
  QObject::connect(&app, &QGuiApplication::primaryScreenChanged, &screenSettle,
                   qOverload<>(&QTimer::start));

  // Tray icon, once a tray is there; a double-click on a pet opens the slot
  // list with or without it.
  std::unique_ptr<QSystemTrayIcon> tray;
  QMenu menu;
  QAction* openList = menu.addAction(QStringLiteral("一覧を開く"));
  QAction* showInfo = menu.addAction(QStringLiteral("情報を表示"));
  // Requests from the tray are served by the next tick: it comes at once.
  auto requestPanel = [&](int16_t request) {
    ticker.wake();
    form.requestPanel(request);
  };
  QObject::connect(openList, &QAction::triggered, [&] { requestPanel(200); });
  QObject::connect(showInfo, &QAction::triggered, [&] { requestPanel(100); });
  QAction* atLoginItem = nullptr;  // set below; the tick shows the entry as it is now
  QObject::connect(&menu, &QMenu::aboutToShow, [&] {
    openList->setEnabled(!form.panelRequestsWait());
    showInfo->setEnabled(!form.panelRequestsWait());
    if (atLoginItem) atLoginItem->setChecked(autostart.enabled());
  });
  menu.addSeparator();
  // Hiding is for now only: every start shows the pets.
  QAction* hidePets = menu.addAction(QStringLiteral("ペットを隠す"));
  QObject::connect(hidePets, &QAction::triggered, [&] {
    ticker.wake();
    platform.setPetsHidden(!platform.petsHidden());
    hidePets->setText(platform.petsHidden() ? QStringLiteral("ペットを表示")
                                            : QStringLiteral("ペットを隠す"));
  });
  QAction* everyMonitor = menu.addAction(QStringLiteral("すべての画面で遊ぶ"));
  everyMonitor->setCheckable(true);
  everyMonitor->setChecked(platform.everyMonitor());
  QObject::connect(everyMonitor, &QAction::triggered, [&](bool on) {
    ticker.wake();
    platform.setEveryMonitor(on);
    form.screenChanged();
    if (!platform.writeFileAtomic(pet::kSettingsFile, pet::settingsText({on})))
      platform.reportProblem("設定を保存できませんでした。");
  });
  QAction* atLogin = menu.addAction(QStringLiteral("ログイン時に起動"));
  atLogin->setCheckable(true);
  QObject::connect(atLogin, &QAction::triggered, [&](bool on) {
    if (on && !autostart.writable())
      platform.reportProblem("データフォルダ「" + folder.path +
                             "」は改行などを含むので、ログイン時に起動する設定に書けません。");
    else if (!autostart.setEnabled(on))
      platform.reportProblem(on ? "ログイン時に起動する設定を書き込めませんでした。"
                                : "ログイン時に起動する設定を消せませんでした。");
    atLogin->setChecked(autostart.enabled());
  });
  atLoginItem = atLogin;
  menu.addSeparator();
  QObject::connect(menu.addAction(QStringLiteral("保存して終了")), &QAction::triggered, [&] {
    ticker.wake();
    form.requestQuit();
  });
  // Another start of the program on this folder: its request, as from the tray.
  pet::qt::RequestListener requests([&](pet::qt::Request r) {
    switch (r) {
      case pet::qt::Request::OpenList:
      case pet::qt::Request::ShowInfo:
        if (!form.panelRequestsWait())
          requestPanel(r == pet::qt::Request::OpenList ? int16_t(200) : int16_t(100));
        break;
      case pet::qt::Request::Quit:
        requestQuit();
        break;
    }
  });
  if (!folderError) {
    std::string why;
    if (!requests.listen(&why))
      std::fprintf(stderr, "deskpet: a second start cannot reach this one (%s)\n", why.c_str());
  }
  int16_t shownCount = -1;
  auto tooltip = [](int16_t count) { return QStringLiteral("もこぽん（%1匹）").arg(count); };
  auto fallbackIcon = [] {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 236, 200));
    p.setPen(QColor(120, 90, 60));
    p.drawEllipse(3, 3, 26, 26);
    return QIcon(pm);
  };
  auto checkTray = [&] {
    if (tray) {
      if (!platform.icon().isNull() && tray->icon().cacheKey() != platform.icon().cacheKey())
        tray->setIcon(platform.icon());
      return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray = std::make_unique<QSystemTrayIcon>();
    tray->setIcon(platform.icon().isNull() ? fallbackIcon() : platform.icon());
    shownCount = form.state().petCount;
    tray->setToolTip(tooltip(shownCount));
    tray->setContextMenu(&menu);
    QObject::connect(tray.get(), &QSystemTrayIcon::activated,
                     [&](QSystemTrayIcon::ActivationReason r) {
                       if (r == QSystemTrayIcon::Trigger && !form.panelRequestsWait())
                         requestPanel(200);
                     });
    tray->show();
    // The double-click on a pet stays the way to the slot list (the platform
    // takes it while no tray is said to be shown): a way that no tray can
    // take away.
  };
  checkTray();

  // A problem with the data file is the user's to know: a message from the
  // tray icon, or where there is no tray a small window that does not stop
  // the pets. (Not kept on top: a second topmost window above the overlay
  // stays unpainted on X; it opens clear of the panels instead.)
  platform.setOnProblem([&](std::string_view t) {
    const QString text = QString::fromUtf8(t.data(), qsizetype(t.size()));
    if (tray) {
      tray->showMessage(QStringLiteral("もこぽん"), text, QSystemTrayIcon::Warning, 30000);
      return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("もこぽん"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Above the middle, where the splash and the panels open.
    box->adjustSize();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    box->move(screen.center().x() - box->width() / 2, screen.top() + screen.height() / 10);
    box->show();
  });

  // News (pets that evolved) comes from the tray icon; without one, the
  // evolution on the desktop says it all.
  platform.setOnAnnounce([&](std::string_view t) {
    if (tray)
      tray->showMessage(QStringLiteral("もこぽん"),
                        QString::fromUtf8(t.data(), qsizetype(t.size())),
                        QSystemTrayIcon::Information, 10000);
  });
  if (folderError)
    platform.reportProblem("データフォルダ「" + folder.path + "」を作れません（" + *folderError +
                           "）。ペットは保存されません。");
  else if (::access(".", W_OK) != 0)
    platform.reportProblem("データフォルダ「" + folder.path +
                           "」に書き込めません。ペットは保存されません。");

  tickWork = [&] {
    ++stats.ticks;
    applyQuit();
    form.Fpss_Timer();
    form.Timer1_Timer();
    platform.afterTick();
    if (stats.ticks % kTrayCheckTicks == 0) checkTray();
    if (tray && form.state().petCount != shownCount) {
      shownCount = form.state().petCount;
      tray->setToolTip(tooltip(shownCount));
    }
  };
  saveAtExit = [&] {
    // Straight to the save: a tick would draw on a display that is gone.
    if (form.ended() || !form.holdsUsersPets()) return;
    form.requestQuit();
    form.Timer1_Timer();
  };
  std::atexit(onExit);
  qtMessages = qInstallMessageHandler(onQtMessage);

  // The rate is the ticker's: counted from its first tick.
  stats.start = Clock::now();
  ticker.start();
  const int status = app.exec();
  saveAtExit = nullptr;
  return status;
}
