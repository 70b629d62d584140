"""The Debian package end to end on this machine: its files (the desktop
entry and the metainfo pass their validators, the icons are pixel art at
every size), apt installs it, the program started as the menu starts it shows
the pet kept in the user's data folder on a real X desktop (Xvfb, openbox, a
tray host) and saves it there, and apt removes it and leaves the pets.

usage: deb_install.py PACKAGE.deb [CHECK NAME...]
Installs and removes the package deskpet: run as root or with sudo.
Prints one line per check and, last, "N passed, M failed"."""

import importlib.util
import os
import shlex
import shutil
import signal
import subprocess
import sys
import time

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import datafile  # noqa: E402
from xdesk import (SPLASH_SECONDS, WIDTH, Program, Suite, check, count_white, inode, main,
                   pet_box)  # noqa: E402

REPO = os.path.dirname(os.path.dirname(HERE))
SHOTS = os.environ.get("E2E_SHOTS")  # a folder to keep the screenshot in

# The desktop the desktop program's own suite uses.
_spec = importlib.util.spec_from_file_location("qt_e2e", os.path.join(HERE, "qt", "run_e2e.py"))
_qt = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_qt)

DESKTOP_FILE = "/usr/share/applications/deskpet.desktop"
METAINFO = "/usr/share/metainfo/io.github.deskpet.deskpet.metainfo.xml"
ICON_SIZES = (16, 32, 48, 128, 256)
FILES = {"/usr/bin/deskpet", DESKTOP_FILE, METAINFO} | {
    f"/usr/share/icons/hicolor/{s}x{s}/apps/deskpet.png" for s in ICON_SIZES}


def root_cmd(argv):
    return argv if os.geteuid() == 0 else ["sudo", *argv]


def apt(*args):
    # Waits for another apt to let go of the lock rather than failing.
    r = subprocess.run(root_cmd(["env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y", "-q",
                                 "-o", "DPkg::Lock::Timeout=300", *args]),
                       capture_output=True, text=True, timeout=600)
    check(r.returncode == 0, f"apt-get {' '.join(args)}: {r.returncode}\n{r.stdout}{r.stderr}")


def installed():
    r = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "deskpet"], capture_output=True,
                       text=True)
    return r.returncode == 0 and "install ok installed" in r.stdout


