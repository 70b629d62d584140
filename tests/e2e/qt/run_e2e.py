"""End-to-end tests of the desktop program on a real X server: Xvfb with
openbox and a tray host, an ordinary window beneath the overlay, driven with
xdotool and checked by pixel.

usage: run_e2e.py BUILD_DIR [TEST_NAME...]
Prints one line per check and, last, "N passed, M failed"."""

import fcntl
import json
import re
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from datafile import DATA  # noqa: E402
import datafile  # noqa: E402
from xdesk import (Desktop, DummyXorgDesktop, Failure, Program, Suite, around,  # noqa: E402
                   evolving_pets,
                   check,
                   child_centre, clear_of_minute_save,
                   count_white, diff_mask, file_state, inode, key_pixels, main,
                   pet_box, recent_dates, save_shot, twips_rect, LIGHT_GREEN, SPLASH_SECONDS)

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
# E2E_SCREENSHOTS=1 refreshes the screenshots the README shows.
SHOTS = (os.path.join(REPO, "docs", "screenshots") if os.environ.get("E2E_SCREENSHOTS") == "1"
         else None)


class QtDesktop(Desktop):
    """With a tray host and, beneath the overlay, an ordinary window that logs clicks."""
    drop_env = Desktop.drop_env + ("QT_",)

    def environment(self):
        env = super().environment()
        runtime = os.path.join(env["HOME"], "runtime")
        os.makedirs(runtime, mode=0o700)
        env.update(XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(env["HOME"], "config"),
                   XDG_CACHE_HOME=os.path.join(env["HOME"], "cache"))
        return env

    def furnish(self):
        self.start_tray()
        self.beneath = self.start_beneath("1920x1040+0+0")
        self.take_background()


class HighDpiDesktop(QtDesktop):
    """A 3840x2160 screen whose desktop asks for `dpi` dots an inch (Xft.dpi),
    without a tray (a double-click on a pet opens the slot list)."""

    def __init__(self, tmp, dpi):
        self.dpi = dpi
        super().__init__(tmp)

    def server(self, fd):
        return ["Xvfb", "-displayfd", str(fd), "-screen", "0", "3840x2160x24",
                "-noreset", "-s", "0", "-nolisten", "tcp"]

    def furnish(self):
        subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {self.dpi}\n", text=True,
                       env=self.env, check=True, timeout=10)
        self.beneath = self.start_beneath("3840x2100+0+0")
        self.take_background()


# ---------------------------------------------------------------- the suite

