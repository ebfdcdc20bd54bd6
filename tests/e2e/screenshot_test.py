#!/usr/bin/env python3
"""Window layout check: runs the real program under a private Xvfb on a generated demo
menu folder, lets it save its window (KESTRELBOX_SCREENSHOT) and checks the picture.

Usage: screenshot_test.py <kestrelbox binary> <folder for the screenshots>

The checks follow the fixed layout: a 1200x800 window, the main window's 8-pixel
padding, a 44-pixel top bar, the left panel at 58 % of the content width, the right
panel beside it, and the 30 pixels left at the bottom for the progress bar.
"""
import os
import sqlite3
import subprocess
import sys

import kbx

WIDTH, HEIGHT = 1200, 800
PAD = 8                      # main window padding
SPACING_X, SPACING_Y = 8, 4  # item spacing between the regions
TOP_BAR = 44
BOTTOM = 30
TOL = 3                      # pixels of slack for rounding of fractional sizes


def brightness(p):
    return sum(p) / 3.0


def is_dark(p):
    return max(p) <= 45


def expected_layout():
    w = WIDTH - 2 * PAD
    h = HEIGHT - 2 * PAD
    left_w = 0.58 * w
    panel_h = h - TOP_BAR - BOTTOM
    top = PAD + TOP_BAR + SPACING_Y
    return {
        "left_x0": PAD,
        "left_x1": int(PAD + left_w) - 1,
        "right_x0": int(PAD + left_w + SPACING_X),
        "right_x1": WIDTH - PAD - 2,
        "top": top,
        "bottom": int(top + panel_h) - 1,
    }


def column_lit(rows, x, y0, y1):
    """Share of pixels in column x between y0 and y1 that are not background."""
    n = sum(0 if is_dark(rows[y][x]) else 1 for y in range(y0, y1))
    return n / max(1, y1 - y0)


def row_lit(rows, y, x0, x1):
    n = sum(0 if is_dark(rows[y][x]) else 1 for x in range(x0, x1))
    return n / max(1, x1 - x0)


def find_line(lit, expected, what):
    """The position near `expected` where lit() is highest; it must be a solid line."""
    best = max(range(expected - TOL, expected + TOL + 1), key=lit)
    kbx.check(lit(best) >= 0.9, f"{what}: no border line near {expected} (best {best}: {lit(best):.2f})")
    return best


def region_mean(rows, x0, y0, x1, y1):
    total = n = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            total += brightness(rows[y][x])
            n += 1
    return total / max(1, n)


