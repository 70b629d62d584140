"""End-to-end tests of the desktop program in a KDE Plasma Wayland session:
KWin run headless with XWayland, a native (Wayland) probe window and an X
one beneath the overlay, the pointer and keys from KWin's fake input, and
screenshots from KWin's screenshot interface read by pixel.

usage: run_e2e.py BUILD_DIR [TEST_NAME...]
Prints one line per check and, last, "N passed, M failed"."""

import importlib.util
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import dbus

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import datafile  # noqa: E402
from xdesk import (Desktop, Program, check, child_centre, main, pet_box,  # noqa: E402
                   save_shot, twips_rect, KEY, LIGHT_GREEN, WIDTH, HEIGHT)

from PIL import Image  # noqa: E402

# The X11 suite's checks that hold in any session run here too.
_spec = importlib.util.spec_from_file_location("qt_e2e", os.path.join(HERE, "..", "qt", "run_e2e.py"))
qt_e2e = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(qt_e2e)

PROTOCOLS = "/usr/share/plasma-wayland-protocols"
REPO = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
# E2E_SCREENSHOTS=1 refreshes the screenshot the README shows.
SHOTS = (os.path.join(REPO, "docs", "screenshots") if os.environ.get("E2E_SCREENSHOTS") == "1"
         else None)
KEY_ESC = 1
KEYS = {"Escape": 1, "Return": 28, "Up": 103, "Down": 108}
BUTTONS = {1: 0x110, 3: 0x111, 2: 0x112}  # BTN_LEFT, BTN_RIGHT, BTN_MIDDLE
NATIVE = (100, 100, 800, 600)   # x, y, w, h of the native probe
X11 = (1000, 100, 800, 600)     # and of the X one
RED, BLUE = (255, 0, 0), (0, 0, 255)
# What shows without the program: the probes, the bare desktop, GTK's grey.
BARE = {RED, BLUE, (0, 0, 0), (246, 245, 244)}


def build_pointer(tmp):
    """The fake-input pointer (kwin_pointer.c), built against KWin's protocol."""
    xml = os.path.join(PROTOCOLS, "fake-input.xml")
    h = os.path.join(tmp, "fake-input-client-protocol.h")
    c = os.path.join(tmp, "fake-input-protocol.c")
    out = os.path.join(tmp, "kwin_pointer")
    subprocess.run(["wayland-scanner", "client-header", xml, h], check=True)
    subprocess.run(["wayland-scanner", "private-code", xml, c], check=True)
    subprocess.run(["cc", "-Wall", "-Werror", "-I", tmp, "-o", out,
                    os.path.join(HERE, "kwin_pointer.c"), c, "-lwayland-client"], check=True)
    return out


