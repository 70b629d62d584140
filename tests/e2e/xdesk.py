"""What both end-to-end suites share: a private X desktop (Xvfb on a free
display with openbox, a tray host, a window that logs clicks), xdotool input,
screenshots read by pixel, the program under test, and the check runner.
Every process is started here and stopped here, by process id.

xwd -root -silent | xdesk.py OUT.png writes a screenshot as PNG, replaced whole."""

import contextlib
import os
import re
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import traceback

from PIL import Image, ImageChops

import datafile

KEY = (98, 164, 172)
LIGHT_GREEN = (192, 255, 192)
WIDTH, HEIGHT = 1920, 1080
TWIPS = 15
SPLASH_SECONDS = 4.0  # the splash stays for three changes of the clock's second


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


# ---------------------------------------------------------------- pixels

def read_xwd(data):
    """An XWD dump of a 24- or 32-bit TrueColor screen as an RGB image."""
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        raise ValueError(f"unsupported XWD: {bits_per_pixel} bits a pixel, depth {depth}")
    offset = header_size + ncolors * 12
    if bits_per_pixel == 24:
        raw = "BGR" if byte_order == 0 else "RGB"
    else:
        raw = "BGRX" if byte_order == 0 else "XRGB"
    return Image.frombuffer("RGB", (width, height), data[offset:offset + bytes_per_line * height],
                            "raw", raw, bytes_per_line, 1)


def diff_mask(shot, background, ignored=()):
    """White where the screen differs from `background`, black in `ignored` boxes."""
    d = ImageChops.difference(shot, background).convert("L")
    mask = d.point(lambda v: 255 if v else 0)
    for box in ignored:
        mask.paste(0, box)
    return mask


def count_white(mask, box=None):
    return (mask.crop(box) if box else mask).histogram()[255]


def key_pixels(shot):
    r, g, b = (c.point(lambda v, k=k: 255 if v == k else 0) for c, k in zip(shot.split(), KEY))
    return ImageChops.multiply(ImageChops.multiply(r, g), b).histogram()[255]


def colour_fraction(shot, box, colour):
    pixels = list(shot.crop(box).getdata())
    return sum(1 for p in pixels if p == colour) / max(1, len(pixels))


def pet_box(pet, margin):
    z = pet["zoom"] / 100
    return (max(0, pet["posX"] - margin), max(0, pet["posY"] - margin),
            int(pet["posX"] + 24 * z + margin), int(pet["posY"] + 32 * z + margin))


def child_centre(parent_rect, left, top, width, height):
    """Centre of a control inside a bordered panel (one-pixel border); Python's
    round() takes halves to even, as the program does."""
    return (parent_rect[0] + 1 + round(left / TWIPS) + round(width / (2 * TWIPS)),
            parent_rect[1] + 1 + round(top / TWIPS) + round(height / (2 * TWIPS)))


def twips_rect(panel):
    """A panel of the core probe's list (twips) as a box in pixels."""
    px = lambda t: int(round(t / 15))  # noqa: E731
    return (px(panel["left"]), px(panel["top"]),
            px(panel["left"]) + px(panel["width"]), px(panel["top"]) + px(panel["height"]))


def around(rect, margin=10):
    return (rect[0] - margin, rect[1] - margin, rect[2] + margin, rect[3] + margin)


def save_shot(shot, folder, name, box=None):
    """Keeps a screenshot (cropped to `box`) in `folder`; without a folder or name, nothing."""
    if not folder or not name:
        return
    os.makedirs(folder, exist_ok=True)
    (shot.crop(box) if box else shot).save(os.path.join(folder, name))


def file_state(path):
    st = os.stat(path)
    return open(path, "rb").read(), st.st_ino, st.st_mtime_ns


def clear_of_minute_save(needed):
    """A running program saves its file when the clock's minute changes; waits
    past the next change when fewer than `needed` seconds remain before it, so
    a check that the file stays untouched is not upset by that save."""
    now = time.time()
    left = 60 - now % 60
    if left < needed:
        time.sleep(left + 2)


def recent_dates(fmt="%Y/%m/%d"):
    """Today's date and the date a minute ago: a check near midnight holds."""
    return {time.strftime(fmt, time.localtime(time.time() - s)) for s in (0, 60)}


def evolving_pets():
    """Three pets, the first and the last saved fully grown but still
    fluff-balls: they evolve together, at once."""
    pets = [datafile.pet(500 + 400 * i, 400, speed=1) for i in range(3)]
    for i in (0, 2):
        pets[i]["growthStage"] = 5
    return pets


