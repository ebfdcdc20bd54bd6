"""Helpers of the window tests and benchmarks: a private Xvfb, the program's environment, and
App, which drives the real program with xdotool at window-relative positions and reads its
window back. After an action the journeys wait for its result (a file, the database, a change
in the window) rather than for a fixed time; actions that a busy program may lose are repeated.
"""
import ctypes
import ctypes.util
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def wait_for(predicate, what, timeout=60.0, interval=0.1):
    """Polls predicate until it returns a true value, which it returns; fails after timeout."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        check(time.monotonic() < deadline, f"timed out after {timeout:.0f}s waiting for {what}")
        time.sleep(interval)
    return value


def end_process(proc):
    """Terminates a process still running, killing it when it does not end within 10 s."""
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
        with os.fdopen(r, "rb") as f:
            number = f.readline().strip().decode()  # "" when Xvfb ends without a display
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
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "make-demo")
    subprocess.run([sys.executable, script, folder, "--fast"], check=True, stdout=subprocess.DEVNULL)


def program_env(display, menu_dir, **extra):
    env = dict(os.environ, DISPLAY=display, KESTRELBOX_DIR=menu_dir.rstrip("/") + "/", KESTRELBOX_NO_DIALOG="1")
    # Software GL: Xvfb has no GPU; keeps Mesa from probing for one.
    env.setdefault("LIBGL_ALWAYS_SOFTWARE", "1")
    env.update(extra)
    return env


def temp_dir(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)


def send_wm_delete(display, window_id):
    """Asks a window to close the way a window manager does (a WM_DELETE_WINDOW client message)."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.restype = ctypes.c_ulong
    dpy = ctypes.c_void_p(x11.XOpenDisplay(display.encode()))
    check(dpy.value, f"cannot open display {display}")
    protocols, delete = (x11.XInternAtom(dpy, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
    # XClientMessageEvent inside the 24 longs of an XEvent: on LP64 every field fills one long.
    event = (ctypes.c_long * 24)(33, 0, 0, 0, int(window_id), protocols, 32, delete)
    x11.XSendEvent(dpy, ctypes.c_ulong(int(window_id)), 0, ctypes.c_long(0), event)
    x11.XCloseDisplay(dpy)  # flushes the event


class Capture:
    """A window capture (ImageMagick's 8-bit PPM); capture[x, y] is a pixel's (r, g, b)."""

    def __init__(self, ppm):
        _, size, _, self.data = ppm.split(b"\n", 3)
        self.width = int(size.split()[0])

    def __getitem__(self, xy):
        i = 3 * (xy[1] * self.width + xy[0])
        return tuple(self.data[i:i + 3])


class App:
    def __init__(self, binary, menu_dir, shots_dir, extra_env=None):
        # Large enough that the centred 1200x800 window lies wholly on the screen.
        self.x = Xvfb(size="1600x1200x24")
        self.shots_dir = shots_dir
        os.makedirs(shots_dir, exist_ok=True)
        self.env = program_env(self.x.display, menu_dir, **(extra_env or {}))
        self.log_path = os.path.join(shots_dir, "program.log")
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(command(binary), env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            # Polled, not --sync: a window that goes away mid-search (Wine makes and drops some at
            # start-up) ends that search with BadWindow.
            def search():
                if self.proc.poll() is not None and self._restart_once(binary):
                    return None
                check(self.proc.poll() is None, f"the program ended (exit {self.proc.returncode})")
                r = subprocess.run(["xdotool", "search", "--name", "Kestrelbox"], env=self.env, capture_output=True)
                return r.stdout.split() if r.returncode == 0 else None

            self.restarted = False
            self.wid = wait_for(search, "the program's window", 90, 0.2)[0].decode()
            # The window is up once the top bar's 帮助 and 读取数据 buttons are drawn.
            self.wait_capture(lambda c: min(max(c[28, 24]), max(c[106, 24])) > 45, "the first frame", 90)
            # No window manager here: give the window the keyboard focus ourselves.
            self._xdo("windowfocus", "--sync", self.wid)
        except Exception:
            self.close()
            raise

    def _restart_once(self, binary):
        """A fresh Xvfb on a loaded machine has once refused the program its first GL context (it
        reported "ImGui::SFML 初始化失败" and ended with 255, as it must without a usable display):
        the program is started once more on the same server, and the log says so."""
        if self.restarted or self.proc.returncode != 255:
            return False
        self.log.flush()
        with open(self.log_path, "rb") as f:
            if "初始化失败".encode() not in f.read():
                return False
        self.restarted = True
        self.log.write(b"[harness] the program could not open its window at once; started again\n")
        self.log.flush()
        self.proc = subprocess.Popen(command(binary), env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        return True

    def _run(self, args, timeout=30):
        r = subprocess.run(args, env=self.env, capture_output=True, timeout=timeout)
        check(r.returncode == 0, f"{' '.join(args)} failed: {r.stderr.decode(errors='replace')}")
        return r.stdout

    def _xdo(self, *args):
        self._run(["xdotool"] + list(args))
        time.sleep(0.1 * PACE)

    def close(self):
        if self.proc.poll() is None:
            try:
                send_wm_delete(self.x.display, self.wid)
                self.proc.wait(20)
            except Exception:
                end_process(self.proc)
        self.log.close()
        self.x.stop()
        return self.proc.returncode

    def capture(self, save_as=None):
        """The window's current pixels; saved into the shots folder instead when named."""
        check(self.proc.poll() is None, f"the program ended (exit {self.proc.returncode}); log: {self.log_path}")
        target = os.path.join(self.shots_dir, save_as) if save_as else "ppm:-"
        ppm = self._run(["import", "-silent", "-window", self.wid, "-depth", "8", target], timeout=60)
        return None if save_as else Capture(ppm)

    def wait_capture(self, predicate, what, timeout=60):
        """Captures until predicate(capture) holds; returns that capture."""
        def probe():
            c = self.capture()
            return c if predicate(c) else None

        return wait_for(probe, what, timeout, 0.2)

    def click(self, x, y, button=1, modifiers=None):
        """Move, let a frame see the pointer there, then press and release."""
        self.hover(x, y)
        hold = ["keydown", modifiers, "sleep", "0.3"] if modifiers else []
        release = ["sleep", "0.3", "keyup", modifiers] if modifiers else []
        self._xdo(*hold, "mousedown", str(button), "sleep", str(0.15 * PACE), "mouseup", str(button), *release)

    def hover(self, x, y):
        """Rests the pointer at (x, y) without a click."""
        self._xdo("mousemove", "--window", self.wid, str(x), str(y), "sleep", str(0.15 * PACE))

    def park(self):
        """Moves the pointer off the controls (to the window's bottom-right corner)."""
        self.hover(1196, 796)

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
        return self.act_until(lambda: self.click(x, y, button, modifiers), predicate, what, tries, timeout)

    def key(self, *keys):
        self._xdo("key", "--clearmodifiers", "--window", self.wid, *keys)

    def type(self, text):
        self._xdo("type", "--delay", str(int(40 * PACE)), "--window", self.wid, text)

    # The clipboard: xclip, another X client, keeps serving what it was given.
    def set_clipboard(self, text):
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode("utf-8"), env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def get_clipboard(self):
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env, capture_output=True, timeout=30)
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else ""


def colour_share(capture, box, pred, step=2, other=None):
    """Share of pixels inside box (x0, y0, x1, y1) meeting pred; pred(p, q) with another capture."""
    x0, y0, x1, y1 = box
    hits = [pred(capture[x, y], other[x, y]) if other else pred(capture[x, y])
            for y in range(y0, y1, step) for x in range(x0, x1, step)]
    return sum(hits) / max(1, len(hits))


def diff_share(a, b, box):
    return colour_share(a, box, lambda p, q: p != q, other=b)
