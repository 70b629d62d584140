"""End-to-end tests of the Windows program under Wine: a private Xvfb with
openbox, a fresh Wine prefix with a Japanese locale, ordinary X windows
beneath the overlay, driven with xdotool and checked by pixel.

usage: run_e2e.py DESKPET_EXE [CHECK NAME...]
Prints one line per check and, last, "N passed, M failed".
Every process is started here and stopped here, by process id."""

import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import datafile  # noqa: E402

KEY = (98, 164, 172)
LIGHT_GREEN = (192, 255, 192)
WIDTH, HEIGHT = 1920, 1080
DATA = "zpdata.mrdt"
SPLASH_SECONDS = 4.0  # the splash stays for three changes of the clock's second
BENEATH = (100, 600, 500, 300)  # x, y, w, h of the window that logs clicks
TWIPS = 15


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def read_xwd(data):
    """An XWD dump of a 24- or 32-bit TrueColor screen as an RGB image."""
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        raise ValueError(f"unsupported XWD: {bits_per_pixel} bits a pixel")
    offset = header_size + ncolors * 12
    if bits_per_pixel == 24:
        raw = "BGR" if byte_order == 0 else "RGB"
    else:
        raw = "BGRX" if byte_order == 0 else "XRGB"
    return Image.frombuffer("RGB", (width, height), data[offset:offset + bytes_per_line * height],
                            "raw", raw, bytes_per_line, 1)


def round_half_even(v):
    return int(round(v))  # Python rounds halves to even, as the program does


def centred(width_twips, height_twips):
    """Screen rectangle (pixels) of a window-level panel the program centres."""
    left = round_half_even(WIDTH * TWIPS / 2 - width_twips / 2)
    top = round_half_even(HEIGHT * TWIPS / 2 - height_twips / 2)
    px = lambda t: int(t / TWIPS + 0.5)  # noqa: E731
    return (px(left), px(top), px(left) + px(width_twips), px(top) + px(height_twips))


WELCOME = centred(6135, 5775)   # Picture2
NEW_PET = centred(4575, 2895)   # Picture1
SPLASH = centred(5325, 2925)    # Picture3


def child_centre(parent_rect, left, top, width, height):
    """Centre of a control inside a bordered panel (one-pixel border)."""
    return (parent_rect[0] + 1 + round(left / TWIPS) + round(width / (2 * TWIPS)),
            parent_rect[1] + 1 + round(top / TWIPS) + round(height / (2 * TWIPS)))


# What changes on the screen without the program: the tray at the top right
# (it takes the icon in), window title bars (they follow the focus).
IGNORED = [(0, 0, WIDTH, 24), (WIDTH - 300, 0, WIDTH, 40),
           (BENEATH[0] - 5, BENEATH[1] - 5, BENEATH[0] + BENEATH[2] + 10, BENEATH[1] + 26)]


def diff_mask(shot, background):
    """White where the screen differs from the desktop without the program."""
    d = ImageChops.difference(shot, background).convert("L")
    mask = d.point(lambda v: 255 if v else 0)
    for box in IGNORED:
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


def save_shot(shot, name, rect=None):
    """E2E_SHOTS=DIR keeps the screenshots there (a panel with a margin)."""
    out = os.environ.get("E2E_SHOTS")
    if not out:
        return
    os.makedirs(out, exist_ok=True)
    if rect:
        shot = shot.crop((rect[0] - 10, rect[1] - 10, rect[2] + 10, rect[3] + 10))
    shot.save(os.path.join(out, name))


def file_state(path):
    st = os.stat(path)
    return open(path, "rb").read(), st.st_ino, st.st_mtime_ns


# ---------------------------------------------------------------- the desktop

