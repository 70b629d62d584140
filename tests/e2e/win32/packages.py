"""Checks of the Windows packages (scripts/package-win32.sh) under Wine, mixed
into the Windows suite: they lie beside the program under test, as
deskpet-VERSION-portable.zip and deskpet-VERSION-setup.exe."""

import glob
import os
import subprocess
import time
import zipfile

import datafile
from xdesk import SPLASH_SECONDS, check, count_white, inode, pet_box

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\deskpet"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# What the installer puts in %LOCALAPPDATA%\Programs\deskpet; the program
# counts itself as installed by uninstall.exe beside it.
INSTALLED = ["deskpet.exe", "deskpet.ico", "readme.txt", "uninstall.exe"]
SHORTCUT = os.path.join("Microsoft", "Windows", "Start Menu", "Programs", "もこぽん (deskpet).lnk")


def beside(exe, pattern):
    found = glob.glob(os.path.join(os.path.dirname(exe), pattern))
    check(len(found) == 1, f"{pattern} beside {exe}: {found} (scripts/package-win32.sh)")
    return found[0]


class PackageChecks:
    """Needs the Windows suite's desktop, self.exe, appdata() (%APPDATA% on this
    machine) and program(workdir, exe, args)."""

    def package_checks(self):
        self.run("portable zip: the deskpet.exe built and a CR LF read-me", self.t_portable_zip)
        self.run("installer: a silent per-user install, the program keeps its pets in "
                 "%APPDATA%\\deskpet, a silent uninstall leaves them", self.t_installer)

    # ---- Wine
    def wine(self, *argv, timeout=120):
        return subprocess.run(["wine", *argv], env=self.desk.env, capture_output=True,
                              timeout=timeout)

    def reg_values(self, key):
        """The values of a registry key by name (as `reg query` prints them), or None."""
        r = self.wine("reg", "query", key, timeout=60)
        if r.returncode != 0:
            return None
        values = {}
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
        return values

    # ---- the program, started from a folder of its own
    def installed_pet_shown_and_saved(self, exe, data_dir, while_running):
        """Starts `exe` from an unrelated folder with one pet in `data_dir`:
        the pet shows, and nothing else (a first-run welcome would); then
        `while_running()`; a close saves the pet in `data_dir` and nowhere else."""
        label = "installed"
        pet = datafile.pet(900, 500, speed=1)
        os.makedirs(data_dir, exist_ok=True)
        path = os.path.join(data_dir, datafile.DATA)
        with open(path, "wb") as f:
            f.write(datafile.format_data([pet]))
        before = inode(path)
        elsewhere = self.workdir()
        p = self.program(elsewhere, exe, args=[])  # where it keeps its pets is its own choice
        try:
            p.window()
            time.sleep(SPLASH_SECONDS)
            check(p.proc.poll() is None, f"{label}: the program ended early: {p.output()}")
            mask = self.desk.changes(self.desk.screenshot())
            box = pet_box(pet, 15)
            n = count_white(mask, box)
            print(f"# {label}: {n} pixels of the pet show")
            check(n >= 150, f"{label}: only {n} pixels near the pet's place")
            mask.paste(0, box)
            check(mask.getbbox() is None, f"{label}: something shown at {mask.getbbox()}")
            while_running()
            p.close_window()
            rc = p.wait_exit()
            check(rc == 0, f"{label}: after WM_CLOSE the program ended with {rc}")
        finally:
            p.stop()
        check(inode(path) != before, f"{label}: the pets were not saved in {data_dir}")
        check(len(datafile.parse_data(open(path, "rb").read())) == 1, f"{label}: saved pets")
        check(datafile.DATA not in os.listdir(elsewhere),
              f"{label}: a data file in the folder it was started from")

    # ---- the checks
    def t_portable_zip(self):
        z = zipfile.ZipFile(beside(self.exe, "deskpet-*-portable.zip"))
        names = sorted(n for n in z.namelist() if not n.endswith("/"))
        check(names == ["deskpet/deskpet.exe", "deskpet/readme.txt"], f"zip holds {names}")
        check(z.read("deskpet/deskpet.exe") == open(self.exe, "rb").read(),
              "the zip's deskpet.exe is not the one built")
        readme = z.read("deskpet/readme.txt")
        check(readme.count(b"\n") > 10 and readme.count(b"\n") == readme.count(b"\r\n"),
              "the read-me's lines do not all end in CR LF")
        text = readme.decode("utf-8-sig")
        check("ポータブル" in text and "Portable" in text, "the read-me is not in both languages")
        # How that deskpet.exe keeps its pets beside itself is the data-folder check's.

    def t_installer(self):
        setup = beside(self.exe, "deskpet-*-setup.exe")
        appdata = self.appdata()
        instdir = os.path.join(os.path.dirname(appdata), "Local", "Programs", "deskpet")
        data_dir = os.path.join(appdata, "deskpet")
        exe = os.path.join(instdir, "deskpet.exe")
        exe_win = self.wine("winepath", "-w", exe).stdout.decode().strip()

        def refused_while_running():
            # A running program can be neither replaced nor removed: silent,
            # both give up and leave everything as it is.
            r = self.wine(setup, "/S")
            check(r.returncode == 2, f"an install over the running program ended with "
                  f"{r.returncode}")
            self.wine(os.path.join(instdir, "uninstall.exe"), "/S")
            time.sleep(3)  # for its copy in %TEMP% to give up
            check(sorted(os.listdir(instdir)) == INSTALLED,
                  f"after an uninstall while it runs: {sorted(os.listdir(instdir))}")
            check(self.reg_values(UNINSTALL_KEY) is not None,
                  "the Apps & Features entry went while the program runs")

        # Start at login pointing at the installed copy goes with it; pointing
        # at a portable copy, it stays.
        for run_command, run_stays in ((f'"{exe_win}"', False),
                                       (r'"C:\portable\deskpet\deskpet.exe"', True)):
            r = self.wine(setup, "/S")
            check(r.returncode == 0, f"the silent install ended with {r.returncode}")
            check(os.path.isdir(instdir) and sorted(os.listdir(instdir)) == INSTALLED,
                  f"installed: {os.listdir(instdir) if os.path.isdir(instdir) else None}")
            check(os.path.isfile(os.path.join(appdata, SHORTCUT)), "no Start-menu entry")
            values = self.reg_values(UNINSTALL_KEY)
            check(values is not None, "no Apps & Features entry")
            for name in ("DisplayName", "DisplayVersion", "DisplayIcon", "UninstallString",
                         "QuietUninstallString", "EstimatedSize", "NoModify", "NoRepair"):
                check(name in values, f"the Apps & Features entry lacks {name}: {values}")
            quiet = values["QuietUninstallString"]
            check(quiet == f'"{exe_win[:-len("deskpet.exe")]}uninstall.exe" /S',
                  f"QuietUninstallString {quiet!r}")
            check(int(values["EstimatedSize"], 16) >= 300, f"EstimatedSize {values}")
            if not run_stays:
                self.installed_pet_shown_and_saved(exe, data_dir, refused_while_running)
            self.wine("reg", "add", RUN_KEY, "/v", "deskpet", "/d", run_command, "/f", timeout=60)
            kept = open(os.path.join(data_dir, datafile.DATA), "rb").read()

            r = self.wine(os.path.join(instdir, "uninstall.exe"), "/S")
            check(r.returncode == 0, f"the silent uninstall ended with {r.returncode}")
            # The uninstaller goes on from a copy of itself in %TEMP%.
            self.desk.wait_for(lambda: not os.path.exists(instdir), "the program's folder to go",
                               30)
            check(self.reg_values(UNINSTALL_KEY) is None, "the Apps & Features entry stayed")
            check(not os.path.exists(os.path.join(appdata, SHORTCUT)),
                  "the Start-menu entry stayed")
            run = self.reg_values(RUN_KEY) or {}
            check(("deskpet" in run) == run_stays,
                  f"start at login {run_command} afterwards: {run}")
            check(open(os.path.join(data_dir, datafile.DATA), "rb").read() == kept,
                  "the pets' data changed")
            self.wine("reg", "delete", RUN_KEY, "/v", "deskpet", "/f", timeout=60)
