"""A private X desktop for the end-to-end tests: Xvfb on a free display, a
window manager, a tray host, and screenshots read by pixel. Every process is
started here and stopped here, by process id."""

import os
import signal
import struct
import subprocess
import tempfile
import time

from PIL import Image

KEY = (98, 164, 172)
WIDTH, HEIGHT = 1920, 1080


class Desktop:
    def __init__(self, width=WIDTH, height=HEIGHT):
        self.procs = []
        self.home = tempfile.mkdtemp(prefix="deskpet-e2e-home-")
        self.env = self._base_env()
        r, w = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{width}x{height}x24",
             "-noreset", "-s", "0", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(r)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display
        self.xvfb = xvfb
        self.tray = None
        try:
            self.wm = self.start(["openbox", "--sm-disable"])
            self.wait_for(lambda: "_NET_SUPPORTING_WM_CHECK" in self.run(["xprop", "-root"]),
                          "openbox")
        except BaseException:
            self.close()
            raise

    def _base_env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "XDG_", "QT_", "WAYLAND"))}
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(runtime, mode=0o700)
        env.update(HOME=self.home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_CACHE_HOME=os.path.join(self.home, "cache"), LANG="C.UTF-8")
        return env

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
        subprocess.run(["rm", "-rf", self.home])

    def run(self, argv, check=False):
        r = subprocess.run(argv, env=self.env, capture_output=True, text=True, check=check)
        return r.stdout

    def start_tray(self):
        self.tray = self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                                "request", "--height", "24", "--SetDockType", "true",
                                "--transparent", "false", "--tint", "0x808080"])
        self.wait_for(lambda: self.tray_window() is not None, "trayer")

    def stop_tray(self):
        if self.tray:
            self.stop(self.tray)
            self.tray = None

    def tray_window(self):
        for w in self.run(["xdotool", "search", "--class", "trayer"]).split():
            if self.geometry(w).get("mapped"):
                return w
        return None

    def wait_for(self, cond, what, timeout=10.0, step=0.1):
        end = time.time() + timeout
        while time.time() < end:
            v = cond()
            if v:
                return v
            time.sleep(step)
        raise TimeoutError(f"timed out waiting for {what}")

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

    def prop(self, win, name):
        return self.run(["xprop", "-id", str(win), name])

    # ---- pixels
    def screenshot(self):
        data = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                              check=True).stdout
        return read_xwd(data)


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


if __name__ == "__main__":
    # xwd -root -silent | xdisplay.py OUT.png: a screenshot as PNG, replaced whole.
    import sys
    out = sys.argv[1]
    read_xwd(sys.stdin.buffer.read()).save(out + ".part.png")
    os.replace(out + ".part.png", out)
