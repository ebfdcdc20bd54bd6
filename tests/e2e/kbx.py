"""Helpers shared by the window tests: a private Xvfb, the program's environment,
a PNG reader and waiting for conditions.

Everything runs against a real X server (Xvfb) and the real program; nothing here
fakes the program's behaviour.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

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
    """(w, h, rows of RGB tuples) of a PNG: through ImageMagick when present, else read_png_py."""
    tool = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
    if tool:
        try:
            ppm = subprocess.run([tool, path, "-alpha", "off", "-depth", "8", "ppm:-"], capture_output=True,
                                 check=True, timeout=60).stdout
            return parse_ppm(ppm)
        except (subprocess.SubprocessError, OSError, ValueError):
            pass
    return read_png_py(path)


def parse_ppm(data):
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    pix = data[pos + 1:pos + 1 + width * height * 3]
    if len(pix) != width * height * 3:
        raise ValueError("PPM cut short")
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


def read_png_py(path):
    """Decodes an 8-bit non-interlaced PNG (grey, RGB, RGBA, grey+alpha) into (w, h, rows of RGB tuples)."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG")
    pos, idat, width, height, depth, ctype, interlace = 8, b"", 0, 0, 0, 0, 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    check(depth == 8 and interlace == 0 and ctype in (0, 2, 4, 6), f"{path}: unsupported PNG layout")
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[ctype]
    raw = zlib.decompress(idat)
    stride = width * channels
    rows = []
    prev = bytearray(stride)
    for y in range(height):
        at = y * (stride + 1)
        ftype = raw[at]
        line = bytearray(raw[at + 1:at + 1 + stride])
        if ftype == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif ftype == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 0xFF
        elif ftype == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif ftype == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = prev[i]
                c = prev[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        prev = line
        if channels >= 3:
            rows.append([tuple(line[i:i + 3]) for i in range(0, stride, channels)])
        else:
            rows.append([(line[i],) * 3 for i in range(0, stride, channels)])
    return width, height, rows


def run_for_screenshot(binary, menu_dir, png, display, autoload=True, timeout=120):
    """Runs the program until it saved its window into png (it exits by itself)."""
    if os.path.exists(png):
        os.remove(png)
    extra = {"KESTRELBOX_SCREENSHOT": png}
    if autoload:
        extra["KESTRELBOX_AUTOLOAD"] = "1"
    proc = subprocess.run([binary], env=program_env(display, menu_dir, **extra),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
    out = proc.stdout.decode("utf-8", "replace")
    check(proc.returncode == 0, f"program exited with {proc.returncode}: {out}")
    check(os.path.exists(png), f"no screenshot written: {out}")
    return out


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