class Desktop:
    def __init__(self, tmp):
        self.tmp = tmp
        self.procs = []
        self.env = self._env()
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                 f"{WIDTH}x{HEIGHT}x24", "-noreset", "-s", "0", "-nolisten", "tcp"],
                                pass_fds=(w,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(r)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.start(["openbox", "--sm-disable"])
        self.wait_for(lambda: "_NET_SUPPORTING_WM_CHECK" in self.run(["xprop", "-root"]),
                      "openbox")
        self._wine_prefix()
        # A tray host, so the tray icon goes there and not into a window of
        # Wine's own at the top left.
        self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                    "--height", "24", "--SetDockType", "true", "--transparent", "false",
                    "--tint", "0x808080"])
        self.wait_for(lambda: self.tray_window(), "the tray host")
        # Ordinary X windows beneath the overlay: a picture over the whole
        # screen, and a window that logs the clicks it gets.
        self.start(["xlogo", "-geometry", f"{WIDTH}x{HEIGHT - 40}+0+0"])
        self.xev_log = os.path.join(self.tmp, "xev.log")
        x, y, w_, h = BENEATH
        self.start(["stdbuf", "-oL", "xev", "-geometry", f"{w_}x{h}+{x}+{y}", "-name", "beneath"],
                   stdout=open(self.xev_log, "w"))
        self.wait_for(lambda: self.run(["xdotool", "search", "--name", "^beneath$"]).split(),
                      "the window beneath")
        # The window beneath must not be covered by the xlogo.
        self.xdo("search", "--name", "^beneath$", "windowraise")
        time.sleep(1.0)
        self.background = self.screenshot()

    def _env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "XDG_", "WAYLAND", "LC_", "WINE", "DISPLAY"))}
        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        env.update(HOME=home, WINEPREFIX=os.path.join(self.tmp, "prefix"), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
        # Japanese captions and menus need a Japanese locale; one built here
        # keeps the machine's own locales as they are.
        locpath = os.path.join(self.tmp, "locale")
        os.makedirs(locpath)
        built = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8",
                                os.path.join(locpath, "ja_JP.UTF-8")],
                               capture_output=True).returncode in (0, 1)
        if built and os.path.isdir(os.path.join(locpath, "ja_JP.UTF-8")):
            env.update(LOCPATH=locpath, LANG="ja_JP.UTF-8")
        else:
            print("# no Japanese locale: captions rely on the Shift-JIS fonts alone")
        return env

    def _wine_prefix(self):
        t = time.time()
        # A persistent server for the whole run: every start is quicker, and
        # it is the one process that owns the prefix's Windows processes.
        os.makedirs(self.env["WINEPREFIX"])
        self.wineserver = self.start(["wineserver", "-f", "-p"])
        # Its helpers outlive it: no pipes to wait on.
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        # The Mincho face under the names the program asks for.
        for name in ("MS Mincho", "ＭＳ 明朝"):
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements",
                            "/v", name, "/d", "IPAMincho", "/f"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        print(f"# Wine prefix ready in {time.time() - t:.1f} s")

    def start(self, argv, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=self.env, **kw)
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
        # The prefix's Windows processes (explorer, services) belong to this
        # run's private server: end them through it, then everything else.
        if getattr(self, "wineserver", None):
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
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

    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       capture_output=True)

    def click(self, x, y, button=1):
        self.xdo("mousemove", x, y)
        time.sleep(0.1)
        self.xdo("click", button)

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

    def tray_window(self):
        for w in self.run(["xdotool", "search", "--class", "trayer"]).split():
            if self.geometry(w).get("mapped"):
                return w
        return None

    def windows_of(self, pid):
        return self.run(["xdotool", "search", "--pid", str(pid)]).split()

    def screenshot(self):
        data = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                              check=True).stdout
        return read_xwd(data)

    def xev_presses(self):
        with open(self.xev_log) as f:
            return f.read().count("ButtonPress")


