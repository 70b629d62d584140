#!/usr/bin/python3
"""scripts/run.sh without a display, as a newcomer on a server meets it:
tests/e2e/run_vnc.py [BUILD_DIR]   (default build-qt; built if it is not)

Starts scripts/run.sh with no DISPLAY and its pets in a folder of its own, and
checks that
- it prints how to connect: a port, a password, a viewer command, an ssh tunnel;
- a VNC server answers on that port of 127.0.0.1 with the RFB handshake
  ("RFB 003.00x"), asks for the password (VNC authentication, never none), and
  listens on the loopback only;
- the game can be played through it: a VNC client logged in with the printed
  password sees the 1920x1080 display with the welcome panel, and its clicks
  make the first pet (OK on the welcome, OK on the new-pet panel, the slot
  list then shows);
- the screenshot is written, as a whole 1920x1080 PNG;
- Ctrl-C (SIGINT to the script) saves the pet and ends the script, and with it
  the virtual display, the window manager, the tray, the VNC server and the
  program: no process on that display is left, and the port is closed."""

import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import datafile  # noqa: E402
from xdesk import LIGHT_GREEN, TWIPS, child_centre, colour_fraction  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WIDTH, HEIGHT = 1920, 1080


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def wait_for(cond, what, timeout, step=0.2):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = cond()
        if value:
            return value
        time.sleep(step)
    raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")


# ---------------------------------------------------------------- VNC

def recv_exactly(s, n):
    data = b""
    while len(data) < n:
        chunk = s.recv(min(n - len(data), 1 << 20))
        if not chunk:
            raise Failure(f"the VNC server closed the connection ({len(data)} of {n} bytes)")
        data += chunk
    return data


def security_types(s):
    """Reads the server's version, answers 3.8, and returns (version, types)."""
    version = recv_exactly(s, 12)
    check(re.fullmatch(rb"RFB 003\.00[3-8]\n", version), f"no RFB handshake: {version!r}")
    s.sendall(b"RFB 003.008\n")
    count = recv_exactly(s, 1)[0]
    check(count > 0, "the VNC server offers no security type")
    return version.decode().strip(), list(recv_exactly(s, count))


def vnc_response(password, challenge):
    """VNC authentication: the challenge in DES under the password, each key
    byte's bits reversed (single DES is triple DES with one key three times)."""
    key = bytes(int(f"{b:08b}"[::-1], 2) for b in password.encode()[:8].ljust(8, b"\0"))
    enc = Cipher(algorithms.TripleDES(key * 3), modes.ECB()).encryptor()
    return enc.update(challenge) + enc.finalize()


class Vnc:
    """A VNC viewer of the smallest kind: logs in, reads the screen, clicks."""

    def __init__(self, port, password):
        self.s = socket.create_connection(("127.0.0.1", port), timeout=10)
        _, types = security_types(self.s)
        check(2 in types, f"no VNC authentication offered: {types}")
        self.s.sendall(b"\x02")
        self.s.sendall(vnc_response(password, recv_exactly(self.s, 16)))
        result = struct.unpack(">I", recv_exactly(self.s, 4))[0]
        check(result == 0, f"the printed password was refused (security result {result})")
        self.s.sendall(b"\x01")  # shared: the screenshots and other viewers stay
        self.width, self.height = struct.unpack(">HH", recv_exactly(self.s, 4))
        recv_exactly(self.s, 16)
        recv_exactly(self.s, struct.unpack(">I", recv_exactly(self.s, 4))[0])
        # 32 bits a pixel, little-endian, blue in the lowest byte: BGRX; raw only.
        self.s.sendall(struct.pack(">B3xBBBBHHHBBB3x", 0, 32, 24, 0, 1, 255, 255, 255, 16, 8, 0))
        self.s.sendall(struct.pack(">BxHi", 2, 1, 0))
        self.frame = Image.new("RGB", (self.width, self.height))

    def screen(self):
        """The whole screen as the server sends it now."""
        self.s.sendall(struct.pack(">BBHHHH", 3, 0, 0, 0, self.width, self.height))
        while True:
            kind = recv_exactly(self.s, 1)[0]
            if kind == 0:
                break
            if kind == 2:  # bell
                continue
            if kind == 3:  # cut text
                recv_exactly(self.s, 3)
                recv_exactly(self.s, struct.unpack(">I", recv_exactly(self.s, 4))[0])
                continue
            raise Failure(f"unexpected VNC message {kind}")
        recv_exactly(self.s, 1)
        (rects,) = struct.unpack(">H", recv_exactly(self.s, 2))
        for _ in range(rects):
            x, y, w, h, encoding = struct.unpack(">HHHHi", recv_exactly(self.s, 12))
            check(encoding == 0, f"the VNC server sent encoding {encoding}, not raw")
            if w and h:
                raw = recv_exactly(self.s, w * h * 4)
                self.frame.paste(Image.frombuffer("RGB", (w, h), raw, "raw", "BGRX", 0, 1), (x, y))
        return self.frame

    def click(self, x, y):
        for mask in (0, 1, 0):
            self.s.sendall(struct.pack(">BBHH", 5, mask, x, y))
            time.sleep(0.1)

    def close(self):
        self.s.close()


