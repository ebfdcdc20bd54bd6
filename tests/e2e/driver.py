"""Drives the real program in a private Xvfb with xdotool: clicks, keys, window captures.

Input is sent to the program's window by window-relative coordinates. After each action
the journeys wait for an observable result (a file, the database, a change in the window
capture) instead of sleeping for a fixed time; actions that may be lost while the program
is busy are repeated until their result shows.
"""
import os
import subprocess
import time

import kbx


class App:
    def __init__(self, binary, menu_dir, shots_dir, extra_env=None, path_prefix=None):
        # Large enough that the centred 1200x800 window lies wholly on the screen.
        self.x = kbx.Xvfb(size="1600x1200x24")
        self.shots_dir = shots_dir
        os.makedirs(shots_dir, exist_ok=True)
        extra = dict(extra_env or {})
        self.env = kbx.program_env(self.x.display, menu_dir, **extra)
        if path_prefix:
            self.env["PATH"] = path_prefix + os.pathsep + self.env.get("PATH", "")
        self.log_path = os.path.join(shots_dir, "program.log")
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([binary], env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            out = self._xdo(["search", "--sync", "--name", "Kestrelbox"], timeout=90)
            self.wid = out.split()[0]
            # The window is up once the top bar's 帮助 button is drawn.
            kbx.wait_for(self._drawn, "the first frame", timeout=90, interval=0.3)
            # No window manager here: give the window the keyboard focus ourselves.
            self._xdo(["windowfocus", "--sync", self.wid])
        except Exception:
            self.close()
            raise

    # --- process and X helpers
    def _xdo(self, args, timeout=30):
        r = subprocess.run(["xdotool"] + args, env=self.env, capture_output=True, timeout=timeout)
        if r.returncode != 0:
            raise kbx.Failure(f"xdotool {' '.join(args)} failed: {r.stderr.decode(errors='replace')}")
        return r.stdout.decode()

    def close(self):
        if self.proc.poll() is None:
            try:
                if hasattr(self, "wid"):
                    kbx.send_wm_delete(self.x.display, self.wid)
            except Exception:
                pass
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                kbx.end_process(self.proc)
        self.log.close()
        self.x.stop()
        return self.proc.returncode

    # --- looking
    def capture(self, save_as=None):
        """The window's current pixels (rows[y][x]); saved into the shots folder when named."""
        path = os.path.join(self.shots_dir, save_as) if save_as else os.path.join(self.shots_dir, ".capture.png")
        kbx.check(self.proc.poll() is None, f"the program ended (exit {self.proc.returncode}); log: {self.log_path}")
        r = subprocess.run(["import", "-silent", "-window", self.wid, path], env=self.env,
                           capture_output=True, timeout=60)
        if r.returncode != 0:
            raise kbx.Failure(f"window capture failed: {r.stderr.decode(errors='replace')}")
        return kbx.read_png(path)[2]

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

        kbx.wait_for(probe, what, timeout=timeout, interval=0.2)
        return found[0]

    # --- acting
    def move(self, x, y):
        self._xdo(["mousemove", "--window", self.wid, str(x), str(y)])

    def click(self, x, y, button=1, modifiers=None):
        """Move, let a frame see the pointer there, then press and release."""
        self.move(x, y)
        time.sleep(0.15)
        args = []
        if modifiers:
            args += ["keydown", modifiers, "sleep", "0.3"]
        args += ["mousedown", str(button), "sleep", "0.15", "mouseup", str(button)]
        if modifiers:
            args += ["sleep", "0.3", "keyup", modifiers]
        self._xdo(args)
        time.sleep(0.1)

    def park(self):
        """Moves the pointer off the controls (to the window's bottom-right corner)."""
        self.move(1196, 796)
        time.sleep(0.15)

    def click_until(self, x, y, predicate, what, tries=4, timeout=20, button=1, modifiers=None):
        """Clicks and waits for the result; clicks again when it did not show (lost input)."""
        last = None
        for _ in range(tries):
            self.click(x, y, button=button, modifiers=modifiers)
            try:
                return self.wait_capture(predicate, what, timeout=timeout)
            except kbx.Failure as e:
                last = e
        raise last

    def key(self, *keys):
        self._xdo(["key", "--clearmodifiers", "--window", self.wid] + list(keys))
        time.sleep(0.1)

    def type(self, text):
        self._xdo(["type", "--delay", "40", "--window", self.wid, text])
        time.sleep(0.1)

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


def diff_share(a, b, box, step=2):
    """Share of differing pixels of two captures inside box (x0, y0, x1, y1)."""
    x0, y0, x1, y1 = box
    n = d = 0
    for y in range(y0, y1, step):
        ra, rb = a[y], b[y]
        for x in range(x0, x1, step):
            n += 1
            if ra[x] != rb[x]:
                d += 1
    return d / max(1, n)


def colour_share(rows, box, pred, step=2):
    x0, y0, x1, y1 = box
    n = d = 0
    for y in range(y0, y1, step):
        r = rows[y]
        for x in range(x0, x1, step):
            n += 1
            if pred(r[x]):
                d += 1
    return d / max(1, n)