class Program:
    def __init__(self, desk, exe, workdir):
        self.desk, self.workdir = desk, workdir
        self.log = open(workdir.rstrip("/") + ".log", "w+")
        self.proc = desk.start(["wine", exe], cwd=workdir, stdout=self.log, stderr=self.log)

    def window(self, timeout=15):
        """The overlay: the program's full-screen window, once mapped."""
        def find():
            for w in self.desk.windows_of(self.proc.pid):
                g = self.desk.geometry(w)
                if g.get("w") == WIDTH and g.get("h") == HEIGHT and g.get("mapped"):
                    return w
            return None
        return self.desk.wait_for(find, "the overlay window", timeout)

    def small_windows(self):
        out = []
        for w in self.desk.windows_of(self.proc.pid):
            g = self.desk.geometry(w)
            if g.get("mapped") and 1 < g.get("w", 0) < 800:
                out.append((w, g))
        return out

    def close_window(self):
        """A quit request as Windows sends it: WM_CLOSE to the program's windows."""
        subprocess.run(["wine", "taskkill", "/im", "deskpet.exe"], env=self.desk.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def wait_exit(self, timeout=8):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def stop(self):
        self.desk.stop(self.proc)
        self.log.close()


# ---------------------------------------------------------------- the checks

class Suite:
    def __init__(self, exe, only):
        self.exe = exe
        self.only = set(only)
        self.passed = self.failed = 0
        self.tmp = tempfile.mkdtemp(prefix="deskpet-w32-e2e-")
        self.desk = Desktop(self.tmp)

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
            with open(os.path.join(d, DATA), "wb") as f:
                f.write(datafile.format_data(pets))
        return d

    def start(self, workdir):
        p = Program(self.desk, self.exe, workdir)
        p.window()
        return p

    def started_and_running(self, pets):
        d = self.workdir(pets)
        p = self.start(d)
        time.sleep(SPLASH_SECONDS)
        check(p.proc.poll() is None, f"the program ended early: {p.output()}")
        return d, p

    def quit_and_read(self, p, d):
        path = os.path.join(d, DATA)
        before = os.stat(path).st_ino if os.path.exists(path) else None
        p.close_window()
        rc = p.wait_exit()
        check(rc == 0, f"after WM_CLOSE the program ended with {rc}")
        check(os.path.exists(path), "no data file after the quit request")
        check(os.stat(path).st_ino != before, "the data file was not replaced on the quit request")
        check(not os.path.exists(path + ".tmp"), "a temporary file was left behind")
        return datafile.parse_data(open(path, "rb").read())

    def shown_near(self, pet, margin=40, shot=None):
        """Bounding box of what differs from the bare desktop near `pet`."""
        shot = shot or self.desk.screenshot()
        box = pet_box(pet, margin)
        bbox = diff_mask(shot, self.desk.background).crop(box).getbbox()
        check(bbox is not None, f"nothing shown near {box}")
        return (box[0] + bbox[0], box[1] + bbox[1], box[0] + bbox[2], box[1] + bbox[3])

    def panel_shown(self, rect, green=True):
        shot = self.desk.screenshot()
        x0, y0, x1, y1 = rect
        border = list(shot.crop((x0, y0 + 2, x0 + 1, y1 - 2)).getdata())
        if sum(1 for q in border if max(q) < 64) < 0.9 * len(border):
            return None
        if green and colour_fraction(shot, (x0 + 1, y0 + 1, x1 - 1, y1 - 1), LIGHT_GREEN) < 0.2:
            return None
        return shot

    def all(self):
        self.run("overlay: full screen, topmost, out of the taskbar, no key colour shown",
                 self.t_window)
        self.run("pets shown where the data file puts them, nothing elsewhere", self.t_pets)
        self.run("a click on a see-through spot reaches the window beneath", self.t_click_through)
        self.run("dragging a pet moves it and WM_CLOSE saves the new place", self.t_drag)
        self.run("Escape ends at once and leaves the data file as it was", self.t_escape)
        self.run("a second instance in the same folder is refused", self.t_second_instance)
        self.run("first run: welcome panel with Japanese captions, OK, new-pet panel, a pet",
                 self.t_first_run)

    def t_window(self):
        d, p = self.started_and_running([datafile.pet(1700, 300)])
        try:
            w = p.window()
            g = self.desk.geometry(w)
            check((g["x"], g["y"], g["w"], g["h"]) == (0, 0, WIDTH, HEIGHT), f"geometry {g}")
            state = self.desk.run(["xprop", "-id", w, "_NET_WM_STATE"])
            for s in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE"):
                check(s in state, f"{s} missing: {state.strip()}")
            hints = self.desk.run(["xprop", "-id", w, "WM_HINTS"])
            check("input focus: False" in hints, f"the overlay takes the focus: {hints.strip()}")
            stacking = self.desk.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"])
            ids = [int(x.strip().rstrip(","), 16) for x in stacking.split("#")[1].split()]
            xlogo = int(self.desk.run(["xdotool", "search", "--class", "xlogo"]).split()[0])
            check(int(w) in ids and xlogo in ids and ids.index(int(w)) > ids.index(xlogo),
                  "the overlay is not above the window beneath")
            check(key_pixels(self.desk.screenshot()) == 0, "key colour visible on the screen")
        finally:
            p.stop()

    def t_pets(self):
        pets = [datafile.pet(400, 300), datafile.pet(1000, 500), datafile.pet(1500, 250, zoom=200)]
        d, p = self.started_and_running(pets)
        try:
            shot = self.desk.screenshot()
            check(key_pixels(shot) == 0, "key colour visible on the screen")
            mask = diff_mask(shot, self.desk.background)
            for pet in pets:
                z = pet["zoom"] / 100
                # Pets walk (slowly) from where the file puts them.
                box = pet_box(pet, int(40 * z))
                n = count_white(mask, box)
                check(n >= 150 * z * z, f"pet at {pet['posX']},{pet['posY']}: {n} pixels shown")
                mask.paste(0, box)
            stray = mask.getbbox()
            check(stray is None, f"something shown away from the pets at {stray}")
        finally:
            p.stop()

    def t_click_through(self):
        d, p = self.started_and_running([datafile.pet(1700, 300)])
        try:
            before = self.desk.xev_presses()
            self.desk.click(BENEATH[0] + 200, BENEATH[1] + 150)
            self.desk.wait_for(lambda: self.desk.xev_presses() > before,
                               "the window beneath to log the press", 3)
        finally:
            p.stop()

    def t_drag(self):
        pet = datafile.pet(800, 400)
        d, p = self.started_and_running([pet])
        try:
            box = self.shown_near(pet)
            grab = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            drop = (1300, 750)
            # The program sees the cursor on its ticks: hover first, as a hand does.
            self.desk.xdo("mousemove", *grab)
            time.sleep(0.1)
            self.desk.xdo("mousedown", 1)
            time.sleep(0.15)
            steps = 20
            for i in range(1, steps + 1):
                self.desk.xdo("mousemove", grab[0] + (drop[0] - grab[0]) * i // steps,
                              grab[1] + (drop[1] - grab[1]) * i // steps)
                time.sleep(0.03)
            # The pet follows on the move after the tick that saw the cursor there.
            time.sleep(0.1)
            self.desk.xdo("mousemove", drop[0] + 1, drop[1])
            time.sleep(0.1)
            self.desk.xdo("mouseup", 1)
            time.sleep(0.1)
            self.shown_near({"posX": drop[0] - 12, "posY": drop[1] - 16, "zoom": 100})
            saved = self.quit_and_read(p, d)
            want = (pet["posX"] + drop[0] - grab[0], pet["posY"] + drop[1] - grab[1])
            got = (saved[0]["posX"], saved[0]["posY"])
            check(abs(got[0] - want[0]) <= 30 and abs(got[1] - want[1]) <= 30,
                  f"saved place {got}, dropped near {want}")
        finally:
            p.stop()

    def t_escape(self):
        d = self.workdir([datafile.pet(900, 300)])
        path = os.path.join(d, DATA)
        before = file_state(path)
        p = self.start(d)
        try:
            # On the splash: the window takes the keyboard while a panel shows.
            self.desk.wait_for(lambda: self.panel_shown(SPLASH, green=False), "the splash", 5)
            self.desk.click((SPLASH[0] + SPLASH[2]) // 2, (SPLASH[1] + SPLASH[3]) // 2)
            time.sleep(0.2)
            self.desk.xdo("key", "Escape")
            rc = p.wait_exit(5)
            check(rc == 0, f"Escape: the program ended with {rc}")
            check(file_state(path) == before, "the data file was written")
            check(os.listdir(d) == [DATA], f"files {os.listdir(d)}")
        finally:
            p.stop()

    def t_second_instance(self):
        d, first = self.started_and_running([datafile.pet(900, 300)])
        path = os.path.join(d, DATA)
        before = file_state(path)
        second = Program(self.desk, self.exe, d)
        try:
            box = self.desk.wait_for(lambda: second.small_windows(), "the message box", 15)
            check(second.proc.poll() is None, "the second instance ended before saying so")
            self.desk.xdo("windowactivate", "--sync", box[0][0])
            self.desk.xdo("key", "Return")
            rc = second.wait_exit(5)
            check(rc == 1, f"the second instance ended with {rc}")
            check("already running" in second.output(), f"output: {second.output()!r}")
            check(file_state(path) == before, "the data file was touched")
            check(first.proc.poll() is None, "the first instance ended")
        finally:
            second.stop()
            first.stop()

    def japanese_rendered(self, shot, rect):
        """ZPjoho(1), "デスクトップアクセサリー型簡易育成ゲーム": twenty full-width
        glyphs, 13 pixels each, 9 pixels in from the panel's corner. Missing
        glyphs would come out as question marks (half the width) or as
        identical boxes."""
        x0, y0 = rect[0] + 1 + 8, rect[1] + 1 + 8
        label = shot.crop((x0, y0, x0 + 300, y0 + 17))
        ink = [[1 if max(label.getpixel((x, y))) < 100 else 0 for y in range(label.height)]
               for x in range(label.width)]
        cols = [x for x in range(label.width) if any(ink[x])]
        check(cols, "no text in the top label")
        width = cols[-1] - cols[0] + 1
        check(width >= 230, f"the top label's text is {width} pixels wide, not twenty glyphs")
        cells = [sum(sum(ink[x]) for x in range(cols[0] + 13 * i, cols[0] + 13 * (i + 1)))
                 for i in range(20)]
        check(len(set(cells)) >= 10, f"the glyphs look alike (boxes?): ink per glyph {cells}")

    def t_first_run(self):
        d = self.workdir()
        p = self.start(d)
        try:
            shot = self.desk.wait_for(lambda: self.panel_shown(WELCOME), "the welcome panel", 8)
            check(key_pixels(shot) == 0, "key colour visible (a fringe around text?)")
            self.japanese_rendered(shot, WELCOME)
            save_shot(shot, "welcome.png", WELCOME)
            self.desk.click(*child_centre(WELCOME, 4560, 5280, 1095, 255))  # Command5, OK
            shot = self.desk.wait_for(lambda: self.panel_shown(NEW_PET), "the new-pet panel", 5)
            check(key_pixels(shot) == 0, "key colour visible")
            save_shot(shot, "new-pet.png", NEW_PET)
            self.desk.click(*child_centre(NEW_PET, 3120, 2280, 1215, 375))  # Command1, OK
            self.desk.wait_for(lambda: not self.panel_shown(NEW_PET), "the new-pet panel to go", 5)
            time.sleep(0.5)
            mask = diff_mask(self.desk.screenshot(), self.desk.background)
            check(count_white(mask) >= 150, "no pet on the desktop")
            saved = self.quit_and_read(p, d)
            check(len(saved) == 1, f"saved pets {saved}")
        finally:
            p.stop()


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    t = time.time()
    suite = Suite(os.path.abspath(sys.argv[1]), sys.argv[2:])
    try:
        suite.all()
    finally:
        suite.close()
    print(f"# {time.time() - t:.0f} s")
    print(f"{suite.passed} passed, {suite.failed} failed")
    return 1 if suite.failed else 0


if __name__ == "__main__":
    sys.exit(main())