def inode(path):
    return os.stat(path).st_ino


# ---------------------------------------------------------------- the desktop

class Desktop:
    """Xvfb and openbox; a subclass adds its own in furnish() and environment()."""
    drop_env = ("DBUS_", "XDG_", "WAYLAND", "DISPLAY")
    ignored = ()  # boxes of the screen that change without the program

    def __init__(self, tmp):
        self.tmp = tmp
        self.procs = []
        self.tray = None
        self.background = None
        try:
            self.env = self.environment()
            self._start_x()
            self.furnish()
        except BaseException:
            self.close()
            raise

    def environment(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(self.drop_env)}
        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        env.update(HOME=home, LANG="C.UTF-8")
        return env

    def server(self, fd):
        """The X server's command line; it writes its display number to `fd`."""
        return ["Xvfb", "-displayfd", str(fd), "-screen", "0", f"{WIDTH}x{HEIGHT}x24",
                "-noreset", "-s", "0", "-nolisten", "tcp"]

    def _start_x(self):
        r, w = os.pipe()
        server = self.server(w)
        x = subprocess.Popen(server, pass_fds=(w,), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(x)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError(f"{server[0]} did not start")
            number += chunk
        os.close(r)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.start(["openbox", "--sm-disable"])
        self.wait_for(lambda: "_NET_SUPPORTING_WM_CHECK" in self.run(["xprop", "-root"]),
                      "openbox")

    def furnish(self):
        pass

    def xrandr(self, *args):
        return subprocess.run(["xrandr"] + list(args), env=self.env, capture_output=True,
                              text=True, timeout=30, check=True).stdout


    def start_beneath(self, geometry):
        """An ordinary window, named "beneath", that logs the clicks it gets."""
        self.xev_log = os.path.join(self.tmp, "xev.log")
        self.start(["stdbuf", "-oL", "xev", "-geometry", geometry, "-name", "beneath"],
                   stdout=open(self.xev_log, "w"))
        return self.wait_for(
            lambda: (self.run(["xdotool", "search", "--name", "^beneath$"]).split() or [None])[0],
            "the window beneath")

    def xev_presses(self):
        with open(self.xev_log) as f:
            return f.read().count("ButtonPress")

    def take_background(self):
        """The desktop without the program, once it has settled."""
        time.sleep(1.0)
        self.background = self.screenshot()

    # ---- processes
    def start(self, argv, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=kw.pop("env", self.env), **kw)
        self.procs.append(p)
        return p

    def stop(self, p, timeout=3):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        if p in self.procs:
            self.procs.remove(p)

    def close(self):
        for p in reversed(list(self.procs)):
            self.stop(p)

    def run(self, argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True).stdout

    def wait_for(self, cond, what, timeout=10.0, step=0.1):
        end = time.time() + timeout
        while time.time() < end:
            v = cond()
            if v:
                return v
            time.sleep(step)
        raise Failure(f"timed out waiting for {what}")

    # ---- the tray host
    def start_tray(self):
        self.tray = self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                                "request", "--height", "24", "--SetDockType", "true",
                                "--transparent", "false", "--tint", "0x808080"])
        self.wait_for(lambda: self.tray_window() is not None, "the tray host")

    def stop_tray(self):
        if self.tray:
            self.stop(self.tray)
            self.tray = None

    def tray_window(self):
        for w in self.run(["xdotool", "search", "--class", "trayer"]).split():
            if self.geometry(w).get("mapped"):
                return w
        return None

    # ---- input
    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       capture_output=True)

    def click(self, x, y, button=1):
        self.xdo("mousemove", x, y)
        time.sleep(0.1)
        self.xdo("click", button)

    def drag(self, x0, y0, x1, y1, steps=20):
        self.xdo("mousemove", x0, y0)
        time.sleep(0.15)
        self.xdo("mousedown", 1)
        time.sleep(0.15)
        for i in range(1, steps + 1):
            self.xdo("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.03)
        time.sleep(0.15)
        self.xdo("mouseup", 1)
        self.released = time.monotonic()

    def walked_since_drop(self, speed):
        """The farthest, on either axis, a pet at `speed` can have walked since
        the last drag let go: a step is at most 5 pixels, and comes about
        `speed` times a second (the frame rate follows the tick rate, give or
        take a tenth), plus the step that fell due while the pet was held and
        is taken at once."""
        return 5 * (int((time.monotonic() - self.released) * speed * 1.1) + 1)

    def focus(self):
        return self.run(["xdotool", "getwindowfocus"]).strip()

    # ---- windows
    def windows_of(self, pid):
        return self.run(["xdotool", "search", "--pid", str(pid)]).split()

    def geometry(self, win):
        g = {}
        for line in self.run(["xwininfo", "-id", str(win)]).splitlines():
            line = line.strip()
            for key, name in (("Absolute upper-left X:", "x"), ("Absolute upper-left Y:", "y"),
                              ("Width:", "w"), ("Height:", "h")):
                if line.startswith(key):
                    g[name] = int(line.split(":")[1])
            if line.startswith("Map State:"):
                g["mapped"] = line.endswith("IsViewable")
        return g

    def screen_width(self, g):
        """A window's width on the screen, in the screen's own pixels."""
        return g.get("w", 0)

    def shown_box(self, win):
        """What of a mapped window shows: its bounding shape's extents as a box on
        the screen, or None when it is unmapped or its shape is empty."""
        g = self.geometry(win)
        if not g.get("mapped"):
            return None
        out = self.run(["xwininfo", "-shape", "-id", str(win)])
        m = re.search(r"Window shape extents:\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", out)
        if not m:
            return (g["x"], g["y"], g["x"] + g["w"], g["y"] + g["h"])
        w, h, x, y = map(int, m.groups())
        return None if w == 0 or h == 0 else (g["x"] + x, g["y"] + y, g["x"] + x + w, g["y"] + y + h)

    def window_shot(self, win):
        """A window's own pixels (root screenshots can miss popup menus)."""
        data = subprocess.run(["xwd", "-id", str(win), "-silent"], env=self.env,
                              capture_output=True, check=True).stdout
        return read_xwd(data)

    def prop(self, win, name):
        return self.run(["xprop", "-id", str(win), name])

    def stacking(self):
        """Client windows, bottom first."""
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"])
        return [int(x.strip().rstrip(","), 16) for x in out.split("#")[1].split()]

    # ---- pixels
    def screenshot(self):
        # xwd walks the window tree for the screen's visuals: a window that
        # goes during the walk fails it with BadWindow. Such a race is the
        # tool's, not the program's: try again.
        for attempt in range(4):
            r = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True)
            if r.returncode == 0 or attempt == 3:
                break
            time.sleep(0.1)
        r.check_returncode()
        return read_xwd(r.stdout)

    def changes(self, shot):
        """White where `shot` differs from the desktop without the program."""
        return diff_mask(shot, self.background, self.ignored)

    def text_window_shown(self, g, light_share=0.5):
        """The screenshot of window geometry `g` if it shows as a light window
        with dark text on it (a message box painted), else None."""
        shot = self.screenshot().crop((g["x"], g["y"], g["x"] + g["w"], g["y"] + g["h"]))
        light = sum(1 for q in shot.getdata() if min(q) > 180)
        dark = sum(1 for q in shot.getdata() if max(q) < 100)
        return shot if light > g["w"] * g["h"] * light_share and dark > 100 else None

    def panel_shown(self, rect, green=True):
        """The screenshot if a panel with a dark border (light green inside,
        when `green`) shows at `rect`, else None."""
        shot = self.screenshot()
        x0, y0, x1, y1 = rect
        border = list(shot.crop((x0, y0 + 2, x0 + 1, y1 - 2)).getdata())
        if sum(1 for q in border if max(q) < 64) < 0.9 * max(1, len(border)):
            return None
        if green and colour_fraction(shot, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), LIGHT_GREEN) < 0.2:
            return None
        return shot