def check_layout(png, loaded):
    w, h, rows = kbx.read_png(png)
    kbx.check((w, h) == (WIDTH, HEIGHT), f"{png}: size {w}x{h}, expected {WIDTH}x{HEIGHT}")

    colours = {}
    for y in range(0, h, 4):
        for x in range(0, w, 4):
            p = rows[y][x]
            colours[p] = colours.get(p, 0) + 1
    most = max(colours.values()) / sum(colours.values())
    kbx.check(len(colours) >= 20 and most < 0.9, f"{png}: picture looks blank ({len(colours)} colours)")

    L = expected_layout()
    # Background: the padding around the regions is the dark window colour.
    for x, y in [(PAD // 2, h // 2), (w - PAD // 2 - 1, h // 2), (w // 2, PAD // 2),
                 ((L["left_x1"] + L["right_x0"]) // 2, h // 2), (w // 2, L["top"] - 2)]:
        kbx.check(is_dark(rows[y][x]), f"{png}: background at ({x},{y}) is {rows[y][x]}, expected dark")
    bg = brightness(rows[h // 2][PAD // 2])

    y0, y1 = L["top"] + 8, L["bottom"] - 8
    left_x0 = find_line(lambda x: column_lit(rows, x, y0, y1), L["left_x0"], "left panel, left edge")
    left_x1 = find_line(lambda x: column_lit(rows, x, y0, y1), L["left_x1"], "left panel, right edge")
    right_x0 = find_line(lambda x: column_lit(rows, x, y0, y1), L["right_x0"], "right panel, left edge")
    right_x1 = find_line(lambda x: column_lit(rows, x, y0, y1), L["right_x1"], "right panel, right edge")
    for x0, x1, name in [(left_x0, left_x1, "left"), (right_x0, right_x1, "right")]:
        top = find_line(lambda y: row_lit(rows, y, x0 + 1, x1), L["top"], f"{name} panel, top edge")
        bottom = find_line(lambda y: row_lit(rows, y, x0 + 1, x1), L["bottom"], f"{name} panel, bottom edge")
        kbx.check(top - PAD >= TOP_BAR, f"{name} panel starts at {top}: top bar lower than {TOP_BAR} px")
        kbx.check(HEIGHT - PAD - bottom >= BOTTOM - TOL, f"{name} panel ends at {bottom}: no room for the progress bar")
    share = (left_x1 - left_x0 + 1) / (WIDTH - 2 * PAD)
    kbx.check(abs(share - 0.58) < 0.01, f"left panel is {share:.3f} of the width, expected 0.58")

    # Top bar: the 帮助 button (40x32) sits at its left edge and is lighter than the background.
    kbx.check(region_mean(rows, PAD + 4, PAD + 4, PAD + 36, PAD + 28) > bg + 20, "no 帮助 button in the top bar")
    # Progress bar: a lit band across the bottom strip.
    band = max(row_lit(rows, y, PAD, w // 2) for y in range(L["bottom"] + 2, HEIGHT - PAD))
    kbx.check(band > 0.8, f"no progress bar in the bottom strip ({band:.2f})")
    # Panels: lighter than the background where they draw their controls.
    right_mean = region_mean(rows, right_x0 + 2, L["top"] + 2, right_x1 - 1, L["bottom"] - 1)
    kbx.check(right_mean > bg + 10, f"right panel looks empty ({right_mean:.0f} vs {bg:.0f})")
    if loaded:
        left_mean = region_mean(rows, left_x0 + 2, L["top"] + 2, left_x1 - 1, L["bottom"] - 1)
        kbx.check(left_mean > bg + 15, f"left panel shows no table rows ({left_mean:.0f} vs {bg:.0f})")


# Short titles (the name column is narrow) in the scripts and symbols games carry.
TITLES = ["中文游戏", "かなカナ", "한글판", "Game™", "Ⅲ代", "①号"]


def make_titles_menu(folder):
    con = sqlite3.connect(os.path.join(folder, "data.db"))
    con.execute("CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, path TEXT, category TEXT, icon BLOB)")
    con.executemany("INSERT INTO games (id, name) VALUES (?, ?)", list(enumerate(TITLES, 1)))
    con.commit()
    con.close()


def check_no_desktop(binary, menu):
    """Without a reachable X display the program says so and ends with -1 (no abort)."""
    for display in [None, ":987"]:
        env = kbx.program_env(display or "", menu)
        if display is None:
            del env["DISPLAY"]
        proc = subprocess.run([binary], env=env, capture_output=True, timeout=60)
        err = proc.stderr.decode("utf-8", "replace")
        kbx.check(proc.returncode == 255, f"DISPLAY={display}: exit {proc.returncode}, expected 255: {err}")
        kbx.check("ImGui::SFML 初始化失败" in err, f"DISPLAY={display}: no start-up message: {err}")


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    binary, out_dir = argv
    os.makedirs(out_dir, exist_ok=True)
    menu = kbx.temp_dir("kb-shot-")
    try:
        check_no_desktop(binary, menu)
        kbx.make_demo(menu)
        titles = os.path.join(menu, "titles")
        os.makedirs(titles)
        make_titles_menu(titles)
        with kbx.Xvfb() as x:
            for name, loaded, folder in [("start.png", False, menu), ("loaded.png", True, menu),
                                         ("titles.png", True, titles)]:
                png = os.path.join(out_dir, name)
                kbx.run_for_screenshot(binary, folder, png, x.display, autoload=loaded)
                check_layout(png, loaded)
                print(f"ok: {png}")
    except kbx.Failure as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    finally:
        kbx.remove_tree(menu)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
