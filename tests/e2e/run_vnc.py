#!/usr/bin/python3
"""scripts/run.sh without a display, as a newcomer on a server meets it:
tests/e2e/run_vnc.py [BUILD_DIR]   (default build-qt; built if it is not)

Starts scripts/run.sh with no DISPLAY, its pets in a folder of its own (seeded
with a data file), and checks that
- it prints how to connect: a port and a password;
- a VNC server answers on that port of 127.0.0.1 with the RFB handshake
  ("RFB 003.00x"), asks for the password (VNC authentication, never none), and
  listens on the loopback only;
- the screenshot is written, as a whole 1920x1080 PNG;
- Ctrl-C (SIGINT to the script) saves the pets and ends the script, and with it
  the virtual display, the window manager, the tray, the VNC server and the
  program: no process on that display is left, and the port is closed."""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


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


def rfb_handshake(port):
    """The server's protocol version and the security types it offers."""
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.settimeout(5)
        version = b""
        while len(version) < 12:
            chunk = s.recv(12 - len(version))
            check(chunk, f"the VNC server closed after {version!r}")
            version += chunk
        check(re.fullmatch(rb"RFB 003\.00[3-8]\n", version),
              f"no RFB handshake on port {port}: {version!r}")
        s.sendall(b"RFB 003.008\n")
        count = s.recv(1)
        check(len(count) == 1 and count[0] > 0, f"no security types offered: {count!r}")
        types = b""
        while len(types) < count[0]:
            chunk = s.recv(count[0] - len(types))
            check(chunk, "the VNC server closed while naming its security types")
            types += chunk
        return version.decode().strip(), list(types)


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
    st = os.stat(path)
    return st.st_ino, st.st_mtime_ns


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-qt"))
    tmp = tempfile.mkdtemp(prefix="deskpet-run-vnc-")
    data = os.path.join(tmp, "data", "deskpet")
    os.makedirs(data)
    datafile = os.path.join(data, "zpdata.mrdt")
    shutil.copy(os.path.join(ROOT, "tests", "fixtures", "datafile", "valid.mrdt"), datafile)
    seeded = file_id(datafile)
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

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    display = None
    try:
        out = lambda: "".join(lines)
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

        version, types = rfb_handshake(port)
        print(f"  127.0.0.1:{port} answers {version}, security types {types}")
        check(2 in types and 1 not in types,
              f"the VNC server must ask for the password (type 2), never none (1): {types}")
        addresses = listening_addresses(port)
        check(addresses, f"nothing listens on port {port}")
        check(set(addresses) <= LOOPBACK, f"port {port} listens beyond the loopback: {addresses}")

        def whole_shot():
            try:
                with Image.open(shot) as im:
                    im.load()
                    return im.size
            except (OSError, ValueError):
                return None
        size = wait_for(whole_shot, f"a screenshot in {shot}", 30)
        check(size == (1920, 1080), f"the screenshot is {size}, not 1920x1080")

        wait_for(lambda: file_id(datafile) != seeded, "the program's first save", 30)
        before = file_id(datafile)
        time.sleep(1.1)
        run.send_signal(signal.SIGINT)
        try:
            status = run.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("run.sh did not end within 20 s of Ctrl-C")
        check(status == 130, f"run.sh ended with status {status} after Ctrl-C, not 130")
        check(file_id(datafile) != before, "Ctrl-C did not save the pets")
        with open(datafile, "rb") as f:
            check(f.read(8) == b"VER110\r\n", "the saved data file does not start with VER110")
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
        print("run_vnc: run.sh's virtual display answers VNC on the loopback, and Ctrl-C ends it cleanly")
        return 0
    except Failure as e:
        print(f"run_vnc: FAIL: {e}", file=sys.stderr)
        if display:
            for p in processes_on(display, data):
                print(f"  still running: {p}", file=sys.stderr)
        return 1
    finally:
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