# ---------------------------------------------------------------- the program


DUMMY_CONF = """Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1920x1080" "1280x720"
    Virtual 1920 1080
  EndSubSection
EndSection
"""


def overlay_size(desk, p, least=640):
    """Width and height of the program's mapped window at least `least` wide."""
    for w in desk.windows_of(p.pid):
        g = desk.geometry(w)
        if g.get("mapped") and g.get("w", 0) >= least:
            return g["w"], g["h"]
    return None


def drawn(desk, box):
    """Pixels in `box` other than the bare root's black."""
    return sum(1 for q in desk.screenshot().crop(box).getdata() if max(q) > 0)


def drag_pet(desk, near, to):
    """Drags what shows in the box `near` on a black root (a pet) to `to`."""
    bbox = desk.screenshot().crop(near).point(lambda v: 255 if v else 0).getbbox()
    check(bbox is not None, f"no pet shows in {near}")
    desk.drag(near[0] + (bbox[0] + bbox[2]) // 2, near[1] + (bbox[1] + bbox[3]) // 2, *to)
    time.sleep(0.5)


class DummyXorgDesktop(Desktop):
    """Xorg with the dummy driver instead of Xvfb: its modes change with xrandr
    (DUMMY0 takes 1920x1080 and 1280x720)."""

    def server(self, fd):
        conf = os.path.join(self.tmp, "dummy.conf")
        with open(conf, "w") as f:
            f.write(DUMMY_CONF)
        return ["Xorg", "-displayfd", str(fd), "-config", conf, "-noreset", "-nolisten", "tcp",
                "-logfile", os.path.join(self.tmp, "xorg.log"), "-s", "0"]


class Program:
    """The program under test in `workdir`, its output logged beside that folder."""
    window_timeout = 10
    exit_timeout = 5
    small_width = (0, 400)  # open bounds of a tray icon's, message box's or menu's width

    def __init__(self, desk, argv, workdir, env=None):
        self.desk, self.workdir = desk, workdir
        self.log = open(workdir.rstrip("/") + ".log", "w+")
        self.proc = desk.start(argv, cwd=workdir, stdout=self.log, stderr=self.log,
                               env=env or desk.env)
        self.pid = self.proc.pid

    def is_overlay(self, g):
        return g.get("mapped") and g.get("w") == WIDTH

    def window(self, timeout=None):
        """The overlay: the program's full-screen window, once mapped."""
        def find():
            for w in self.desk.windows_of(self.pid):
                if self.is_overlay(self.desk.geometry(w)):
                    return w
            return None
        return self.desk.wait_for(find, "the overlay window", timeout or self.window_timeout)

    def small_windows(self):
        lo, hi = self.small_width
        out = []
        for w in self.desk.windows_of(self.pid):
            g = self.desk.geometry(w)
            if g.get("mapped") and lo < g.get("w", 0) < hi:
                out.append((w, g))
        return out

    def signal(self, sig):
        self.proc.send_signal(sig)

    def wait_exit(self, timeout=None):
        try:
            return self.proc.wait(timeout or self.exit_timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def stop(self):
        self.desk.stop(self.proc)
        self.log.close()


# ---------------------------------------------------------------- the runner

class Suite:
    """Named checks run one after another against one desktop; a subclass says
    which desktop (desktop()) and how its program starts (program())."""
    prefix = "deskpet-e2e-"

    def __init__(self, only):
        self.only = set(only)
        self.passed = self.failed = 0
        self.tmp = tempfile.mkdtemp(prefix=self.prefix)
        try:
            self.desk = self.desktop()
        except BaseException:
            shutil.rmtree(self.tmp, ignore_errors=True)
            raise

    def desktop(self):
        raise NotImplementedError

    def program(self, workdir):
        raise NotImplementedError

    def close(self):
        self.desk.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run(self, name, fn):
        if self.only and name not in self.only:
            return
        t = time.time()
        try:
            fn()
        except Failure as e:
            self.failed += 1
            print(f"FAIL {name}: {e}")
        except Exception as e:
            self.failed += 1
            print(f"FAIL {name}: {type(e).__name__}: {e}")
            traceback.print_exc(file=sys.stdout)
        else:
            self.passed += 1
            print(f"PASS {name} ({time.time() - t:.1f} s)")
        sys.stdout.flush()

    def workdir(self, pets=None):
        d = tempfile.mkdtemp(dir=self.tmp, prefix="work-")
        if pets is not None:
            with open(os.path.join(d, datafile.DATA), "wb") as f:
                f.write(datafile.format_data(pets))
        return d

    def start(self, workdir, env=None):
        p = self.program(workdir, env=env) if env else self.program(workdir)
        p.window()
        return p

    def started_and_running(self, pets, env=None):
        d = self.workdir(pets)
        p = self.start(d, env)
        time.sleep(SPLASH_SECONDS)
        check(p.proc.poll() is None,
              f"the program ended early, status {p.proc.returncode}: {p.output()}")
        return d, p

    def quit_and_read(self, p, d, ask, how):
        """Asks the program to quit with `ask()` (named `how`); the pets it saved."""
        path = os.path.join(d, datafile.DATA)
        before = inode(path) if os.path.exists(path) else None
        ask()
        rc = p.wait_exit()
        check(rc == 0, f"after {how} the program ended with {rc}")
        check(os.path.exists(path), "no data file after the quit request")
        check(inode(path) != before, "the data file was not replaced on the quit request")
        check(not os.path.exists(path + ".tmp"), "a temporary file was left behind")
        return datafile.parse_data(open(path, "rb").read())

    # ---- checks both programs share
    def t_right_click(self):
        pets = [datafile.pet(600, 400, speed=1), datafile.pet(1300, 700, speed=1)]
        d, p = self.started_and_running(pets)
        near = pet_box(pets[0], 40)

        def onto_pet_after_a_step():
            # The pet steps once a second, chasing or not, and a step can
            # take it from under the pointer: act just after one.
            before = self.desk.screenshot().crop(near).tobytes()
            self.desk.wait_for(lambda: self.desk.screenshot().crop(near).tobytes() != before,
                               "a step of the pet", 3, step=0.02)
            box = self.shown_near(pets[0])
            self.desk.xdo("mousemove", (box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            time.sleep(0.1)
        try:
            onto_pet_after_a_step()
            self.desk.xdo("click", 3)
            time.sleep(0.3)
            # A quick pair counts as two presses: off and on again.
            onto_pet_after_a_step()
            self.desk.xdo("click", "--repeat", 2, "--delay", 120, 3)
            time.sleep(0.3)
            saved = self.quit_and_read(p, d)
            check([s["chaseMouse"] for s in saved] == [1, 1],
                  f"chaseMouse saved as {[s['chaseMouse'] for s in saved]}")
        finally:
            p.stop()

    # The mode a copy of a 0600 file must have.
    @staticmethod
    def private_copy(mode):
        return mode == 0o600

    # ---- flows both programs run alike; a suite says what differs by its
    # attributes and slot_list_rect()
    shots = None           # a folder to keep the README's screenshots in
    pet_margin = 15        # how far a pet may have walked from its place, at zoom 100
    tray_corner = None     # a box of the screen the tray changes, or None
    remade_files = None    # what a data folder made again holds, if checked

    def slot_list_rect(self):
        raise NotImplementedError

    def shared_checks(self):
        """The flows every program's suite runs alike: (name, check)."""
        return [
            ("pets shown where the data file puts them, nothing elsewhere", self.t_pets_shown),
            ("right clicks on a pet switch chasing for all pets, a quick pair twice",
             self.t_right_click),
            ("Escape on the splash saves and ends at once", self.t_escape_splash),
            ("a steady tick: the same rate, at least 61.5, with the pointer still, moving, "
             "and a panel open", self.t_steady_rate),
            ("no tray: a double-click on a pet opens the slot list", self.t_no_tray_dblclick),
            ("the data folder deleted while the program runs: made again, every pet saved, "
             "the message true", self.t_data_folder_deleted),
            ("the data file replaced by another program: its bytes kept aside, ours saved, "
             "both named", self.t_data_file_replaced),
            ("a settings file that is a link to /dev/zero or a FIFO: the defaults, at once",
             self.t_settings_not_a_file),
        ]

    @contextlib.contextmanager
    def without_tray(self):
        self.desk.stop_tray()
        try:
            yield
        finally:
            self.desk.start_tray()

    def t_pets_shown(self):
        pets = [datafile.pet(400, 300, speed=1), datafile.pet(1000, 500, speed=1),
                datafile.pet(1500, 250, speed=1, zoom=200)]
        d, p = self.started_and_running(pets)
        try:
            shot = self.desk.screenshot()
            check(key_pixels(shot) == 0, "key colour visible on the screen")
            mask = self.desk.changes(shot)
            for pet in pets:
                z = pet["zoom"] / 100
                box = pet_box(pet, int(self.pet_margin * z))
                n = count_white(mask, box)
                check(n >= 150 * z * z, f"pet at {pet['posX']},{pet['posY']}: {n} pixels shown")
                mask.paste(0, box)
            if self.tray_corner:
                mask.paste(0, self.tray_corner)
            stray = mask.getbbox()
            check(stray is None, f"something shown away from the pets at {stray}")
            save_shot(shot, self.shots, "pets-on-desktop.png", (300, 150, 1700, 750))
        finally:
            p.stop()

    def t_no_tray_dblclick(self):
        with self.without_tray():
            pet = datafile.pet(900, 500, speed=1)
            d, p = self.started_and_running([pet])
            try:
                rect = self.slot_list_rect()
                check(not self.desk.panel_shown(rect, green=False),
                      "the slot list shows before the click")
                box = self.shown_near(pet)
                self.desk.xdo("mousemove", (box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
                time.sleep(0.1)
                self.desk.xdo("click", "--repeat", 2, "--delay", 80, 1)
                shot = self.desk.wait_for(lambda: self.desk.panel_shown(rect, green=False),
                                          "the slot list", 5)
                check(key_pixels(shot) == 0, "key colour visible")
                save_shot(shot, self.shots, "slot-list-no-tray.png", around(rect))
            finally:
                p.stop()

    def t_data_folder_deleted(self):
        pets = [datafile.pet(600 + 200 * i, 300, speed=1) for i in range(3)]
        d, p = self.started_and_running(pets)
        try:
            shutil.rmtree(d)
            saved = self.quit_and_read(p, d)
            check(len(saved) == 3, f"saved pets {saved}")
            out = p.output()
            check("作り直しました" in out, f"not told: {out!r}")
            check("そのまま" not in out, f"a false message: {out!r}")
            if self.remade_files is not None:
                check(sorted(os.listdir(d)) == self.remade_files, f"files {os.listdir(d)}")
        finally:
            p.stop()

    def t_data_file_replaced(self):
        d, p = self.started_and_running([datafile.pet(900, 300, speed=1)])
        try:
            # A restored backup with two other pets, put in place as a sync would.
            theirs = datafile.format_data([datafile.pet(300, 300, speed=2),
                                           datafile.pet(600, 300, speed=2)])
            path = os.path.join(d, datafile.DATA)
            with open(path + ".restored", "wb") as f:
                f.write(theirs)
            os.rename(path + ".restored", path)
            saved = self.quit_and_read(p, d)
            check(len(saved) == 1, f"saved pets {saved}")
            kept = [f for f in os.listdir(d) if f.startswith(datafile.DATA + ".replaced-")]
            check(len(kept) == 1, f"files {os.listdir(d)}")
            check(open(os.path.join(d, kept[0]), "rb").read() == theirs, "the other bytes")
            check(kept[0] in p.output(), f"not told: {p.output()!r}")
        finally:
            p.stop()

    def t_settings_not_a_file(self):
        for kind in ("/dev/zero", "FIFO"):
            d = self.workdir([datafile.pet(900, 300, speed=1)])
            settings = os.path.join(d, "deskpet-settings.ini")
            if kind == "FIFO":
                os.mkfifo(settings)
            else:
                os.symlink(kind, settings)
            p = self.program(d)
            try:
                p.window()
                time.sleep(SPLASH_SECONDS)
                check(p.proc.poll() is None, f"{kind}: the program ended: {p.output()}")
                saved = self.quit_and_read(p, d)
                check(len(saved) == 1, f"{kind}: saved pets {saved}")
            finally:
                p.stop()

    # The tick rate, steady whatever the user does.
    rate_pointer = (5, 1000)  # where the pointer rests, and wiggles from
    rate_env = {"DESKPET_STATS": "1"}

    def open_slot_list(self, p):
        """Opens the slot list from the tray, and waits for it."""
        raise NotImplementedError

    def rate_told(self, p, d):
        """Ends the program `p` and gives the ticks a second it told."""
        raise NotImplementedError

    def rate_desktop(self):
        """The desktop the rate is measured on, as a context."""
        return contextlib.nullcontext()

    def measure_rate(self, mode, seconds=8):
        """Ticks a second of one run with the pointer still, moving all the
        time, or the slot list open from the end of the splash on."""
        x0, y0 = self.rate_pointer
        self.desk.xdo("mousemove", x0, y0)
        # Fifty fast pets: a tick has work to do, as on a busy desktop.
        d = self.workdir([datafile.pet(100 + 35 * i, 300 + 8 * i, speed=30) for i in range(50)])
        p = self.program(d, env=dict(self.desk.env, **self.rate_env))
        try:
            p.window()
            end = time.time() + SPLASH_SECONDS + seconds
            if mode == "panel":
                time.sleep(SPLASH_SECONDS)
                self.open_slot_list(p)
            i = 0
            while time.time() < end:
                if mode == "moving":
                    i += 1
                    self.desk.xdo("mousemove", x0 + 13 * (i % 60), y0 - 7 * (i % 40))
                time.sleep(0.02)
            return self.rate_told(p, d)
        finally:
            p.stop()

    def t_steady_rate(self):
        # Each mode twice, interleaved, so that a slow moment of the machine
        # does not decide; the medians are compared.
        modes = ("still", "moving", "panel")
        rates = {m: [] for m in modes}
        with self.rate_desktop():
            for _ in range(2):
                for m in modes:
                    rates[m].append(self.measure_rate(m))
        medians = {m: statistics.median(r) for m, r in rates.items()}
        print(f"# ticks a second: {rates}")
        check(min(medians.values()) >= 61.5, f"too slow: {medians}")
        check(max(medians.values()) - min(medians.values()) <= 1.0, f"not steady: {medians}")

    # Escape on the splash.
    def give_splash_keyboard(self, p):
        """Makes sure the splash has the keyboard."""

    def t_escape_splash(self):
        d = self.workdir([datafile.pet(900, 300, speed=1)])
        path = os.path.join(d, datafile.DATA)
        before = file_state(path)
        p = self.start(d)
        try:
            self.give_splash_keyboard(p)
            self.desk.xdo("key", "Escape")
            rc = p.wait_exit(5)
            check(rc == 0, f"Escape: the program ended with {rc}")
            check(file_state(path) != before, "the data file was not saved")
            saved = datafile.parse_data(open(path, "rb").read())
            check([(x["posX"], x["posY"]) for x in saved] == [(900, 300)], f"saved {saved}")
            check(sorted(os.listdir(d)) == [".deskpet.lock", datafile.DATA],
                  f"files {os.listdir(d)}")
        finally:
            p.stop()

    def check_let_go_at(self, saved_pet, drop, speed):
        """A saved pet is where the cursor let go of it at `drop`, give or take
        the steps a pet of `speed` can have walked since."""
        got = (saved_pet["posX"], saved_pet["posY"])
        walk = self.desk.walked_since_drop(speed)
        check(drop[0] - 24 - walk <= got[0] <= drop[0] + walk and
              drop[1] - 32 - walk <= got[1] <= drop[1] + walk,
              f"saved place {got}, let go at {drop}, {walk} px of walk allowed")

    def check_damaged_file_told(self, find_notice, light_share=0.5):
        """A data file with a value out of range is kept aside and the user
        told: `find_notice(p)` gives the notice window's geometry or None. The
        file is the owner's alone, and so is its copy."""
        d = self.workdir([datafile.pet(900, 500, speed=999)])
        os.chmod(os.path.join(d, datafile.DATA), 0o600)
        p = self.start(d)
        try:
            kept = self.desk.wait_for(lambda: [f for f in os.listdir(d) if ".damaged-" in f],
                                      "the damaged file kept aside", SPLASH_SECONDS + 6)
            mode = os.stat(os.path.join(d, kept[0])).st_mode & 0o777
            check(self.private_copy(mode), f"the copy's mode is {mode:o}")
            g = self.desk.wait_for(lambda: find_notice(p), "a notice of the damaged file", 10)
            self.desk.wait_for(lambda: self.desk.text_window_shown(g, light_share),
                               "the notice's text", 5)
            check(p.proc.poll() is None, "the program ended")
        finally:
            p.stop()

    def check_screen_change(self, desk, start, quit_and_read):
        """On `desk` (Xorg, dummy driver): the overlay follows each change of the
        screen's size, and the program draws on the whole new screen (a pet
        dragged where only the larger screen reaches shows there); pets beyond
        the edges of a smaller screen come back inside. `start(d)` starts the
        program on `desk` with its pets in `d`; `quit_and_read(p, d)` ends it
        and gives the pets it saved."""
        d = self.workdir([datafile.pet(1850, 1000, speed=30), datafile.pet(300, 300, speed=1)])
        p = start(d)
        try:
            def resize(w, h):
                desk.xrandr("--output", "DUMMY0", "--mode", f"{w}x{h}")
                t = time.time()
                desk.wait_for(lambda: overlay_size(desk, p) == (w, h), f"the overlay at {w}x{h}", 5)
                print(f"# the overlay took {w}x{h} in {time.time() - t:.2f} s")
            desk.wait_for(lambda: overlay_size(desk, p) == (WIDTH, HEIGHT), "the overlay", 15)
            time.sleep(SPLASH_SECONDS)
            resize(1280, 720)
            resize(WIDTH, HEIGHT)
            time.sleep(1.0)  # the program may learn the size a little after the window
            drag_pet(desk, (240, 240, 380, 380), (1700, 900))
            # Where it was let go, give or take the samples of the cursor it
            # trails by; only the larger screen reaches there.
            n = drawn(desk, (1500, 760, 1800, 1000))
            check(n >= 100, f"a pet dragged to (1700, 900) shows {n} pixels")
            resize(1280, 720)
            time.sleep(1.5)  # a step or more for the pets
            saved = quit_and_read(p, d)
            for pet in saved:
                check(pet["posX"] <= 1280 - 24 and pet["posY"] <= 720 - 32,
                      f"a pet outside the screen at {pet['posX']},{pet['posY']}")
        finally:
            p.stop()

    def check_every_monitor(self, desk, start, quit_and_read):
        """On `desk` (Xorg, dummy driver) made two monitors, the primary on the
        left and a smaller one on the right, so that the box around them has a
        gap below the right one: off, the overlay covers the primary only; on
        (the settings file), pets show on both and never in the gap, one is
        dragged across the seam, and when the right monitor goes the overlay
        shrinks and every pet comes back onto the primary."""
        desk.xrandr("--setmonitor", "*LEFT", "1280/338x1080/286+0+0", "DUMMY0")
        desk.xrandr("--setmonitor", "RIGHT", "640/169x720/190+1280+0", "none")
        pets = [datafile.pet(300, 500, speed=1), datafile.pet(1500, 300, speed=1),
                datafile.pet(1600, 900, speed=30), datafile.pet(1750, 1000, speed=30)]
        d = self.workdir(pets)
        p = start(d)
        try:
            desk.wait_for(lambda: overlay_size(desk, p) == (1280, 1080),
                          "the overlay on the primary", 15)
        finally:
            p.stop()
        with open(os.path.join(d, datafile.DATA), "wb") as f:  # as they were before that run
            f.write(datafile.format_data(pets))
        with open(os.path.join(d, "deskpet-settings.ini"), "w") as f:
            f.write("every-monitor=1\n")
        p = start(d)
        try:
            desk.wait_for(lambda: overlay_size(desk, p) == (1920, 1080), "the overlay on both", 15)
            time.sleep(SPLASH_SECONDS + 1.0)
            check(drawn(desk, pet_box(pets[0], 40)) >= 100, "no pet on the left monitor")
            check(drawn(desk, pet_box(pets[1], 40)) >= 100, "no pet on the right monitor")
            gap = (1280 + 13, 720 + 17, 1920, 1080)
            for _ in range(10):
                check(drawn(desk, gap) == 0, "a pet in the gap below the right monitor")
                time.sleep(0.2)
            drag_pet(desk, pet_box(pets[0], 40), (1600, 400))
            n = drawn(desk, (1500, 300, 1700, 500))
            check(n >= 100, f"a pet dragged across the seam to (1600, 400) shows {n} pixels")
            desk.xrandr("--delmonitor", "RIGHT")
            desk.wait_for(lambda: overlay_size(desk, p) == (1280, 1080), "the overlay on one", 5)
            time.sleep(1.5)  # a step or more for the pets
            for pet in quit_and_read(p, d):
                check(pet["posX"] <= 1280 - 24, f"a pet left off the screen: {pet['posX']}")
        finally:
            p.stop()

    def shown_near(self, pet, margin=40, shot=None):
        """Bounding box of what differs from the bare desktop near where `pet` was put."""
        shot = shot or self.desk.screenshot()
        box = pet_box(pet, margin)
        bbox = self.desk.changes(shot).crop(box).getbbox()
        check(bbox is not None, f"nothing shown near {box}")
        return (box[0] + bbox[0], box[1] + bbox[1], box[0] + bbox[2], box[1] + bbox[3])


def main(make_suite, usage):
    """make_suite(first argument, check names); prints "N passed, M failed" last."""
    if len(sys.argv) < 2:
        print(usage)
        return 2
    # A stop from outside still stops what the suite started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    t = time.time()
    suite = make_suite(sys.argv[1], sys.argv[2:])
    try:
        suite.all()
    finally:
        suite.close()
    print(f"# {time.time() - t:.0f} s")
    print(f"{suite.passed} passed, {suite.failed} failed")
    return 1 if suite.failed else 0


if __name__ == "__main__":
    out = sys.argv[1]
    read_xwd(sys.stdin.buffer.read()).save(out + ".part.png")
    os.replace(out + ".part.png", out)
