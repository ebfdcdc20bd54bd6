#!/usr/bin/env python3
"""Start-up cost of the real program: time from start until its first frame is saved and
the peak resident memory, median of several runs under a private Xvfb with the demo menu.

Usage: bench/startup.py <kestrelbox binary>... [--runs N]

Each run draws one frame, saves it (KESTRELBOX_SCREENSHOT) and exits; the time includes
that save (BMP, no compression) and the exit, the same for every binary measured.
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import kbx  # noqa: E402


def run_once(binary, menu, display, picture):
    env = kbx.program_env(display, menu, KESTRELBOX_SCREENSHOT=picture, KESTRELBOX_SCREENSHOT_FRAMES="1")
    t0 = time.monotonic()
    proc = subprocess.Popen(kbx.command(binary), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - t0
    kbx.check(os.waitstatus_to_exitcode(status) == 0 and os.path.exists(picture), f"{binary} did not draw a frame")
    os.remove(picture)
    return seconds, usage.ru_maxrss / 1024.0


def main(argv):
    runs = 5
    if "--runs" in argv:
        i = argv.index("--runs")
        runs = int(argv[i + 1])
        del argv[i:i + 2]
    if not argv:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    menu = kbx.temp_dir("kb-startup-")
    try:
        kbx.make_demo(menu)
        with kbx.Xvfb(size="1600x1200x24") as x:
            for binary in argv:
                results = [run_once(binary, menu, x.display, os.path.join(menu, "frame.bmp")) for _ in range(runs)]
                secs = statistics.median(r[0] for r in results)
                mem = statistics.median(r[1] for r in results)
                print(f"{binary}: first frame {secs:.3f} s, peak memory {mem:.0f} MB (median of {runs})")
    finally:
        kbx.remove_tree(menu)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