def blocks_of(image, k):
    """The image shrunk by k if every k x k block is one colour, else None."""
    small = image.resize((image.width // k, image.height // k), Image.NEAREST)
    return small if image.tobytes() == small.resize(image.size, Image.NEAREST).tobytes() else None


class DebSuite(Suite):
    prefix = "deskpet-deb-e2e-"

    def __init__(self, deb, only):
        self.deb = os.path.abspath(deb)
        super().__init__(only)
        self.data_dir = os.path.join(self.desk.env["HOME"], ".local", "share", "deskpet")

    def desktop(self):
        return _qt.QtDesktop(self.tmp)

    def program(self, workdir):
        # As a menu starts it: the desktop entry's command, found on PATH.
        # The main group's command, not one of the actions'.
        text = open(DESKTOP_FILE, encoding="utf-8").read().split("\n[Desktop Action")[0]
        entry = dict(line.split("=", 1) for line in text.splitlines()
                     if "=" in line and not line.startswith("#"))
        argv = shlex.split(entry["Exec"].strip())
        found = shutil.which(argv[0], path=self.desk.env.get("PATH"))
        check(found == "/usr/bin/deskpet", f"{argv[0]} on PATH is {found}, not the package's")
        return Program(self.desk, argv, workdir)

    def all(self):
        self.run("the package's files: validated desktop entry and metainfo, pixel-art icons",
                 self.t_files)
        self.run("apt installs the package", self.t_install)
        self.run("started from the menu's command in another folder: the pet of the data "
                 "folder shows, and is saved there", self.t_run)
        self.run("apt removes the package and leaves the pets", self.t_remove)

    def t_files(self):
        unpacked = os.path.join(self.tmp, "unpacked")
        subprocess.run(["dpkg-deb", "-x", self.deb, unpacked], check=True)
        got = {os.path.join(d, f)[len(unpacked):] for d, _, fs in os.walk(unpacked) for f in fs}
        check(got == FILES, f"files {sorted(got)}")
        depends = subprocess.run(["dpkg-deb", "-f", self.deb, "Depends"], capture_output=True,
                                 text=True, check=True).stdout.strip()
        print(f"# Depends: {depends}")
        for name in ("libqt6widgets6", "libqt6gui6", "libxcb-shape0", "fonts-ipafont-mincho"):
            check(name in depends, f"{name} not among the dependencies")
        for argv in (["desktop-file-validate", unpacked + DESKTOP_FILE],
                     ["appstreamcli", "validate", "--no-net", unpacked + METAINFO]):
            r = subprocess.run(argv, capture_output=True, text=True)
            out = (r.stdout + r.stderr).strip()
            print(f"# {argv[0]}: status {r.returncode}" + (f", {out}" if out else ""))
            check(r.returncode == 0, f"{' '.join(argv)}: {out}")
        assets = os.path.join(REPO, "assets")
        for size in ICON_SIZES:
            icon = Image.open(f"{unpacked}/usr/share/icons/hicolor/{size}x{size}/apps/deskpet.png")
            check(icon.size == (size, size), f"the {size} icon is {icon.size}")
            drawn = os.path.join(assets, f"icon{size}.png")
            if not os.path.exists(drawn):
                drawn = os.path.join(assets, "icon32.png")  # the one the large sizes grow from
            want = Image.open(drawn)
            k = size // want.width
            small = blocks_of(icon.convert("RGBA"), k)
            check(small is not None, f"the {size} icon is not blocks of {k} x {k} pixels")
            check(small.tobytes() == want.convert("RGBA").tobytes(),
                  f"the {size} icon is not the drawn {want.width} icon")

    def t_install(self):
        # --reinstall: an installed deskpet of the same version is replaced by this build.
        apt("install", "--reinstall", self.deb)
        check(installed(), "deskpet is not installed")
        missing = [f for f in sorted(FILES) if not os.path.exists(f)]
        check(not missing, f"missing after the install: {missing}")

    def t_run(self):
        pet = datafile.pet(900, 500, speed=1)
        os.makedirs(self.data_dir)
        path = os.path.join(self.data_dir, datafile.DATA)
        with open(path, "wb") as f:
            f.write(datafile.format_data([pet]))
        before = inode(path)
        elsewhere = self.workdir()
        p = self.start(elsewhere)
        try:
            time.sleep(SPLASH_SECONDS)
            check(p.proc.poll() is None, f"the program ended early: {p.output()}")
            shot = self.desk.screenshot()
            mask = self.desk.changes(shot)
            box = pet_box(pet, 15)
            n = count_white(mask, box)
            print(f"# near the pet's place {box}: {n} pixels differ from the bare desktop")
            check(n >= 150, f"only {n} pixels of a pet")
            # Nothing else changed (a first-run welcome would), but the tray's corner.
            mask.paste(0, box)
            mask.paste(0, (WIDTH - 300, 0, WIDTH, 40))
            check(mask.getbbox() is None, f"something shown away from the pet at {mask.getbbox()}")
            if SHOTS:
                os.makedirs(SHOTS, exist_ok=True)
                shot.save(os.path.join(SHOTS, "deb-installed.png"))
            p.signal(signal.SIGTERM)
            rc = p.wait_exit()
            check(rc == 0, f"after SIGTERM the program ended with {rc}: {p.output()}")
        finally:
            p.stop()
        check(inode(path) != before, "the data folder's file was not saved")
        saved = datafile.parse_data(open(path, "rb").read())
        check(len(saved) == 1, f"saved pets {saved}")
        check(datafile.DATA not in os.listdir(elsewhere), "a data file in the starting folder")

    def t_remove(self):
        path = os.path.join(self.data_dir, datafile.DATA)
        kept = open(path, "rb").read() if os.path.exists(path) else None
        apt("remove", "deskpet")
        check(not installed(), "deskpet is still installed")
        left = [f for f in sorted(FILES) if os.path.exists(f)]
        check(not left, f"left after the removal: {left}")
        check(kept is not None and os.path.exists(path) and open(path, "rb").read() == kept,
              "the pets' data file did not stay as it was")


if __name__ == "__main__":
    sys.exit(main(DebSuite, __doc__))