class KWinDesktop(Desktop):
    """KWin headless on its own session bus and runtime folder, a probe window
    of each kind, and a StatusNotifierItem watcher standing in for the panel's
    tray (started before the program: Qt looks for one only at start)."""
    drop_env = Desktop.drop_env + ("QT_", "KDE_", "KWIN_")
    scale = 1
    screen = (WIDTH, HEIGHT)  # device pixels
    # The probes' title bars change as they take and lose the keyboard.
    ignored = tuple((x, y - 40, x + w, y + 40) for x, y, w, h in (NATIVE, X11))

    def environment(self):
        env = super().environment()
        runtime = os.path.join(env["HOME"], "runtime")
        os.makedirs(runtime, mode=0o700)
        env.update(XDG_RUNTIME_DIR=runtime, XDG_DATA_HOME=os.path.join(env["HOME"], "data"),
                   XDG_CONFIG_HOME=os.path.join(env["HOME"], "config"),
                   XDG_CACHE_HOME=os.path.join(env["HOME"], "cache"),
                   XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="KDE",
                   KDE_FULL_SESSION="true", KDE_SESSION_VERSION="5",
                   WAYLAND_DISPLAY="wl-e2e")
        return env

    def _start_x(self):
        # The desktop here is KWin, which starts its own XWayland.
        runtime = self.env["XDG_RUNTIME_DIR"]
        bus = os.path.join(runtime, "bus")
        self.start(["dbus-daemon", "--session", "--nofork", f"--address=unix:path={bus}"])
        self.wait_for(lambda: os.path.exists(bus), "the session bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={bus}"
        os.makedirs("/tmp/.X11-unix", mode=0o1777, exist_ok=True)
        # The packaged KWin has a file capability, refused in a container; a
        # copy has none.
        kwin = os.path.join(self.tmp, "kwin_wayland")
        shutil.copy(shutil.which("kwin_wayland"), kwin)
        self.kwin_log = os.path.join(self.tmp, "kwin.log")
        # A program KWin starts once XWayland runs tells its display.
        display = os.path.join(self.tmp, "display")
        tell = os.path.join(self.tmp, "tell-display.sh")
        with open(tell, "w") as f:
            f.write(f'#!/bin/sh\necho "$DISPLAY $XAUTHORITY" > {display}\nexec sleep 100000\n')
        os.chmod(tell, 0o755)
        # The tests' fake input and screenshots need no permission.
        env = dict(self.env, KWIN_WAYLAND_NO_PERMISSION_CHECKS="1",
                   KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1", QT_QPA_PLATFORM="offscreen")
        env.pop("WAYLAND_DISPLAY")
        self.start([kwin, "--virtual", "--width", str(self.screen[0] // self.scale),
                    "--height", str(self.screen[1] // self.scale),
                    "--scale", str(self.scale), "--xwayland",
                    "--socket", self.env["WAYLAND_DISPLAY"], tell],
                   env=env, stdout=open(self.kwin_log, "w"), stderr=subprocess.STDOUT)
        self.wait_for(lambda: os.path.exists(display) and open(display).read().strip(),
                      "KWin and XWayland", 30)
        x, auth = (open(display).read().split() + [""])[:2]
        self.env["DISPLAY"] = x
        if auth:
            self.env["XAUTHORITY"] = auth
        self.pointer = self.start([build_pointer(self.tmp)], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.queries = 0
        self.bus = None
        self.wait_for(self.can_take_screenshots, "KWin's screenshots", 30, 0.3)

    def can_take_screenshots(self):
        try:
            return self.screenshot() is not None
        except dbus.exceptions.DBusException:
            return False

    def furnish(self):
        self.sni_log = os.path.join(self.tmp, "sni.log")
        open(self.sni_log, "w").close()
        self.start_tray()
        self.native = self.start_probe("native", "wayland", "#ff0000", NATIVE)
        self.x11 = self.start_probe("x11", "x11", "#0000ff", X11)
        self.take_background()

    def start_probe(self, name, backend, colour, geometry):
        log = os.path.join(self.tmp, f"probe-{name}.log")
        open(log, "w").close()
        self.start(["/usr/bin/python3", os.path.join(HERE, "probe_window.py"), name, colour,
                    str(geometry[2]), str(geometry[3]), log], env=dict(self.env, GDK_BACKEND=backend))
        self.wait_for(lambda: self.window_named(f"probe-{name}"), f"the {name} probe")
        x, y, w, h = geometry
        self.kwin(f'for (const c of workspace.clientList()) if (c.caption === "probe-{name}")'
                  f' c.frameGeometry = {{x: {x}, y: {y}, width: {w}, height: {h}}};')
        return log

    # ---- KWin's scripting
    def kwin(self, body):
        """Runs `body` as a KWin script; its value `out`, if it sets one, comes back."""
        self.queries += 1
        tag = f"e2e-{self.queries}"
        path = os.path.join(self.tmp, tag + ".js")
        with open(path, "w") as f:
            f.write(f"(function () {{ let out = null; {body}\n"
                    f'print("{tag} " + JSON.stringify(out)); }})();\n')

        def call(method, *args):
            subprocess.run(["gdbus", "call", "--session", "--dest", "org.kde.KWin",
                            "--object-path", "/Scripting", "--method",
                            "org.kde.kwin.Scripting." + method] + list(args),
                           env=self.env, capture_output=True, timeout=10)
        call("loadScript", path, tag)
        call("start")

        def answer():
            for line in open(self.kwin_log, errors="replace"):
                if line.startswith(f"js: {tag} "):
                    return line[len(f"js: {tag} "):]
            return None
        # Unloaded once it has run: KWin reads a script's file in a thread
        # after starting it, and an unloaded script never runs.
        try:
            return json.loads(self.wait_for(answer, f"KWin to run {tag}", 5))
        finally:
            call("unloadScript", tag)

    def windows(self):
        return self.kwin(
            "out = []; for (const c of workspace.clientList()) out.push({"
            "id: String(c.internalId), caption: c.caption, pid: c.pid, active: c.active,"
            "x: c.frameGeometry.x, y: c.frameGeometry.y, w: c.frameGeometry.width,"
            "h: c.frameGeometry.height, layer: c.layer, fullScreen: c.fullScreen,"
            "skipTaskbar: c.skipTaskbar, skipSwitcher: c.skipSwitcher,"
            "notification: c.notification});")

    def window_named(self, caption):
        return next((w for w in self.windows() if w["caption"] == caption), None)

    def windows_of(self, pid):
        return [w["id"] for w in self.windows() if w["pid"] == pid]

    def geometry(self, win):
        w = next((w for w in self.windows() if w["id"] == win), None)
        return dict(w, mapped=True) if w else {}

    def screen_width(self, g):
        return g.get("w", 0) * self.scale

    def xev_presses(self):
        return self.presses(self.native)

    def active(self):
        return next((w for w in self.windows() if w["active"]), None)

    def activate(self, caption):
        self.kwin(f'for (const c of workspace.clientList()) if (c.caption === "{caption}")'
                  " workspace.activeClient = c;")

    def set_probe(self, caption, prop, value):
        self.kwin(f'for (const c of workspace.clientList()) if (c.caption === "{caption}")'
                  f" c.{prop} = {json.dumps(value)};")

    # ---- input
    def send(self, line):
        self.pointer.stdin.write(line + "\n")
        self.pointer.stdin.flush()
        check(self.pointer.stdout.readline().strip() == "ok", f"the pointer took no {line!r}")

    def move(self, x, y):
        """To (x, y) of the screen's own pixels, as screenshots give them."""
        self.at = (x, y)
        self.send(f"move {x / self.scale} {y / self.scale}")

    def press(self, button=1):
        self.send(f"down {BUTTONS[button]}")

    def release(self, button=1):
        self.send(f"up {BUTTONS[button]}")

    def click(self, x, y, button=1):
        self.move(x, y)
        time.sleep(0.03)
        self.press(button)
        time.sleep(0.03)
        self.release(button)

    def double_click(self, x, y):
        self.click(x, y)
        time.sleep(0.08)
        self.click(x, y)

    def key(self, code):
        self.send(f"keydown {code}")
        time.sleep(0.03)
        self.send(f"keyup {code}")

    def xdo(self, *args):
        """What the X11 suite asks of xdotool, for the checks both suites run."""
        args = [str(a) for a in args]
        if args[0] == "key":
            self.key(KEYS[args[1]])
        elif args[0] == "mousemove":
            self.move(int(args[1]), int(args[2]))
        elif args[0] == "click":
            repeat = int(args[args.index("--repeat") + 1]) if "--repeat" in args else 1
            delay = int(args[args.index("--delay") + 1]) if "--delay" in args else 80
            button = int(args[-1])
            for i in range(repeat):
                if i:
                    time.sleep(delay / 1000)
                if button in (4, 5):  # a notch of the wheel, up or down
                    self.send(f"wheel {-15 if button == 4 else 15}")
                else:
                    self.click(*self.at, button)
        else:
            raise Failure(f"no KWin stand-in for xdotool {' '.join(args)}")

    def drag(self, x0, y0, x1, y1, steps=20):
        self.move(x0, y0)
        time.sleep(0.15)
        self.press()
        time.sleep(0.15)
        for i in range(1, steps + 1):
            self.move(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.03)
        time.sleep(0.15)
        self.release()
        self.released = time.monotonic()

    def focus(self):
        w = self.active()
        return w["id"] if w else ""

    def probe_log(self, log):
        with open(log) as f:
            return f.read().splitlines()

    def presses(self, log):
        return sum(1 for line in self.probe_log(log) if " press " in line)

    def focused(self, log):
        """Whether the probe has the keyboard, by its last focus line."""
        state = [line.split()[1] for line in self.probe_log(log)
                 if line.split()[1:2] in (["focus-in"], ["focus-out"])]
        return bool(state) and state[-1] == "focus-in"

    # ---- the tray: a StatusNotifierItem, clicked and its menu chosen from
    # as Plasma's panel does it, over the session bus
    def tray_items(self):
        return re.findall(r"register (\S+) from", open(self.sni_log).read())

    def stop_tray(self):
        self.stop(self.watcher)

    def start_tray(self):
        self.watcher = self.start(["/usr/bin/python3", os.path.join(HERE, "sni_watcher.py"),
                                   self.sni_log])
        self.wait_for(lambda: "org.kde.StatusNotifierWatcher" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"]),
            "the tray watcher")

    def activate_tray_item(self):
        """A left click on the tray icon, as a panel's tray sends it."""
        items = self.tray_items()
        check(items, "no tray item registered")
        out = subprocess.run(["gdbus", "call", "--session", "--dest", items[-1], "--object-path",
                              "/StatusNotifierItem", "--method",
                              "org.kde.StatusNotifierItem.Activate", "0", "0"],
                             env=self.env, capture_output=True, text=True, timeout=10)
        check(out.returncode == 0, f"the tray item took no click: {out.stderr.strip()}")

    def choose_tray_item(self, label):
        """Chooses `label` from the tray icon's menu (its dbusmenu)."""
        if self.bus is None:
            self.bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        items = self.tray_items()
        check(items, "no tray item registered")
        item = self.bus.get_object(items[-1], "/StatusNotifierItem")
        path = item.Get("org.kde.StatusNotifierItem", "Menu",
                        dbus_interface="org.freedesktop.DBus.Properties")
        menu = dbus.Interface(self.bus.get_object(items[-1], path), "com.canonical.dbusmenu")
        menu.AboutToShow(0)
        _, layout = menu.GetLayout(0, -1, [])
        for child in layout[2]:
            if str(child[1].get("label", "")) == label:
                menu.Event(child[0], "clicked", dbus.Int32(0, variant_level=1),
                           dbus.UInt32(int(time.time())))
                return
        raise Failure(f"no {label!r} in the tray menu: {[dict(c[1]) for c in layout[2]]}")

    # ---- pixels
    def screenshot(self):
        """The screen in its own pixels (KWin's ScreenShot2, at native resolution)."""
        if self.bus is None:
            self.bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        shooter = self.bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2")
        r, w = os.pipe()
        try:
            meta = shooter.CaptureArea(
                0, 0, dbus.UInt32(self.screen[0] // self.scale),
                dbus.UInt32(self.screen[1] // self.scale),
                {"native-resolution": True}, dbus.types.UnixFd(w),
                dbus_interface="org.kde.KWin.ScreenShot2", timeout=10)
            os.close(w)
            w = -1
            data = b""
            while chunk := os.read(r, 1 << 20):
                data += chunk
        finally:
            os.close(r)
            if w >= 0:
                os.close(w)
        size = (int(meta["width"]), int(meta["height"]))
        # Little-endian 32-bit pixels, blue first.
        return Image.frombuffer("RGB", size, data, "raw", "BGRX", int(meta["stride"]), 1)


class HighDpiKWinDesktop(KWinDesktop):
    """KWin on a 3840x2160 screen at scale 2, a native window beneath all of it
    that logs its clicks, and no tray (a double-click on a pet opens the slot list)."""
    scale = 2
    screen = (3840, 2160)

    def furnish(self):
        self.native = self.start_probe("beneath", "wayland", "#ff0000", (0, 0, 1920, 1050))
        self.take_background()


class KWinProgram(Program):
    def is_overlay(self, g):
        return g.get("notification") and g.get("w", 0) >= WIDTH // 2


def foreign(shot, box, allowed):
    """Pixels in `box` of none of the `allowed` colours: what the program drew there."""
    return sum(1 for p in shot.crop(box).getdata() if p not in allowed)


class KWinSuite(qt_e2e.QtSuite):
    prefix = "deskpet-kwin-e2e-"
    shots = None  # the README's X11 screenshots stay the X11 suite's

    def desktop(self):
        return KWinDesktop(self.tmp)

    def program(self, workdir, args=None, env=None):
        return KWinProgram(self.desk, [self.binary] + (["--data-dir", workdir] if args is None
                                                       else args), workdir, env=env)

    # The tray: Plasma's panel clicks the StatusNotifierItem and chooses from
    # its menu over the session bus.
    def click_icon(self, p, button):
        check(button == 1, "only the tray icon's left click is sent here")
        self.desk.activate_tray_item()

    MENU_KEYS = {("Down", "Down", "Return"): "情報を表示", ("Up", "Return"): "保存して終了",
                 ("Down", "Return"): "一覧を開く"}

    def menu_choose(self, p, keys):
        self.desk.choose_tray_item(self.MENU_KEYS[tuple(keys)])

    def all(self):
        self.run("the overlay covers the output above every window, out of the taskbar and "
                 "the switcher", self.t_overlay)
        self.run("a click on a see-through pixel reaches a native window and an X one",
                 self.t_click_through)
        self.run("the pets stay above a window that is activated", self.t_above)
        self.run("a pet is dragged, and the keyboard stays with the native window",
                 self.t_drag)
        self.run("a zigzag of the pointer over a native window counts on the travel meter",
                 self.t_travel)
        self.run("the pets chase the pointer over a native window", self.t_chase)
        self.run("the pets step aside for a full-screen window, not for a maximised one",
                 self.t_full_screen)
        self.run("a panel takes the keyboard and gives it back to the native window",
                 self.t_panel_keyboard)
        self.run("the tray icon registers with the StatusNotifierItem watcher", self.t_tray)
        self.run("without KWin's scripting the program runs, and says what it lacks",
                 self.t_no_script)
        self.run("KWin at scale 2 on a 3840x2160 screen: pets and panels 2x as large, sharp; "
                 "click-through and drag exact", self.t_high_dpi_kwin)
        self.run("KWin goes away: the pets are saved, then the program ends",
                 self.t_compositor_dies)
        # The X11 suite's checks of what does not depend on the session.
        q = qt_e2e.QtSuite
        shared = [
            ("pets shown where the data file puts them", q.t_pets_shown),
            ("a still pointer: the program wakes for a few ticks a second, counts 62, the pets "
             "walk", q.t_sleeps),
            ("right clicks on a pet switch chasing for all pets, a quick pair twice",
             q.t_right_click),
            ("SIGTERM saves and ends", lambda s: q.t_signal(s, signal.SIGTERM)),
            ("Escape on the splash saves and ends at once", q.t_escape_splash),
            ("Escape on the welcome panel saves and ends at once", q.t_escape_welcome),
            ("first run: the welcome panel, light green with Mincho text", q.t_welcome),
            ("first run: OK on the welcome leads to the new-pet panel", q.t_new_pet_panel),
            ("first run: the new pet arrives on the desktop", q.t_first_pet),
            ("tray: left click opens the slot list", q.t_tray_slot_list),
            ("the mouse wheel over the slot list's rows scrolls it", q.t_slot_list_wheel),
            ("tray menu opens the information panel", q.t_tray_info),
            ("tray menu saves and quits", q.t_tray_quit),
            ("no tray: a double-click on a pet opens the slot list", q.t_no_tray_dblclick),
            ("a second start on the same folder opens the first's slot list or information "
             "panel, or saves and quits it, and ends", q.t_second_instance),
        ]
        for name, check_ in shared:
            self.run(name, lambda c=check_: c(self))

    # ---- helpers
    def shows(self, pet):
        return foreign(self.desk.screenshot(), pet_box(pet, 40), BARE) > 0

    def overlay(self, p):
        return self.desk.geometry(p.window())

    # ---- checks
    def t_overlay(self):
        d, p = self.started_and_running([datafile.pet(1500, 800, speed=1)])
        try:
            g = self.overlay(p)
            check((g["x"], g["y"], g["w"], g["h"]) == (0, 0, WIDTH, HEIGHT), f"geometry {g}")
            check(g["skipTaskbar"] and g["skipSwitcher"], f"in the taskbar or switcher: {g}")
            native = self.desk.window_named("probe-native")
            check(g["layer"] > native["layer"], f"layer {g['layer']}, a window's {native['layer']}")
            check(not g["active"], "the overlay has the keyboard with no panel showing")
            check(sum(1 for q in self.desk.screenshot().getdata() if q == KEY) == 0,
                  "key colour visible on the screen")
        finally:
            p.stop()

    def t_click_through(self):
        d, p = self.started_and_running([datafile.pet(1700, 950, speed=1)])
        try:
            for log, (x, y, w, h) in ((self.desk.native, NATIVE), (self.desk.x11, X11)):
                before = self.desk.presses(log)
                self.desk.click(x + w // 2, y + h // 2)
                self.desk.wait_for(lambda: self.desk.presses(log) > before,
                                   f"the probe beneath to log the press ({log})", 3)
        finally:
            p.stop()

    def t_above(self):
        pet = datafile.pet(400, 400, speed=1)  # over the native probe
        xpet = datafile.pet(1300, 400, speed=1)  # over the X one
        d, p = self.started_and_running([pet, xpet])
        try:
            for caption, near in (("probe-native", pet), ("probe-x11", xpet)):
                self.desk.activate(caption)
                time.sleep(0.5)
                check(self.desk.active()["caption"] == caption, f"{caption} is not active")
                self.shown_near(near)
        finally:
            p.stop()

    def t_drag(self):
        pet = datafile.pet(400, 400, speed=1)
        d, p = self.started_and_running([pet])
        self.desk.click(700, 600)  # the native probe has the keyboard
        self.desk.wait_for(lambda: self.desk.focused(self.desk.native), "the probe's focus", 3)
        box = self.shown_near(pet)
        drop = (1300, 800)
        self.desk.drag((box[0] + box[2]) // 2, (box[1] + box[3]) // 2, *drop)
        time.sleep(0.3)
        check(self.desk.focused(self.desk.native), "a press on a pet took the keyboard")
        check(self.desk.active()["caption"] == "probe-native", "the probe is no longer active")
        saved = self.quit_and_read(p, d)
        self.check_let_go_at(saved[0], drop, pet["speed"])

    def t_travel(self):
        # The meter adds up what the pointer travels, a thousand pixels a
        # count, as KWin tells the moves (an hour a growth step: no step
        # folds the meter during the check).
        self.desk.move(300, 300)
        d, p = self.started_and_running([datafile.pet(1500, 900, speed=1, period=4)])
        accum, bumps, x = 0, 0, 300
        for i in range(40):
            x += 60 if i % 2 == 0 else -60
            self.desk.move(x, 300)
            accum += 60
            if accum >= 1000:
                bumps, accum = bumps + 1, 0
            time.sleep(0.07)
        time.sleep(0.2)
        saved = self.quit_and_read(p, d)
        check(saved[0]["mouseTravel"] == bumps,
              f"travel meter {saved[0]['mouseTravel']}, the pointer went {bumps} thousand pixels")

    def t_chase(self):
        # A chasing pet walks towards the pointer, which rests on the native probe.
        pet = datafile.pet(200, 500, speed=10, chase=1)
        self.desk.move(800, 500)
        d, p = self.started_and_running([pet])
        try:
            self.desk.move(820, 520)
            time.sleep(3)
            box = self.shown_near(dict(pet, posX=pet["posX"] + 300), margin=320)
            check(box[0] > pet["posX"] + 60, f"the pet did not come: it shows at {box}")
        finally:
            p.stop()

    def t_full_screen(self):
        pet = datafile.pet(400, 400, speed=1)
        d, p = self.started_and_running([pet])
        try:
            box = self.shown_near(pet)
            middle = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            self.desk.activate("probe-native")
            self.desk.set_probe("probe-native", "maximizeMode", 3)
            time.sleep(1.5)
            check(self.shows(pet), "the pets stepped aside for a maximised window")
            self.desk.set_probe("probe-native", "maximizeMode", 0)
            self.desk.set_probe("probe-native", "fullScreen", True)
            self.desk.wait_for(lambda: not self.shows(pet), "the pets to step aside", 3)
            before = self.desk.presses(self.desk.native)
            self.desk.click(*middle)
            self.desk.wait_for(lambda: self.desk.presses(self.desk.native) > before,
                               "the full-screen window to get the click", 3)
            self.desk.set_probe("probe-native", "fullScreen", False)
            self.desk.wait_for(lambda: self.shows(pet), "the pets to come back", 3)
            check(p.proc.poll() is None, "the program ended")
        finally:
            p.stop()
            self.desk.set_probe("probe-native", "fullScreen", False)
            self.desk.kwin('for (const c of workspace.clientList()) if (c.caption === '
                           '"probe-native") c.frameGeometry = {x: %d, y: %d, width: %d, '
                           'height: %d};' % NATIVE)

    def t_panel_keyboard(self):
        self.desk.activate("probe-native")
        self.desk.wait_for(lambda: self.desk.focused(self.desk.native), "the probe's focus", 3)
        pet = datafile.pet(400, 400, speed=1)
        d = self.workdir([pet])
        p = self.start(d)
        try:
            self.desk.wait_for(lambda: not self.desk.focused(self.desk.native),
                               "the splash to take the keyboard", 3)
            self.desk.wait_for(lambda: self.desk.focused(self.desk.native),
                               "the keyboard back in the native window after the splash", 8)
            rect = twips_rect(self.probe["slotList"][0])
            self.desk.activate_tray_item()
            self.desk.wait_for(lambda: foreign(self.desk.screenshot(), rect, ()) and
                               self.desk.screenshot().getpixel((rect[0] + 5, rect[1] + 5))
                               == LIGHT_GREEN, "the slot list", 3)
            self.desk.wait_for(lambda: not self.desk.focused(self.desk.native),
                               "the slot list to take the keyboard", 3)
            save_shot(self.desk.screenshot(), SHOTS, "kde-wayland.png", (0, 0, 1200, 760))
            self.desk.click(*child_centre(rect, 3360, 5520, 1095, 375))  # OK
            self.desk.wait_for(lambda: self.desk.focused(self.desk.native),
                               "the keyboard back in the native window after OK", 3)
            # Escape on a panel saves and ends the program.
            self.desk.activate_tray_item()
            self.desk.wait_for(lambda: not self.desk.focused(self.desk.native),
                               "the slot list to take the keyboard again", 3)
            time.sleep(0.3)
            ino = os.stat(os.path.join(d, datafile.DATA)).st_ino
            self.desk.key(KEY_ESC)
            check(p.wait_exit(3) == 0, "Escape did not end the program")
            check(os.stat(os.path.join(d, datafile.DATA)).st_ino != ino, "Escape did not save")
        finally:
            p.stop()

    def t_tray(self):
        before = open(self.desk.sni_log).read().count("register")
        d, p = self.started_and_running([datafile.pet(1500, 900, speed=1)])
        try:
            self.desk.wait_for(lambda: open(self.desk.sni_log).read().count("register") > before,
                               "the tray item to register", 5)
        finally:
            p.stop()

    def t_no_script(self):
        # Another session bus, without KWin: nothing to ask for the pointer.
        runtime = os.path.join(self.tmp, "other-bus")
        os.makedirs(runtime)
        bus = os.path.join(runtime, "bus")
        self.desk.start(["dbus-daemon", "--session", "--nofork", f"--address=unix:path={bus}"])
        self.desk.wait_for(lambda: os.path.exists(bus), "the other bus")
        pet = datafile.pet(400, 400, speed=1)
        d, p = self.started_and_running(
            [pet], env=dict(self.desk.env, DBUS_SESSION_BUS_ADDRESS=f"unix:path={bus}"))
        try:
            check("only while it is over a pet or a panel" in p.output(), f"output: {p.output()}")
            self.shown_near(pet)
            before = self.desk.presses(self.desk.native)
            self.desk.click(700, 650)
            self.desk.wait_for(lambda: self.desk.presses(self.desk.native) > before,
                               "the native probe to get the click", 3)
        finally:
            p.stop()

    def t_compositor_dies(self):
        desk = KWinDesktop(tempfile.mkdtemp(dir=self.tmp, prefix="dies-"))
        saved, self.desk = self.desk, desk
        try:
            pet = datafile.pet(400, 300, speed=5)
            d, p = self.started_and_running([pet])
            time.sleep(2)  # the data file read and the pet walking
            path = os.path.join(d, datafile.DATA)
            before = os.stat(path).st_ino
            desk.stop(next(q for q in desk.procs if "kwin_wayland" in str(q.args[0])))
            rc = p.wait_exit(10)
            check(rc is not None, "the program did not end")
            check(os.stat(path).st_ino != before, f"the pets were not saved: {p.output()}")
            walked = datafile.parse_data(open(path, "rb").read())[0]
            check((walked["posX"], walked["posY"]) != (pet["posX"], pet["posY"]),
                  "the saved pet is where it started: not the running program's")
        finally:
            self.desk = saved
            desk.close()

    def t_high_dpi_kwin(self):
        desk = HighDpiKWinDesktop(tempfile.mkdtemp(dir=self.tmp, prefix="hidpi-"))
        try:
            self.check_high_dpi(desk, 2)
        finally:
            desk.close()

if __name__ == "__main__":
    sys.exit(main(lambda build, only: KWinSuite(build, only),
                  "usage: run_e2e.py BUILD_DIR [CHECK NAME...]"))
