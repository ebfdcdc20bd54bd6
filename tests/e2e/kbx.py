"""Helpers shared by the window tests and benchmarks: a private Xvfb, the program's
environment, a picture reader, waiting for conditions, and App, which drives the real
program with xdotool by window-relative coordinates.

After each action the journeys wait for an observable result (a file, the database, a
change in the window capture) instead of sleeping for a fixed time; actions that may be
lost while the program is busy are repeated until their result shows.
"""
import os
import shlex
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


# Multiplies the pauses between input actions: a program that draws slowly (the Windows build
# under Wine) needs more time to take each one in.
PACE = float(os.environ.get("KB_INPUT_PACE", "1"))


def command(binary):
    """The program's command line; KB_LAUNCHER goes in front (the Windows build's Wine runner)."""
    return shlex.split(os.environ.get("KB_LAUNCHER", "")) + [binary]


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

class App:
    def __init__(self, binary, menu_dir, shots_dir, extra_env=None, path_prefix=None):
        # Large enough that the centred 1200x800 window lies wholly on the screen.
        self.x = Xvfb(size="1600x1200x24")
        self.shots_dir = shots_dir
        os.makedirs(shots_dir, exist_ok=True)
        extra = dict(extra_env or {})
        self.env = program_env(self.x.display, menu_dir, **extra)
        if path_prefix:
            self.env["PATH"] = path_prefix + os.pathsep + self.env.get("PATH", "")
        self.log_path = os.path.join(shots_dir, "program.log")
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(command(binary), env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            out = self._xdo(["search", "--sync", "--name", "Kestrelbox"], timeout=90)
            self.wid = out.split()[0]
            # The window is up once the top bar's 帮助 button is drawn.
            wait_for(self._drawn, "the first frame", timeout=90, interval=0.3)
            # No window manager here: give the window the keyboard focus ourselves.
            self._xdo(["windowfocus", "--sync", self.wid])
        except Exception:
            self.close()
            raise

    # --- process and X helpers
    def _xdo(self, args, timeout=30):
        r = subprocess.run(["xdotool"] + args, env=self.env, capture_output=True, timeout=timeout)
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)} failed: {r.stderr.decode(errors='replace')}")
        return r.stdout.decode()

    def close(self):
        if self.proc.poll() is None:
            try:
                if hasattr(self, "wid"):
                    send_wm_delete(self.x.display, self.wid)
            except Exception:
                pass
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                end_process(self.proc)
        self.log.close()
        self.x.stop()
        return self.proc.returncode

    # --- looking
    def capture(self, save_as=None):
        """The window's current pixels (rows[y][x]); saved into the shots folder when named."""
        path = os.path.join(self.shots_dir, save_as) if save_as else os.path.join(self.shots_dir, ".capture.png")
        check(self.proc.poll() is None, f"the program ended (exit {self.proc.returncode}); log: {self.log_path}")
        r = subprocess.run(["import", "-silent", "-window", self.wid, path], env=self.env,
                           capture_output=True, timeout=60)
        if r.returncode != 0:
            raise Failure(f"window capture failed: {r.stderr.decode(errors='replace')}")
        return read_png(path)[2]

    def _drawn(self):
        rows = self.capture()
        return not is_dark(rows[24][28]) and not is_dark(rows[24][106])

    def wait_capture(self, predicate, what, timeout=60):
        """Captures until predicate(rows) holds; returns those rows."""
        found = []

        def probe():
            rows = self.capture()
            if predicate(rows):
                found.append(rows)
                return True
            return False

        wait_for(probe, what, timeout=timeout, interval=0.2)
        return found[0]

    # --- acting
    def move(self, x, y):
        self._xdo(["mousemove", "--window", self.wid, str(x), str(y)])

    def click(self, x, y, button=1, modifiers=None):
        """Move, let a frame see the pointer there, then press and release."""
        self.move(x, y)
        time.sleep(0.15 * PACE)
        args = []
        if modifiers:
            args += ["keydown", modifiers, "sleep", "0.3"]
        args += ["mousedown", str(button), "sleep", str(0.15 * PACE), "mouseup", str(button)]
        if modifiers:
            args += ["sleep", "0.3", "keyup", modifiers]
        self._xdo(args)
        time.sleep(0.1 * PACE)

    def park(self):
        """Moves the pointer off the controls (to the window's bottom-right corner)."""
        self.move(1196, 796)
        time.sleep(0.15 * PACE)

    def act_until(self, act, predicate, what, tries=4, timeout=20):
        """Acts and waits for the result; acts again when it did not show (lost input)."""
        for attempt in range(tries):
            act()
            try:
                return self.wait_capture(predicate, what, timeout=timeout)
            except Failure:
                if attempt == tries - 1:
                    raise

    def click_until(self, x, y, predicate, what, tries=4, timeout=20, button=1, modifiers=None):
        return self.act_until(lambda: self.click(x, y, button=button, modifiers=modifiers), predicate, what,
                              tries, timeout)

    def key(self, *keys):
        self._xdo(["key", "--clearmodifiers", "--window", self.wid] + list(keys))
        time.sleep(0.1 * PACE)

    def type(self, text):
        self._xdo(["type", "--delay", str(int(40 * PACE)), "--window", self.wid, text])
        time.sleep(0.1 * PACE)

    # --- the clipboard (another X client owns it: xclip keeps serving it)
    def set_clipboard(self, text):
        p = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env, stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        p.communicate(text.encode("utf-8"), timeout=30)

    def get_clipboard(self):
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env, capture_output=True, timeout=30)
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else ""


def is_dark(p):
    return max(p) <= 45


def colour_share(rows, box, pred, step=2, other=None):
    """Share of pixels inside box (x0, y0, x1, y1) meeting pred; pred(p, q) with another capture."""
    x0, y0, x1, y1 = box
    hits = [pred(rows[y][x], other[y][x]) if other else pred(rows[y][x])
            for y in range(y0, y1, step) for x in range(x0, x1, step)]
    return sum(hits) / max(1, len(hits))


def diff_share(a, b, box):
    return colour_share(a, box, lambda p, q: p != q, other=b)