# ---------------------------------------------------------------- panels

def centred(width, height):
    """The box in pixels of a panel (twips) centred on the screen, as the program centres it."""
    left = round(WIDTH * TWIPS / 2 - width / 2)
    top = round(HEIGHT * TWIPS / 2 - height / 2)
    px = lambda t: round(t / TWIPS)  # noqa: E731
    return (px(left), px(top), px(left) + px(width), px(top) + px(height))


WELCOME = centred(6135, 5775)    # Picture2
NEW_PET = centred(4575, 2895)    # Picture1
SLOT_LIST = centred(4695, 6015)  # Picture4
WELCOME_OK = child_centre(WELCOME, 4560, 5280, 1095, 255)   # Command5
NEW_PET_OK = child_centre(NEW_PET, 3120, 2280, 1215, 375)  # Command1
# Strips that tell the panels apart: the welcome's bottom edge (below the
# new-pet panel), and the slot list's top (above the other two but the welcome).
BOTTOM = (WELCOME[0] + 8, WELCOME[3] - 14, WELCOME[0] + 200, WELCOME[3] - 4)
TOP = (SLOT_LIST[0] + 8, SLOT_LIST[1] + 4, SLOT_LIST[2] - 8, NEW_PET[1] - 8)
INSIDE_NEW_PET = (NEW_PET[0] + 4, NEW_PET[1] + 4, NEW_PET[2] - 4, NEW_PET[3] - 4)


def green(shot, box):
    return colour_fraction(shot, box, LIGHT_GREEN)


# ---------------------------------------------------------------- the run

