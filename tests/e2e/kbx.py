"""Helpers shared by the window tests and benchmarks: a private Xvfb, the program's
environment, a picture reader and waiting for conditions.

Everything runs against a real X server (Xvfb) and the real program; nothing here
fakes the program's behaviour.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", ".."))


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def wait_for(predicate, what, timeout=60.0, interval=0.1):
    """Polls predicate until it returns a true value; fails with `what` after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f}s waiting for {what}")
        time.sleep(interval)


def end_process(proc):
    """Terminates a process still running, killing it when it does not end within 10 s."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Xvfb:
    """A private X server on a free display number; the display is picked by Xvfb."""

    def __init__(self, size="1280x1024x24"):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        data = b""
        deadline = time.monotonic() + 30
        while not data.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(r, 64)
            if not chunk:
                break
            data += chunk
        os.close(r)
        number = data.strip().decode() if data.strip() else ""
        if not number.isdigit():
            self.stop()
            raise Failure("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        end_process(self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def make_demo(folder):
    subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "scripts", "make-demo"), folder, "--fast"],
                   check=True, stdout=subprocess.DEVNULL)


def program_env(display, menu_dir, **extra):
    env = dict(os.environ)
    env["DISPLAY"] = display
    env["KESTRELBOX_DIR"] = menu_dir.rstrip("/") + "/"
    env["KESTRELBOX_NO_DIALOG"] = "1"
    # Software GL: Xvfb has no GPU; keeps Mesa from probing for one.
    env.setdefault("LIBGL_ALWAYS_SOFTWARE", "1")
    for k, v in extra.items():
        env[k] = v
    return env


def read_png(path):
    """(w, h, rows of RGB) of a picture, decoded by ImageMagick (which also takes the captures)."""
    ppm = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "ppm:-"], capture_output=True,
                         check=True, timeout=60).stdout
    return parse_ppm(ppm)


def parse_ppm(data):
    """ImageMagick's binary PPM: "P6\n<w> <h>\n255\n" and packed RGB bytes."""
    magic, size, depth, pix = data.split(b"\n", 3)
    width, height = (int(v) for v in size.split())
    if magic != b"P6" or depth != b"255" or len(pix) != width * height * 3:
        raise ValueError("not a whole 8-bit PPM")
    return width, height, Pixels(width, pix)


class Pixels:
    """rows[y][x] -> (r, g, b) over packed RGB bytes, without building a tuple per pixel."""

    def __init__(self, width, data):
        self.width = width
        self.data = data

    def __getitem__(self, y):
        return _Row(self.data, y * self.width * 3)

    def __len__(self):
        return len(self.data) // (self.width * 3)


class _Row:
    def __init__(self, data, base):
        self.data = data
        self.base = base

    def __getitem__(self, x):
        i = self.base + 3 * x
        return (self.data[i], self.data[i + 1], self.data[i + 2])


def temp_dir(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)


def send_wm_delete(display, window_id):
    """Asks a window to close the way a window manager does (WM_DELETE_WINDOW), through libX11."""
    import ctypes
    import ctypes.util

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise Failure(f"cannot open display {display}")
    try:
        ev = Event()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = int(window_id)
        ev.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.l[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.xclient.l[1] = 0  # CurrentTime
        x11.XSendEvent(dpy, int(window_id), 0, 0, ctypes.byref(ev))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)