class QtSuite(Suite):
    shots = SHOTS
    tray_corner = (1920 - 300, 0, 1920, 40)
    remade_files = [".deskpet.lock", DATA]

    def slot_list_rect(self):
        return twips_rect(self.probe["slotList"][0])

    def __init__(self, build_dir, only):
        build_dir = os.path.abspath(build_dir)
        self.binary = os.path.join(build_dir, "deskpet")
        self.probe = self._probe(os.path.join(build_dir, "deskpet-core-probe"))
        super().__init__(only)

    def desktop(self):
        return QtDesktop(self.tmp)

    def program(self, workdir, args=None, env=None):
        # The pets live in the folder --data-dir names; the program starts in
        # that folder too, so that its log lands beside it.
        return Program(self.desk, [self.binary] + (["--data-dir", workdir] if args is None else args), workdir,
                       env=env)

    @staticmethod
    def _probe(path):
        # Where the core puts its panels, from the same core run headlessly.
        out = subprocess.run([path], capture_output=True, text=True, timeout=60, check=True)
        return json.loads(out.stdout)

    def quit_and_read(self, p, d, sig=signal.SIGTERM):
        return super().quit_and_read(p, d, lambda: p.signal(sig), signal.Signals(sig).name)

    # -- the checks
    def all(self):
        self.run("overlay window: full screen, above, out of taskbar and pager, no focus",
                 self.t_window)
        for name, check_ in self.shared_checks():
            self.run(name, check_)
        self.run("no key colour shows while 50 pets walk fast", self.t_no_key_while_walking)
        self.run("click on a see-through spot reaches the window beneath", self.t_click_through)
        self.run("dragging a pet moves it, keeps the focus, and a quit request saves the place",
                 self.t_drag)
        self.run("the cursor's every move over other windows counts towards the travel meter",
                 self.t_cursor_travel)
        self.run("a still pointer: the program wakes for a few ticks a second, counts 62, the pets walk",
                 self.t_sleeps)
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            self.run(f"{sig.name} saves and ends", lambda s=sig: self.t_signal(s))
        self.run("Escape on the welcome panel ends at once and writes nothing; the next start "
                 "welcomes again", self.t_escape_welcome)
        self.run("a panel takes the keyboard as it shows and gives it back when it goes",
                 self.t_focus_handed_back)
        self.run("closed by the window manager: saves and ends", self.t_window_manager_close)
        self.run("the display goes away: saves, then ends", self.t_display_gone)
        self.run("a second start on the same folder opens the first's slot list or information "
                 "panel, or saves and quits it, and ends", self.t_second_instance)
        self.run("a second start that cannot reach the first says so and ends within seconds",
                 self.t_second_instance_unreachable)
        self.run("the pets live in the user's data folder, whatever folder the program starts in",
                 self.t_data_folder)
        self.run("a data folder that cannot be made is told, and nothing is written elsewhere",
                 self.t_data_folder_unusable)
        self.run("first run: the welcome panel, light green with Mincho text", self.t_welcome)
        self.run("first run: OK on the welcome leads to the new-pet panel", self.t_new_pet_panel)
        self.run("first run: the new pet arrives on the desktop", self.t_first_pet)
        self.run("tray icon shows in the tray", self.t_tray_icon)
        self.run("tray: left click opens the slot list", self.t_tray_slot_list)
        self.run("the mouse wheel over the slot list's rows scrolls it", self.t_slot_list_wheel)
        self.run("tray menu opens the information panel", self.t_tray_info)
        self.run("tray menu saves and quits", self.t_tray_quit)
        self.run("tray menu hides the pets (clicks go through) and shows them again",
                 self.t_tray_hide)
        self.run("a full-screen window in front: the pets step aside (clicks reach it), and "
                 "come back when it leaves full screen; a maximised one does not count",
                 self.t_full_screen)
        self.run("the screen changes size (Xorg, dummy driver): the overlay follows, pets come "
                 "back inside", self.t_screen_change)
        self.run("two monitors (Xorg, dummy driver): pets play on both, never in the gap, are "
                 "dragged across the seam, and come back when a monitor goes", self.t_every_monitor)
        self.run("tray menu: playing on every screen is ticked, kept in the settings file, and "
                 "unticked", self.t_tray_every_monitor)
        for dpi, scale in ((192, 2), (144, 2), (120, 1)):
            self.run(f"a 3840x2160 screen at {dpi} dpi: pets and panels {scale}x as large, sharp; "
                     "click-through and drag exact", lambda d=dpi, s=scale: self.t_high_dpi(d, s))
        self.run("tray menu: start at login writes and removes the autostart entry",
                 self.t_tray_autostart)
        self.run("start at login with a data folder of quotes, %, spaces: a valid entry; with a "
                 "line break: refused and told", self.t_autostart_unusual_folder)
        self.run("pets evolving together: one message from the tray icon", self.t_evolution_news)
        self.run("tray: the icon opens the slot list again after it closed, three times; a "
                 "double-click on a pet opens it too", self.t_tray_after_panels)
        self.run("no tray at start: the icon appears when a tray turns up", self.t_tray_later)
        self.run("a damaged data file is kept aside and the user is told",
                 self.t_damaged_file_told)
        self.run("started under a compositor: translucent overlay; when it quits, the shape",
                 self.t_compositor_quits)
        self.run("under a compositor the slot list's picture shows opaque",
                 self.t_compositor_panels)
        self.run("a compositor that turns up while the program runs is used",
                 self.t_compositor_arrives)

    def t_window(self):
        d, p = self.started_and_running([datafile.pet(1700, 900, speed=1)])
        try:
            w = p.window()
            g = self.desk.geometry(w)
            check((g["x"], g["y"], g["w"], g["h"]) == (0, 0, 1920, 1080), f"geometry {g}")
            state = self.desk.prop(w, "_NET_WM_STATE")
            for s in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                      "_NET_WM_STATE_ABOVE"):
                check(s in state, f"{s} missing: {state.strip()}")
            hints = self.desk.prop(w, "WM_HINTS")
            check("input focus: False" in hints, f"the overlay takes the focus: {hints.strip()}")
            ids = self.desk.stacking()
            check(ids.index(int(w)) > ids.index(int(self.desk.beneath)),
                  "the overlay is not above the window beneath")
            check(key_pixels(self.desk.screenshot()) == 0, "key colour visible on the screen")
        finally:
            p.stop()

    def t_no_key_while_walking(self):
        pets = [datafile.pet(100 + (i % 10) * 170, 150 + (i // 10) * 170, speed=30)
                for i in range(50)]
        d, p = self.started_and_running(pets)
        try:
            shots = [self.desk.screenshot() for _ in range(30)]
            bad = [i for i, shot in enumerate(shots) if key_pixels(shot)]
            check(not bad, f"key colour on {len(bad)} of {len(shots)} screenshots")
            moved = diff_mask(shots[0], shots[-1]).getbbox()
            check(moved is not None, "the pets did not move")
        finally:
            p.stop()

    def t_click_through(self):
        d, p = self.started_and_running([datafile.pet(1700, 900, speed=1)])
        try:
            before = self.desk.xev_presses()
            self.desk.click(600, 500)
            self.desk.wait_for(lambda: self.desk.xev_presses() > before,
                               "the window beneath to log the press", 3)
        finally:
            p.stop()

    def t_drag(self):
        pet = datafile.pet(800, 500, speed=1)
        d, p = self.started_and_running([pet])
        self.desk.click(300, 900)  # the window beneath has the focus
        focus = self.desk.focus()
        box = self.shown_near(pet)
        grab = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        drop = (1200, 750)
        self.desk.drag(*grab, *drop)
        time.sleep(0.1)
        check(self.desk.focus() == focus, "a press on a pet took the keyboard focus")
        saved = self.quit_and_read(p, d)
        # The pet was held at the point where the cursor let go of it, give or
        # take the steps of its walk since.
        self.check_let_go_at(saved[0], drop, pet["speed"])

    def t_cursor_travel(self):
        # The program asks for the pointer only after the server tells of a
        # move; a zigzag of a pointer device (relative moves, as a mouse
        # makes) over the window beneath, a step every few ticks, must add up
        # as if it were asked at every tick. Sampled less often, the steps
        # would cancel out.
        self.desk.xdo("mousemove", 0, 0)
        # A growth step folds the meter into the pet's mouse level and starts
        # it again; with the shortest period that happens at every minute of
        # the clock, which the check may straddle. An hour a step: none.
        d, p = self.started_and_running([datafile.pet(900, 600, speed=1, period=4)])
        accum, bumps, last = 0, 0, (0, 0)
        for i in range(40):
            self.desk.xdo("mousemove_relative", "--", 60 if i % 2 == 0 else -60, 0)
            loc = dict(kv.split(":") for kv in self.desk.run(
                ["xdotool", "getmouselocation"]).split()[:2])
            at = (int(loc["x"]), int(loc["y"]))
            accum += abs(at[0] - last[0]) + abs(at[1] - last[1])
            if accum >= 1000:
                bumps, accum = bumps + 1, 0
            last = at
            time.sleep(0.07)
        time.sleep(0.1)
        saved = self.quit_and_read(p, d)
        check(bumps >= 2, f"the pointer hardly moved: {bumps} thousands")
        check(saved[0]["mouseTravel"] == bumps,
              f"travel meter {saved[0]['mouseTravel']}, the pointer went {bumps} thousand pixels")

    def t_sleeps(self):
        # Pets at speed 5 step 5 times a second; the ticks between change
        # nothing, and the program sleeps through them and runs them late.
        self.desk.xdo("mousemove", 0, 0)
        pets = [datafile.pet(300 + 150 * i, 400, speed=5) for i in range(6)]
        d = self.workdir(pets)
        p = self.program(d, env=dict(self.desk.env, DESKPET_STATS="1"))
        p.window()
        time.sleep(SPLASH_SECONDS + 4)
        saved = self.quit_and_read(p, d)
        m = re.search(r"rate ([\d.]+) wakes/s ([\d.]+) frameRate (\d+)", p.output())
        check(m, f"no figures from DESKPET_STATS: {p.output()}")
        rate, wakes, frame_rate = float(m[1]), float(m[2]), int(m[3])
        check(55 <= rate <= 66 and 55 <= frame_rate <= 66,
              f"{rate} ticks a second, frameRate {frame_rate}")
        check(wakes < rate / 3, f"woke for {wakes} ticks a second of {rate}")
        moved = sum((s["posX"], s["posY"]) != (q["posX"], q["posY"]) for s, q in zip(saved, pets))
        check(moved == len(pets), f"only {moved} of {len(pets)} pets walked")

    def open_slot_list(self, p):
        self.click_icon(p, 1)
        self.panel_check(p, "slotList", None)

    def rate_told(self, p, d):
        p.signal(signal.SIGTERM)
        check(p.wait_exit() == 0, "the program did not end on SIGTERM")
        m = re.search(r"rate ([\d.]+)", p.output())
        check(m, f"no figures from DESKPET_STATS: {p.output()}")
        return float(m[1])

    def give_splash_keyboard(self, p):
        # The splash takes the keyboard as it appears: no click needed.
        time.sleep(1.0)

    def t_signal(self, sig):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=3)])
        saved = self.quit_and_read(p, d, sig)
        check(len(saved) == 1 and saved[0]["growthPeriod"] == 1, f"saved pets {saved}")

    def t_focus_handed_back(self):
        beneath = str(self.desk.beneath)
        self.desk.xdo("windowactivate", "--sync", beneath)
        p = self.start(self.workdir([datafile.pet(900, 500, speed=1)]))
        try:
            def overlay_focused():
                return any(self.desk.focus() == w and p.is_overlay(self.desk.geometry(w))
                           for w in self.desk.windows_of(p.pid))
            self.desk.wait_for(overlay_focused, "the splash to take the keyboard", 3)
            self.desk.wait_for(lambda: self.desk.focus() == beneath,
                               "the keyboard back in the window beneath after the splash", 6)
            rect = twips_rect(self.probe["slotList"][0])
            self.click_icon(p, 1)
            self.desk.wait_for(overlay_focused, "the slot list to take the keyboard", 3)
            self.desk.click(*child_centre(rect, 3360, 5520, 1095, 375))  # OK
            self.desk.wait_for(lambda: self.desk.focus() == beneath,
                               "the keyboard back in the window beneath after OK", 3)
            # From the list to a pet's settings the keyboard stays with the
            # program, though for a tick no panel shows.
            self.click_icon(p, 1)
            self.desk.wait_for(overlay_focused, "the slot list to take the keyboard again", 3)
            self.desk.click(*child_centre(rect, 300, 600, 3000, 800))  # the first row
            self.desk.click(*child_centre(rect, 240, 5520, 1095, 375))  # settings
            settings = twips_rect({x["name"]: x for x in self.probe["afterWelcome"]}["Picture1"])
            self.desk.wait_for(lambda: self.desk.panel_shown(settings), "the settings panel", 3)
            time.sleep(0.5)
            check(overlay_focused(), "the settings panel has not got the keyboard")
            self.desk.xdo("key", "Escape")
            rc = p.wait_exit(3)
            check(rc == 0, f"Escape: the program ended with {rc}")
        finally:
            p.stop()

    def t_window_manager_close(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        try:
            self.click_icon(p, 1)
            time.sleep(0.5)
            # openbox's Alt+F4 closes the window that has the keyboard.
            super(QtSuite, self).quit_and_read(p, d, lambda: self.desk.xdo("key", "alt+F4"),
                                              "Alt+F4")
        finally:
            p.stop()

    def t_escape_welcome(self):
        d = self.workdir()
        p = self.start(d)
        try:
            rect = self.welcome_rect()
            self.desk.wait_for(lambda: self.desk.panel_shown(rect), "the welcome panel", 5)
            time.sleep(0.2)
            self.desk.xdo("key", "Escape")
            rc = p.wait_exit(3)
            check(rc == 0, f"Escape: the program ended with {rc}")
            check(not os.path.exists(os.path.join(d, DATA)), "a data file with no pets written")
        finally:
            p.stop()
        # The next start is a first run again: the welcome, then the first pet.
        p = self.start(d)
        try:
            self.desk.wait_for(lambda: self.desk.panel_shown(rect), "the welcome panel again", 5)
        finally:
            p.stop()

    def t_display_gone(self):
        # A display of its own, ended under the running program.
        r, w = os.pipe()
        x = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24",
                              "-noreset", "-s", "0", "-nolisten", "tcp"], pass_fds=(w,),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            check(chunk, "the display did not start")
            number += chunk
        os.close(r)
        env = dict(self.desk.env, DISPLAY=":" + number.decode().strip())
        self.desk.wait_for(lambda: subprocess.run(["xdpyinfo"], env=env, capture_output=True)
                           .returncode == 0, "the display", 5)
        d = self.workdir([datafile.pet(300, 300, speed=5)])
        path = os.path.join(d, DATA)
        p = self.program(d, env=env)
        try:
            clear_of_minute_save(SPLASH_SECONDS + 8)
            # The first running tick saves; the next save is the one at the end.
            time.sleep(SPLASH_SECONDS + 1.5)
            check(p.proc.poll() is None, f"the program ended early: {p.output()}")
            before = inode(path)
            x.terminate()
            x.wait(5)
            rc = p.wait_exit(5)
            check(rc is not None, "the program did not end")
            check(inode(path) != before, f"not saved as the display went: {p.output()!r}")
            saved = datafile.parse_data(open(path, "rb").read())
            check(len(saved) == 1, f"saved pets {saved}")
        finally:
            p.stop()
            x.kill()
            x.wait()

    def t_second_instance(self):
        d, first = self.started_and_running([datafile.pet(900, 500, speed=1)])
        path = os.path.join(d, DATA)
        clear_of_minute_save(25)
        before = file_state(path)
        try:
            # Started again (as from the menu): the first opens its slot list,
            # the second ends at once without a window.
            rect = twips_rect(self.probe["slotList"][0])
            for args, panel in (([], "slotList"), (["--show-info"], "info")):
                second = self.program(d, args=["--data-dir", d] + args)
                rc = second.wait_exit(5)
                check(rc == 0, f"the second start {args} ended with {rc}: {second.output()}")
                self.panel_check(first, panel, None)
                second.stop()
                if panel == "slotList":
                    self.desk.click(*child_centre(rect, 3360, 5520, 1095, 375))  # OK
                    self.desk.wait_for(lambda: not self.desk.panel_shown(rect), "the list to go", 3)
            check(file_state(path) == before, "the data file was touched")
            # --quit: the first saves and ends.
            second = self.program(d, args=["--data-dir", d, "--quit"])
            check(second.wait_exit(5) == 0, f"--quit ended with {second.output()}")
            check(first.wait_exit(5) == 0, "the first did not end on --quit")
            check(inode(path) != before[1], "the first did not save on --quit")
            second.stop()
        finally:
            first.stop()

    def t_second_instance_unreachable(self):
        # The folder's lock held by a program that does not answer (a
        # stand-in here): the second start says so and ends within seconds.
        d = self.workdir([datafile.pet(900, 500, speed=1)])
        path = os.path.join(d, DATA)
        before = file_state(path)
        fd = os.open(os.path.join(d, ".deskpet.lock"), os.O_RDWR | os.O_CREAT, 0o600)
        fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack("hhqqi", fcntl.F_WRLCK, 0, 0, 1, 0))
        try:
            t = time.monotonic()
            second = self.program(d)
            rc = second.wait_exit(10)
            check(rc is not None and rc != 0, f"the second start ended with {rc}")
            check(time.monotonic() - t < 8, f"it took {time.monotonic() - t:.1f} s to end")
            check("cannot be asked" in second.output(), f"stderr: {second.output()!r}")
            check(file_state(path) == before, "the data file was touched")
            second.stop()
        finally:
            os.close(fd)

    # -- first run
    def welcome_rect(self):
        panels = {x["name"]: x for x in self.probe["welcome"]}
        if "Picture2" not in panels:
            raise Failure(f"the core shows no welcome panel on a first run: {self.probe['welcome']}")
        return twips_rect(panels["Picture2"])

    def t_welcome(self):
        d = self.workdir()
        p = self.start(d)
        try:
            rect = self.welcome_rect()
            shot = self.desk.wait_for(lambda: self.desk.panel_shown(rect), "the welcome panel", 5)
            check(key_pixels(shot) == 0, "key colour visible (a fringe around text?)")
            # The labels print dark glyphs on the green.
            label = (rect[0] + 9, rect[1] + 9, rect[0] + 300, rect[1] + 25)
            dark = sum(1 for q in shot.crop(label).getdata() if max(q) < 100)
            check(dark > 50, f"no text in the top label ({dark} dark pixels)")
            save_shot(shot, SHOTS, "welcome.png", around(rect))
            # OK (Command5) closes it.
            ok = self.button_centre("Command5", rect)
            self.desk.click(*ok)
            self.desk.wait_for(lambda: not self.desk.panel_shown(rect),
                               "the welcome panel to go", 3)
        finally:
            p.stop()

    def button_centre(self, name, parent_rect):
        from_table = {"Command5": (4560, 5280, 1095, 255), "Command1": (3120, 2280, 1215, 375),
                      "HScroll1": (120, 1200, 4215, 255), "HScroll2": (120, 1920, 4215, 255)}
        return child_centre(parent_rect, *from_table[name])

    def new_pet_panel(self, p):
        rect = self.welcome_rect()
        self.desk.wait_for(lambda: self.desk.panel_shown(rect), "the welcome panel", 5)
        self.desk.click(*self.button_centre("Command5", rect))
        panels = {x["name"]: x for x in self.probe["afterWelcome"]}
        name = "Picture1" if "Picture1" in panels else next(iter(panels))
        nrect = twips_rect(panels[name])
        shot = self.desk.wait_for(lambda: self.desk.panel_shown(nrect),
                                  f"the new-pet panel {name}", 5)
        return nrect, shot

    def t_new_pet_panel(self):
        d = self.workdir()
        p = self.start(d)
        try:
            rect, shot = self.new_pet_panel(p)
            check(key_pixels(shot) == 0, "key colour visible")
            save_shot(shot, SHOTS, "new-pet.png", around(rect))
        finally:
            p.stop()

    def t_first_pet(self):
        d = self.workdir()
        p = self.start(d)
        rect, _ = self.new_pet_panel(p)
        # The bars start at speed 5 of 1..30 and zoom 300 of 100..500: the
        # right arrow of the first adds 1, a click on the second's track to
        # the right of its thumb adds 50.
        x, y = self.button_centre("HScroll1", rect)
        self.desk.click(x + 281 // 2 - 6, y)
        x, y = self.button_centre("HScroll2", rect)
        self.desk.click(x + 281 // 2 - 30, y)
        time.sleep(0.2)
        self.desk.click(*self.button_centre("Command1", rect))
        time.sleep(1.0)
        shot = self.desk.screenshot()
        mask = self.desk.changes(shot)
        mask.paste(0, (1920 - 300, 0, 1920, 40))
        check(count_white(mask) >= 150, "no pet on the desktop")
        saved = self.quit_and_read(p, d)
        check(len(saved) == 1, f"saved pets {saved}")
        # The Japanese short date (this suite's locale has none of its own).
        check(saved[0]["createdOn"] in recent_dates(),
              f"created on {saved[0]['createdOn']!r}")
        check((saved[0]["speed"], saved[0]["zoom"]) == (6, 350),
              f"speed and zoom saved as {saved[0]['speed']}, {saved[0]['zoom']}")

    # -- under a compositor
    def start_compositor(self):
        """xcompmgr, and the desktop as it paints it (no program yet)."""
        cm = self.desk.start(["xcompmgr"])
        time.sleep(1.0)
        return cm, self.desk.screenshot()

    def overlay_of_depth(self, p, depth, timeout=3):
        """The overlay once it is a window of `depth` bits: 32 translucent, 24 shaped."""
        def find():
            for w in self.desk.windows_of(p.pid):
                if not p.is_overlay(self.desk.geometry(w)):
                    continue
                info = self.desk.run(["xwininfo", "-id", str(w)])
                if f"Depth: {depth}" in info:
                    return w
            return None
        return self.desk.wait_for(find, f"a {depth}-bit overlay", timeout)

    def overlay_works(self, p, w, pets, background, drop):
        """The overlay `w` shows exactly the pets, lets a click on an empty spot
        through, stays out of the taskbar and the focus, and drags pets[0] to `drop`."""
        state = self.desk.prop(w, "_NET_WM_STATE")
        for s in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE"):
            check(s in state, f"{s} missing: {state.strip()}")
        check("input focus: False" in self.desk.prop(w, "WM_HINTS"), "the overlay takes the focus")
        time.sleep(0.3)  # the new window's first paint
        shot = self.desk.screenshot()
        check(key_pixels(shot) == 0, "key colour visible on the screen")
        mask = diff_mask(shot, background)
        near = pet_box(pets[0], 40)
        grab = mask.crop(near).getbbox()
        check(grab is not None, f"nothing shown near {near}")
        grab = (near[0] + (grab[0] + grab[2]) // 2, near[1] + (grab[1] + grab[3]) // 2)
        for pet in pets:
            box = pet_box(pet, 40)
            n = count_white(mask, box)
            check(n >= 150, f"pet near {pet['posX']},{pet['posY']}: {n} pixels shown")
            mask.paste(0, box)
        mask.paste(0, (1920 - 300, 0, 1920, 40))  # the tray
        stray = mask.getbbox()
        check(stray is None, f"something shown away from the pets at {stray} (black see-through?)")
        before = self.desk.xev_presses()
        self.desk.click(600, 900)
        self.desk.wait_for(lambda: self.desk.xev_presses() > before,
                           "the window beneath to log the press", 3)
        focus = self.desk.focus()
        self.desk.drag(*grab, *drop)
        time.sleep(0.3)
        check(self.desk.focus() == focus, "a press on a pet took the keyboard focus")
        pets[0] = dict(pets[0], posX=drop[0] - 12, posY=drop[1] - 16)
        n = count_white(diff_mask(self.desk.screenshot(), background), pet_box(pets[0], 40))
        check(n >= 150, f"the dragged pet is not at {drop}: {n} pixels there")

    def check_saved_at(self, p, d, drop):
        saved = self.quit_and_read(p, d)
        self.check_let_go_at(saved[0], drop, 1)

    def t_compositor_quits(self):
        pets = [datafile.pet(800, 500, speed=1), datafile.pet(1400, 300, speed=1)]
        cm, background = self.start_compositor()
        p = None
        try:
            d, p = self.started_and_running(pets)
            w = self.overlay_of_depth(p, 32)
            self.overlay_works(p, w, pets, background, (1200, 750))
            self.desk.stop(cm)
            w = self.overlay_of_depth(p, 24)
            self.overlay_works(p, w, pets, self.desk.background, (400, 300))
            self.check_saved_at(p, d, (400, 300))
        finally:
            self.desk.stop(cm)
            if p:
                p.stop()

    def t_compositor_panels(self):
        cm, _ = self.start_compositor()
        p = None
        try:
            d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
            self.overlay_of_depth(p, 32)
            self.click_icon(p, 1)
            rect = twips_rect(self.probe["slotList"][0])
            # The list's picture is the program's own pixels, which carry no
            # alpha: they must still show opaque.
            shot = self.desk.wait_for(lambda: self.desk.panel_shown(rect),
                                      "the slot list, light green", 5)
            title = shot.crop((rect[0] + 11, rect[1] + 11, rect[0] + 160, rect[1] + 35))
            dark = sum(1 for q in title.getdata() if max(q) < 100)
            check(dark > 50, f"no title in the slot list ({dark} dark pixels)")
        finally:
            self.desk.stop(cm)
            if p:
                p.stop()

    def t_compositor_arrives(self):
        pets = [datafile.pet(800, 500, speed=1), datafile.pet(1400, 300, speed=1)]
        cm, background = self.start_compositor()
        self.desk.stop(cm)
        d, p = self.started_and_running(pets)
        try:
            self.overlay_of_depth(p, 24)
            cm, _ = self.start_compositor()
            w = self.overlay_of_depth(p, 32)
            self.overlay_works(p, w, pets, background, (1200, 750))
            self.check_saved_at(p, d, (1200, 750))
        finally:
            self.desk.stop(cm)
            p.stop()

    # -- tray
    def tray_icon(self, p, timeout=10):
        def inside():
            # The tray grows as it takes the icon in.
            tray = self.desk.geometry(self.desk.tray_window())
            for w, g in p.small_windows():
                if (tray["x"] <= g["x"] < tray["x"] + tray["w"] and
                        tray["y"] <= g["y"] < tray["y"] + tray["h"]):
                    return w, g
            return None
        return self.desk.wait_for(inside, "the tray icon", timeout)

    def t_tray_icon(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        try:
            _, g = self.tray_icon(p)
            shot = self.desk.screenshot()
            icon = shot.crop((g["x"], g["y"], g["x"] + g["w"], g["y"] + g["h"]))
            grey = sum(1 for q in icon.getdata() if q == (128, 128, 128))
            check(grey < g["w"] * g["h"] * 0.9, "the tray icon shows no picture")
        finally:
            p.stop()

    def click_icon(self, p, button):
        _, g = self.tray_icon(p)
        self.desk.click(g["x"] + g["w"] // 2, g["y"] + g["h"] // 2, button)

    def menu_choose(self, p, keys):
        before = {w for w, _ in p.small_windows()}
        # A tray icon that has just docked may miss its first click (seen once
        # in a busy run right after another program's icon left): click again.
        for attempt in range(2):
            self.click_icon(p, 3)
            try:
                self.desk.wait_for(lambda: {w for w, _ in p.small_windows()} - before,
                                   "the tray menu", 4)
                break
            except Failure:
                if attempt:
                    raise
        time.sleep(0.2)
        for k in keys:
            self.desk.xdo("key", k)
            time.sleep(0.1)

    def panel_check(self, p, key, shotname):
        panel = self.probe[key][0]
        rect = twips_rect(panel)
        shot = self.desk.wait_for(lambda: self.desk.panel_shown(rect, green=False),
                                  f"the panel {panel['name']}", 5)
        check(key_pixels(shot) == 0, "key colour visible")
        save_shot(shot, SHOTS, shotname, around(rect))

    def t_tray_slot_list(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        try:
            self.click_icon(p, 1)
            self.panel_check(p, "slotList", "slot-list.png")
        finally:
            p.stop()

    def t_slot_list_wheel(self):
        pets = [datafile.pet(200 + 150 * i, 300, speed=1, species=i + 1) for i in range(8)]
        d, p = self.started_and_running(pets)
        try:
            self.click_icon(p, 1)
            self.panel_check(p, "slotList", None)
            rect = twips_rect(self.probe["slotList"][0])
            rows = (rect[0] + 2, rect[1] + 40, rect[0] + 260, rect[3] - 60)
            # VScroll1's thumb shows where the list stands (the rows change as
            # the pets walk).
            x, y = child_centre(rect, 4200, 600, 255, 4695)
            bar = (x - 8, y - 150, x + 8, y + 150)

            def thumb():
                return self.desk.screenshot().crop(bar).tobytes()
            top = thumb()
            self.desk.xdo("mousemove", (rows[0] + rows[2]) // 2, (rows[1] + rows[3]) // 2)
            time.sleep(0.1)
            self.desk.xdo("click", 5)  # a notch down
            self.desk.wait_for(lambda: thumb() != top, "the list to scroll down", 3)
            self.desk.xdo("click", 4)  # and back up
            self.desk.wait_for(lambda: thumb() == top, "the list to scroll back", 3)
        finally:
            p.stop()

    def t_tray_info(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        try:
            self.menu_choose(p, ["Down", "Down", "Return"])
            self.panel_check(p, "info", "information.png")
        finally:
            p.stop()

    def t_tray_quit(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        try:
            before = inode(os.path.join(d, DATA))
            self.menu_choose(p, ["Up", "Return"])
            rc = p.wait_exit(5)
            check(rc == 0, f"the program ended with {rc}")
            check(inode(os.path.join(d, DATA)) != before, "nothing saved")
            datafile.parse_data(open(os.path.join(d, DATA), "rb").read())
        finally:
            p.stop()

    def t_tray_after_panels(self):
        pet = datafile.pet(900, 500, speed=1)
        d, p = self.started_and_running([pet])
        try:
            rect = twips_rect(self.probe["slotList"][0])
            for n in range(3):
                self.click_icon(p, 1)
                self.panel_check(p, "slotList", None)
                self.desk.click(*child_centre(rect, 3360, 5520, 1095, 375))  # OK
                self.desk.wait_for(lambda: not self.desk.panel_shown(rect, green=False),
                                   f"the slot list to close, time {n + 1}", 5)
                time.sleep(0.3)
            box = self.shown_near(pet)
            self.desk.xdo("mousemove", (box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            time.sleep(0.1)
            self.desk.xdo("click", "--repeat", 2, "--delay", 80, 1)
            self.panel_check(p, "slotList", None)
        finally:
            p.stop()

    def t_damaged_file_told(self):
        for tray in (False, True):
            self.damaged_file_told(tray)

    def damaged_file_told(self, tray):
        """The notice: a message from the tray icon, or without a tray a small
        window of its own."""
        if not tray:
            self.desk.stop_tray()

        def notice(p):
            icon = self.tray_icon(p)[0] if tray else None
            for w in self.desk.windows_of(p.pid):
                g = self.desk.geometry(w)
                if g.get("mapped") and w != icon and not p.is_overlay(g) and g.get("w", 0) > 100:
                    return g
            return None
        try:
            self.check_damaged_file_told(notice)
        finally:
            if not tray:
                self.desk.start_tray()

    def t_data_folder(self):
        home = tempfile.mkdtemp(dir=self.tmp, prefix="home-")
        elsewhere = [tempfile.mkdtemp(dir=self.tmp, prefix="cwd-") for _ in range(2)]
        env = dict(self.desk.env, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"))
        folder = os.path.join(home, "data", "deskpet")
        first = self.program(elsewhere[0], args=[], env=env)
        try:
            first.window()
            # A start from another folder finds the first instance, hands it
            # its request and ends.
            second = self.program(elsewhere[1], args=[], env=env)
            try:
                rc = second.wait_exit(10)
                check(rc == 0 and not second.small_windows(),
                      f"the second instance ended with {rc}: {second.output()!r}")
            finally:
                second.stop()
            welcome = self.welcome_rect()
            self.desk.wait_for(lambda: self.desk.panel_shown(welcome), "the first-run welcome", 5)
            first.signal(signal.SIGTERM)
            check(first.wait_exit() == 0, "the program did not end on SIGTERM")
        finally:
            first.stop()
        # Ended on the welcome, before a first pet: the lock, and no data file.
        check(sorted(os.listdir(folder)) == [".deskpet.lock"], f"{os.listdir(folder)}")
        for d in elsewhere:
            check(os.listdir(d) == [], f"files written where it started: {os.listdir(d)}")

    def t_data_folder_unusable(self):
        d = self.workdir()
        blocker = os.path.join(d, "a-file")
        open(blocker, "w").close()
        p = self.program(d, args=["--data-dir", os.path.join(blocker, "pets")])
        try:
            p.window()
            self.desk.wait_for(lambda: "データフォルダ" in p.output(), "the problem told", 5)
            icon = self.tray_icon(p)[0]
            self.desk.wait_for(
                lambda: any(g.get("mapped") and w != icon and not p.is_overlay(g) and
                            g.get("w", 0) > 100
                            for w, g in ((w, self.desk.geometry(w))
                                         for w in self.desk.windows_of(p.pid))),
                "the tray's message", 10)
            time.sleep(1)
            check(p.proc.poll() is None, "the program ended")
            p.signal(signal.SIGTERM)
            check(p.wait_exit() == 0, "the program did not end on SIGTERM")
            check("そのまま" not in p.output(), f"a false message: {p.output()!r}")
        finally:
            p.stop()
        check(os.listdir(d) == ["a-file"], f"files written elsewhere: {os.listdir(d)}")

    def t_tray_hide(self):
        pet = datafile.pet(900, 500, speed=1)
        d, p = self.started_and_running([pet])
        try:
            box = self.shown_near(pet)
            middle = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            w = p.window()
            if SHOTS:  # the menu, for the README
                self.menu_choose(p, ["Up", "Up", "Up", "Up"])
                time.sleep(0.3)
                for m, g in p.small_windows():
                    if g["h"] > 60:
                        save_shot(self.desk.window_shot(m), SHOTS, "tray-menu.png")
                self.desk.xdo("key", "Escape")
                time.sleep(0.3)
            self.menu_choose(p, ["Up", "Up", "Up", "Up", "Return"])  # ペットを隠す
            self.desk.wait_for(lambda: self.desk.shown_box(w) is None, "the pets to go", 3)
            before = self.desk.xev_presses()
            self.desk.click(*middle)
            self.desk.wait_for(lambda: self.desk.xev_presses() > before,
                               "a click where the pet was to reach the window beneath", 3)
            # Panels still open while the pets are hidden.
            self.click_icon(p, 1)
            self.panel_check(p, "slotList", None)
            rect = twips_rect(self.probe["slotList"][0])
            self.desk.click(*child_centre(rect, 3360, 5520, 1095, 375))  # OK
            self.desk.wait_for(lambda: self.desk.shown_box(w) is None, "the panel to go", 3)
            self.menu_choose(p, ["Up", "Up", "Up", "Up", "Return"])  # ペットを表示

            def pet_back():
                b = self.desk.shown_box(w)
                near = pet_box(pet, 60)
                return b and b[0] >= near[0] and b[1] >= near[1] and b[2] <= near[2] and \
                    b[3] <= near[3]
            self.desk.wait_for(pet_back, "the pet to come back", 3)
        finally:
            p.stop()

    def t_full_screen(self):
        pet = datafile.pet(900, 500, speed=1)
        d, p = self.started_and_running([pet])
        beneath = str(self.desk.beneath)
        w = p.window()

        def wm(*args):
            subprocess.run(["wmctrl", "-i", "-r", beneath] + list(args), env=self.desk.env,
                           check=True, timeout=10)

        def pet_shown():
            b = self.desk.shown_box(w)
            return b is not None and b[0] < pet["posX"] + 80 and b[2] > pet["posX"] - 60
        try:
            subprocess.run(["wmctrl", "-i", "-a", beneath], env=self.desk.env, check=True)
            box = self.shown_near(pet)
            middle = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            wm("-b", "add,maximized_vert,maximized_horz")
            time.sleep(1.5)
            check(pet_shown(), "the pets hid for a maximised window")
            wm("-b", "remove,maximized_vert,maximized_horz")
            wm("-b", "add,fullscreen")
            self.desk.wait_for(lambda: not pet_shown(), "the pets to step aside", 3)
            before = self.desk.xev_presses()
            self.desk.click(*middle)
            self.desk.wait_for(lambda: self.desk.xev_presses() > before,
                               "the full-screen window to get the click", 3)
            wm("-b", "remove,fullscreen")
            self.desk.wait_for(pet_shown, "the pets to come back", 3)
            check(p.proc.poll() is None, "the program ended")
        finally:
            p.stop()
            subprocess.run(["wmctrl", "-i", "-r", beneath, "-b", "remove,fullscreen"],
                           env=self.desk.env, timeout=10)

    def t_screen_change(self):
        desk = DummyXorgDesktop(tempfile.mkdtemp(dir=self.tmp, prefix="xorg-"))
        try:
            def quit_and_read(p, d):
                return Suite.quit_and_read(self, p, d, lambda: p.signal(signal.SIGTERM), "SIGTERM")
            self.check_screen_change(
                desk, lambda d: Program(desk, [self.binary, "--data-dir", d], d), quit_and_read)
        finally:
            desk.close()

    def t_every_monitor(self):
        desk = DummyXorgDesktop(tempfile.mkdtemp(dir=self.tmp, prefix="xorg-"))
        try:
            def quit_and_read(p, d):
                return Suite.quit_and_read(self, p, d, lambda: p.signal(signal.SIGTERM), "SIGTERM")
            self.check_every_monitor(
                desk, lambda d: Program(desk, [self.binary, "--data-dir", d], d), quit_and_read)
        finally:
            desk.close()

    def t_tray_every_monitor(self):
        d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
        path = os.path.join(d, "deskpet-settings.ini")

        def setting():
            return open(path).read() if os.path.exists(path) else ""
        try:
            self.menu_choose(p, ["Up", "Up", "Up", "Return"])  # すべての画面で遊ぶ
            self.desk.wait_for(lambda: "every-monitor=1" in setting(), "the choice kept", 3)
            self.menu_choose(p, ["Up", "Up", "Up", "Return"])
            self.desk.wait_for(lambda: "every-monitor=0" in setting(), "the choice undone", 3)
            check(p.proc.poll() is None, "the program ended")
        finally:
            p.stop()

    def t_high_dpi(self, dpi, scale):
        desk = HighDpiDesktop(tempfile.mkdtemp(dir=self.tmp, prefix="hidpi-"), dpi)
        try:
            self.check_high_dpi(desk, scale)
        finally:
            desk.close()

    def check_high_dpi(self, desk, scale):
        """On a 3840x2160 screen scaled `scale` times: the core's 1920x1080 (or
        3840x2160) pixels, each a square of scale x scale screen pixels."""
        pet = datafile.pet(400, 300, speed=1)
        d = self.workdir([pet])
        p = Program(desk, [self.binary, "--data-dir", d], d)
        try:
            desk.wait_for(lambda: any(desk.screen_width(desk.geometry(w)) == 3840 and
                                      desk.geometry(w).get("mapped")
                                      for w in desk.windows_of(p.pid)), "the overlay", 15)
            time.sleep(SPLASH_SECONDS)
            shot = desk.screenshot()
            near = tuple(v * scale for v in pet_box(pet, 40))
            crop = shot.crop(near)
            bbox = desk.changes(shot).crop(near).getbbox()
            check(bbox is not None, "no pet near where the file put it")
            w, h = bbox[2] - bbox[0], bbox[3] - bbox[1]
            check(14 * scale <= w <= 24 * scale and 14 * scale <= h <= 32 * scale,
                  f"the pet is {w}x{h} on screen at scale {scale}")
            if scale > 1:  # nearest neighbour: whole squares of one colour
                px = crop.load()
                ox, oy = (near[0] % scale), (near[1] % scale)
                blurred = sum(1 for y in range(bbox[1] - oy, bbox[3], scale)
                              for x in range(bbox[0] - ox, bbox[2], scale)
                              if len({px[x + i, y + j] for i in range(scale)
                                      for j in range(scale)}) > 1)
                check(blurred == 0, f"{blurred} blurred squares in the pet")
            # A see-through pixel just beside the pet takes no click (the pet
            # may have stepped since the screenshot: then it is tried again,
            # on its other side, which a pet walking one way never covers).
            for attempt in range(4):
                b = desk.changes(desk.screenshot()).crop(near).getbbox()
                x0, y0 = near[0] + b[0], near[1] + b[1]
                before = desk.xev_presses()
                beside = x0 - 2 if attempt % 2 == 0 else near[0] + b[2] + 1
                desk.click(beside, y0 + (b[3] - b[1]) // 2)
                try:
                    desk.wait_for(lambda: desk.xev_presses() > before, "", 1)
                    break
                except Failure:
                    continue
            else:
                check(False, "no click beside the pet reached the window beneath")
            # Dragged, the pet lands where the cursor let go, in core pixels;
            # grabbed where it shows now (it may have stepped since).
            b = desk.changes(desk.screenshot()).crop(near).getbbox()
            check(b is not None, "the pet went away")
            x0, y0, w, h = near[0] + b[0], near[1] + b[1], b[2] - b[0], b[3] - b[1]
            grab = (x0 + w // 2, y0 + h // 2)
            drop = (2400, 1500)
            desk.drag(*grab, *drop)
            time.sleep(0.3)
            # A double-click on the pet opens the slot list (no tray here),
            # twice as large as the layout says.
            cx, cy = drop
            # Painted there by the next present; a busy machine may take a moment.
            pb = desk.wait_for(
                lambda: desk.changes(desk.screenshot()).crop(
                    (cx - 80, cy - 80, cx + 80, cy + 80)).getbbox(),
                "the dropped pet to show", 5)
            desk.xdo("mousemove", cx - 80 + (pb[0] + pb[2]) // 2, cy - 80 + (pb[1] + pb[3]) // 2)
            time.sleep(0.1)
            desk.xdo("click", "--repeat", 2, "--delay", 80, 1)
            # The layout's place is centred on 1920x1080; the program centres
            # on its own screen, 3840x2160 device pixels over the scale.
            dx, dy = (3840 // scale - 1920) // 2, (2160 // scale - 1080) // 2
            x0, y0, x1, y1 = twips_rect(self.probe["slotList"][0])
            rect = ((x0 + dx) * scale, (y0 + dy) * scale, (x1 + dx) * scale, (y1 + dy) * scale)
            shot = desk.wait_for(lambda: desk.panel_shown(rect, green=False), "the slot list", 5)
            if scale == 2:  # the slot list and the pet beside it, for the README
                save_shot(shot, SHOTS, "hidpi-2x.png",
                          (rect[0] - 40, rect[1] - 40, drop[0] + 120, rect[3] + 40))
            area = shot.crop(around(rect, 20))
            cols = [i % area.width for i, q in enumerate(area.getdata()) if q == LIGHT_GREEN]
            rows = [i // area.width for i, q in enumerate(area.getdata()) if q == LIGHT_GREEN]
            check(cols, "no light green panel")
            gw, gh = max(cols) - min(cols) + 1, max(rows) - min(rows) + 1
            pw, ph = rect[2] - rect[0], rect[3] - rect[1]
            check(abs(gw - pw) <= 2 * scale and abs(gh - ph) <= 2 * scale,
                  f"the slot list is {gw}x{gh} on screen, {pw}x{ph} expected")
            if scale > 1:
                # The first row's lines are printed at the screen's resolution:
                # finer than squares of doubled pixels.
                lines = shot.crop((rect[0] + 70 * scale, rect[1] + 45 * scale,
                                   rect[0] + 270 * scale, rect[1] + 95 * scale))
                px = lines.load()
                fine = sum(1 for y in range(0, lines.height - 1, scale)
                           for x in range(0, lines.width - 1, scale)
                           if len({px[x + i, y + j] for i in range(scale)
                                   for j in range(scale)}) > 1)
                check(fine >= 50, f"the slot list's text is doubled pixels ({fine} fine squares)")
            saved = Suite.quit_and_read(self, p, d, lambda: p.signal(signal.SIGTERM), "SIGTERM")
            got = (saved[0]["posX"], saved[0]["posY"])
            want = (drop[0] // scale, drop[1] // scale)
            walk = desk.walked_since_drop(1)
            check(want[0] - 24 - walk <= got[0] <= want[0] + walk and
                  want[1] - 32 - walk <= got[1] <= want[1] + walk,
                  f"saved place {got}, let go at {want} in the program's pixels")
        finally:
            p.stop()

    def t_tray_autostart(self):
        config = tempfile.mkdtemp(dir=self.tmp, prefix="config-")
        entry = os.path.join(config, "autostart", "deskpet.desktop")
        d = self.workdir([datafile.pet(900, 500, speed=1)])
        p = self.program(d, env=dict(self.desk.env, XDG_CONFIG_HOME=config))
        try:
            p.window()
            time.sleep(SPLASH_SECONDS)
            self.menu_choose(p, ["Up", "Up", "Return"])  # ログイン時に起動
            self.desk.wait_for(lambda: os.path.exists(entry), "the autostart entry", 3)
            text = open(entry).read()
            check(f'Exec="{self.binary}" "--data-dir" "{d}"' in text, f"entry {text}")
            out = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
            check(out.returncode == 0 and not out.stdout.strip(), f"validator: {out.stdout}")
            self.menu_choose(p, ["Up", "Up", "Return"])
            self.desk.wait_for(lambda: not os.path.exists(entry), "the entry to go", 3)
            # An entry of a program since removed shows off; ticking repairs it.
            with open(entry, "w") as f:
                f.write(text.replace(self.binary, "/nonexistent/deskpet"))
            self.menu_choose(p, ["Up", "Up", "Return"])
            self.desk.wait_for(lambda: self.binary in open(entry).read(), "the entry repaired", 3)
        finally:
            p.stop()

    def t_autostart_unusual_folder(self):
        config = tempfile.mkdtemp(dir=self.tmp, prefix="config-")
        entry = os.path.join(config, "autostart", "deskpet.desktop")
        for name, writable in (("my \"pets\" 100% $HOME `x` \\", True), ("two\nlines", False)):
            d = os.path.join(self.workdir(), name)
            os.makedirs(d)
            p = self.program(d, env=dict(self.desk.env, XDG_CONFIG_HOME=config))
            try:
                p.window()
                self.desk.wait_for(lambda: self.desk.panel_shown(self.welcome_rect()),
                                   "the welcome panel", 5)
                self.menu_choose(p, ["Up", "Up", "Return"])  # ログイン時に起動
                if writable:
                    self.desk.wait_for(lambda: os.path.exists(entry), "the autostart entry", 3)
                    out = subprocess.run(["desktop-file-validate", entry], capture_output=True,
                                         text=True)
                    check(out.returncode == 0 and not out.stdout.strip(),
                          f"validator: {out.stdout}")
                    os.remove(entry)
                else:
                    self.desk.wait_for(lambda: "改行" in p.output(), "the refusal told", 3)
                    check(not os.path.exists(entry), "an entry written")
            finally:
                p.stop()

    def t_evolution_news(self):
        d, p = self.started_and_running(evolving_pets())
        try:
            icon = self.tray_icon(p)[0]

            def messages():
                return [g for w, g in ((w, self.desk.geometry(w))
                                       for w in self.desk.windows_of(p.pid))
                        if g.get("mapped") and w != icon and not p.is_overlay(g) and
                        g.get("w", 0) > 100]
            g = self.desk.wait_for(messages, "the tray's message", 20)[0]
            self.desk.wait_for(lambda: self.desk.text_window_shown(g, 0.5), "its text", 5)
            check(len(messages()) == 1, f"more than one message: {messages()}")
            saved = self.quit_and_read(p, d)
            check([x["species"] != 0 for x in saved] == [True, False, True], f"saved {saved}")
        finally:
            p.stop()

    def t_tray_later(self):
        self.desk.stop_tray()
        try:
            d, p = self.started_and_running([datafile.pet(900, 500, speed=1)])
            try:
                check(not p.small_windows(), "a tray icon window without a tray")
                self.desk.start_tray()
                self.tray_icon(p, 8)
            finally:
                p.stop()
        finally:
            if not self.desk.tray:
                self.desk.start_tray()


if __name__ == "__main__":
    sys.exit(main(QtSuite, __doc__))