def listening_addresses(port):
    """The local addresses of the TCP sockets listening on `port` (hex, as in /proc)."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                rows = f.read().splitlines()[1:]
        except FileNotFoundError:
            continue
        for row in rows:
            fields = row.split()
            address, hex_port = fields[1].split(":")
            if fields[3] == "0A" and int(hex_port, 16) == port:
                found.append(address)
    return found


LOOPBACK = {"0100007F", "00000000000000000000000001000000"}  # 127.0.0.1, ::1


def processes_on(display, data):
    """Processes left of the run: named with the display, or started with it in
    their environment, or working in the data folder."""
    left = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        if int(pid) == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
            with open(f"/proc/{pid}/environ", "rb") as f:
                env = f.read().split(b"\0")
            cwd = os.readlink(f"/proc/{pid}/cwd")
        except OSError:
            continue
        if (display.encode() in argv or b"DISPLAY=" + display.encode() in env
                or cwd == data):
            left.append(f"{pid} {b' '.join(argv).decode(errors='replace')}")
    return left


def file_id(path):
    try:
        st = os.stat(path)
    except FileNotFoundError:
        return None
    return st.st_ino, st.st_mtime_ns


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-qt"))
    tmp = tempfile.mkdtemp(prefix="deskpet-run-vnc-")
    data = os.path.join(tmp, "data", "deskpet")
    datafile_path = os.path.join(data, datafile.DATA)
    shot = os.path.join(tmp, "screen.png")
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "DESKPET_SESSION", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    env.update(XDG_DATA_HOME=os.path.join(tmp, "data"), XDG_CONFIG_HOME=os.path.join(tmp, "config"),
               DESKPET_BUILD_DIR=build, DESKPET_SCREENSHOT=shot, DESKPET_SCREENSHOT_SECONDS="1")
    run = subprocess.Popen([os.path.join(ROOT, "scripts", "run.sh")], cwd=tmp, env=env,
                           stdout=subprocess.PIPE, text=True)
    lines = []

    def read():
        for line in run.stdout:
            sys.stdout.write("  run.sh: " + line)
            lines.append(line)

    threading.Thread(target=read, daemon=True).start()
    display = None
    vnc = None
    try:
        out = lambda: "".join(lines)  # noqa: E731
        # A build, if the folder is not built yet, comes first.
        wait_for(lambda: "Ctrl-C" in out() or run.poll() is not None,
                 "run.sh to say how to connect", 900)
        check(run.poll() is None, f"run.sh ended early with status {run.returncode}")
        m = re.search(r"virtual display (:\d+)", out())
        check(m, "run.sh names no virtual display")
        display = m.group(1)
        m = re.search(r"port (\d+) of this machine, password (\S+)", out())
        check(m, "run.sh prints no VNC port and password")
        port, password = int(m.group(1)), m.group(2)
        check(len(password) >= 6, f"a password too short to keep anyone out: {password!r}")
        check(f"localhost::{port}" in out() and f"-L {port}:localhost:{port}" in out(),
              "run.sh prints no viewer command or ssh tunnel for the port")

        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            version, types = security_types(s)
        print(f"  127.0.0.1:{port} answers {version}, security types {types}")
        check(2 in types and 1 not in types,
              f"the VNC server must ask for the password (type 2), never none (1): {types}")
        addresses = listening_addresses(port)
        check(addresses, f"nothing listens on port {port}")
        check(set(addresses) <= LOOPBACK, f"port {port} listens beyond the loopback: {addresses}")

        # Playing: the first pet, made with the viewer's clicks.
        vnc = Vnc(port, password)
        check((vnc.width, vnc.height) == (WIDTH, HEIGHT),
              f"the viewer sees {vnc.width}x{vnc.height}, not the {WIDTH}x{HEIGHT} display")
        wait_for(lambda: green(vnc.screen(), BOTTOM) > 0.5, "the welcome panel in the viewer", 30)
        vnc.click(*WELCOME_OK)
        wait_for(lambda: (lambda f: green(f, BOTTOM) < 0.1 and green(f, TOP) < 0.1
                          and green(f, INSIDE_NEW_PET) > 0.2)(vnc.screen()),
                 "the new-pet panel after a click on the welcome's OK", 10)
        vnc.click(*NEW_PET_OK)
        wait_for(lambda: green(vnc.screen(), TOP) > 0.3,
                 "the slot list after a click on the new-pet panel's OK", 10)
        print("  played through VNC: the welcome, the new-pet panel, the first pet, the slot list")
        vnc.close()
        vnc = None

        def whole_shot():
            try:
                with Image.open(shot) as im:
                    im.load()
                    return im.size
            except (OSError, ValueError):
                return None
        size = wait_for(whole_shot, f"a screenshot in {shot}", 30)
        check(size == (WIDTH, HEIGHT), f"the screenshot is {size}, not {WIDTH}x{HEIGHT}")

        # A minute boundary may have saved already; then Ctrl-C must save again.
        before = file_id(datafile_path)
        time.sleep(1.1)
        run.send_signal(signal.SIGINT)
        try:
            status = run.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("run.sh did not end within 20 s of Ctrl-C")
        check(status == 130, f"run.sh ended with status {status} after Ctrl-C, not 130")
        after = file_id(datafile_path)
        check(after is not None and after != before, "Ctrl-C did not save the pets")
        with open(datafile_path, "rb") as f:
            pets = datafile.parse_data(f.read())
        check(len(pets) == 1, f"saved {len(pets)} pets, not the one made through VNC")
        try:
            wait_for(lambda: not processes_on(display, data), "every process run.sh started to end", 5)
        except Failure:
            raise Failure(f"left running after Ctrl-C: {processes_on(display, data)}")
        check(not os.path.exists(f"/tmp/.X{display[1:]}-lock"), f"the display {display} is still locked")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=2).close()
            raise Failure(f"port {port} still answers after Ctrl-C")
        except ConnectionRefusedError:
            pass
        print("run_vnc: run.sh's virtual display is played over VNC on the loopback, "
              "and Ctrl-C saves and ends it cleanly")
        return 0
    except Failure as e:
        print(f"run_vnc: FAIL: {e}", file=sys.stderr)
        if vnc is not None:
            kept = os.path.join(tempfile.gettempdir(), "deskpet-run-vnc-failed.png")
            vnc.frame.save(kept)
            print(f"  the viewer's last screen: {kept}", file=sys.stderr)
        if display:
            for p in processes_on(display, data):
                print(f"  still running: {p}", file=sys.stderr)
        return 1
    finally:
        if vnc is not None:
            vnc.close()
        if run.poll() is None:
            run.send_signal(signal.SIGINT)
            try:
                run.wait(timeout=20)
            except subprocess.TimeoutExpired:
                run.kill()
                run.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
