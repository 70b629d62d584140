#pragma once
// What KWin knows and a Wayland client cannot ask: where the pointer is over
// every window, and whether the active window is full screen. A small KWin
// script of the program's own, loaded over the session bus while the program
// runs, tells it both, and only when they change (a move of the pointer, a
// new active window). Scripts run once also hand the keyboard to the overlay
// and back. Without a session bus or KWin's scripting, nothing is told: the
// pointer is then known only over the program's own surfaces.
#include <QDBusContext>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>

namespace pet::qt {

class KWinScript : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.deskpet.Session")

 public:
  KWinScript();
  ~KWinScript() override;
  // Loads the script. False (and the reason in `why`) when it cannot be.
  bool start(QString* why);
  // Called with the pointer's place on the desktop, in KWin's (logical)
  // pixels, each time it moves.
  void setOnPointer(std::function<void(QPoint)> f) { onPointer_ = std::move(f); }
  // Whether the active window is another program's, full screen.
  bool fullScreenActive() const { return fullScreen_ && !ownActive_; }
  // Makes the program's overlay the active window; gives the keyboard back
  // to the window that had it before.
  void activateOverlay();
  void activatePrevious();
  // Off-desktop places are not believed: the desktop's box.
  void setDesktop(QRect r) { desktop_ = r; }

 public slots:
  // Called by the script.
  Q_SCRIPTABLE void pointer(const QString& text);
  Q_SCRIPTABLE void active(const QString& text);

 private:
  bool fromKWin() const;
  static bool isWindowId(const QString& id);
  void runOnce(const QString& body);
  QString onceName(int n) const;
  QString service_, kwin_, name_, path_;
  bool loaded_ = false;
  int onceCount_ = 0;
  std::function<void(QPoint)> onPointer_;
  bool fullScreen_ = false, ownActive_ = false;
  QString lastOther_;
  QRect desktop_;
};

}  // namespace pet::qt
