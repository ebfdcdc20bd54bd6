#!/usr/bin/env python3
"""User journeys in the real window: the real program under a private Xvfb, driven by
xdotool, on a menu folder this test makes, with loopback servers standing in for the
Steam store, its image CDN and a chat service (KESTRELBOX_HOST_MAP).

Usage: journeys.py <kestrelbox binary> <screenshot folder> <journey>
Journeys: offline (library match, candidate, ticks, download), online (cancel,
skip, lookup), local-ai (local copy, then the AI prompt, paste, write and request), ai (the
same AI steps alone)

Each journey asserts on what the program leaves behind (media files, data.db) and on the
window where nothing is left behind; a failing journey saves its window into
<screenshot folder>/<journey>/.
"""
import http.server
import json
import os
import sqlite3
import subprocess
import sys
import threading
import time
import urllib.parse

import kbx

# Window-relative positions of the controls in the fixed 1200x800 layout.
READ_DATA = (106, 24)
MODE_LOCAL = (203, 78)
STEAM_MATCH = (65, 344)
CLEAN_TITLES = (326, 311)
LIBRARY_MATCH = (181, 344)
DOWNLOAD = (287, 341)
ROW0_Y = 395
ROW_H = 26
TICK_X = 31
TABLE_BOX = (17, 383, 670, 757)
PROMPT_BOX = (712, 240, 1180, 755)
GEN_RESULT = (813, 134)
MODE_APPEND = (1091, 167)
MAKE_PROMPT = (755, 199)
COPY_PROMPT = (853, 199)
PASTE_ANSWER = (966, 199)
ANALYZE = (1064, 199)
WRITE_DB = (1155, 199)
API_KEY = (1155, 104)
STATUS_BOX = (660, 770, 1190, 790)

# The journeys' menu: real Steam titles as users type them.
GAMES = [
    (1, "艾尔登法环", "动作"),
    (2, "Stardew Valley", ""),
    (3, "空洞骑士", ""),
    (4, "美丽水世界", ""),
    (5, "巫师3 The Witcher 3", "角色扮演"),
    (6, "艾尔登法环 黄金树幽影", ""),
    (7, "魔兽争霸III", "策略"),
    (8, "双人成行", ""),
]
POOL = [
    (1245620, "ELDEN RING", "艾尔登法环", "老头环"),
    (413150, "Stardew Valley", "星露谷物语", ""),
    (367520, "Hollow Knight", "空洞骑士", ""),
    (264710, "Subnautica", "深海迷航", "美丽水世界"),
    (292030, "The Witcher 3: Wild Hunt", "巫师 3：狂猎", ""),
    (1426210, "It Takes Two", "双人成行", ""),
    (374320, "DARK SOULS III", "黑暗之魂3", "黑魂3"),
    (2622380, "ELDEN RING NIGHTREIGN", "艾尔登法环：黑夜君临", ""),
]
CATEGORIES = ["动作", "冒险", "角色扮演", "策略", "模拟", "生存", "多人"]


def make_menu(folder):
    os.makedirs(folder, exist_ok=True)
    con = sqlite3.connect(os.path.join(folder, "data.db"))
    con.execute("CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, path TEXT, category TEXT, icon BLOB)")
    for gid, name, cat in GAMES:
        con.execute("INSERT INTO games (id, name, category) VALUES (?, ?, ?)", (gid, name, cat))
    con.commit()
    con.close()
    with open(os.path.join(folder, "set.ini"), "w", encoding="utf-8") as f:
        f.write("[Categories]\ncategories=" + "|".join(CATEGORIES) + "\n")
    with open(os.path.join(folder, "kbdata.csv"), "w", encoding="utf-8") as f:
        f.write("appid,name,name_cn,nickname\n")
        for a, en, zh, nick in POOL:
            f.write(f'{a},"{en}",{zh},{nick}\n')


def categories_in_db(folder):
    con = sqlite3.connect(os.path.join(folder, "data.db"))
    try:
        kbx.check(con.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "data.db is damaged")
        return dict(con.execute("SELECT name, IFNULL(category, '') FROM games"))
    finally:
        con.close()


def row_y(i):
    return ROW0_Y + i * ROW_H


def table_rows_shown(rows):
    """Number of table rows drawn (rows are lighter than the panel background)."""
    n = 0
    for i in range(12):
        y = row_y(i)
        if y >= TABLE_BOX[3]:
            break
        if kbx.colour_share(rows, (100, y - 6, 300, y + 6), lambda p: not kbx.is_dark(p)) > 0.5:
            n += 1
    return n


TITLE = (41, 74, 122)


def find_popup(rows, box=(150, 60, 1050, 760)):
    """(x0, y0, x1) of a popup's title bar: a run of the active title colour, or None."""
    x0, y0, x1, y1 = box
    for y in range(y0, y1, 3):
        r = rows[y]
        run = 0
        start = None
        for x in range(x0, x1, 2):
            if r[x] == TITLE:
                run += 2
                if run >= 120 and start is None:
                    start = x - run + 2
            else:
                if start is not None:
                    return (start, y, x)
                run = 0
        if start is not None:
            return (start, y, x1)
    return None


def close_popup(app, name):
    app.wait_capture(lambda r: find_popup(r) is not None, f"the {name} popup", timeout=120)
    # Tab puts the keyboard focus on the popup's only button (确定); Return presses it.
    return app.act_until(lambda: app.key("Tab", "Return"), lambda r: find_popup(r) is None, f"the {name} popup to close")


def ticked(rows, i, top=ROW0_Y):
    """The row's check box shows its check mark (the bright blue of the mark inside the box)."""
    y = top + i * ROW_H
    return kbx.colour_share(rows, (TICK_X - 8, y - 7, TICK_X + 8, y + 7),
                               lambda p: p[2] > 230 and p[0] < 100, step=1) > 0.05


def tick_three(app, top):
    """Ticks the first row, then Shift-clicks the third: the row between is ticked too."""
    app.click_until(TICK_X, top, lambda r: ticked(r, 0, top), "the first tick", tries=1, timeout=30)
    app.click_until(TICK_X, top + 2 * ROW_H, lambda r: all(ticked(r, i, top) for i in range(3)),
                    "Shift to tick the rows between", tries=1, timeout=30, modifiers="shift")
    app.park()


def media_listing(menu):
    media = os.path.join(menu, "media")
    return {d: sorted(os.listdir(os.path.join(media, d))) for d in os.listdir(media)} if os.path.isdir(media) else {}


def row_state(rows, i):
    """The row's tint above its text: 'green' exact, 'yellow' fuzzy, 'red' missed."""
    r, g, b = rows[row_y(i) - 9][330]
    if b > r + 30:
        return "hovered"
    if r > b + 15 and g > b + 15:
        return "yellow"
    if g > r + 8:
        return "green"
    if r > g + 8:
        return "red"
    return "other"


# --- loopback services ---------------------------------------------------------------

class Services:
    """Store API, image CDN and chat service on 127.0.0.1, each on its own port."""

    def __init__(self, chat_answer=""):
        self.requests = []
        self.searches = []
        self.hold_after = 0            # the search request of that number waits for release
        self.held = threading.Event()
        self.release = threading.Event()
        self.chat_answer = chat_answer
        self.servers = []
        self.store = self._serve(self._store)
        self.cdn = self._serve(self._cdn)
        self.chat = self._serve(self._chat)

    def host_map(self):
        return ",".join([
            f"store.steampowered.com=http://127.0.0.1:{self.store}",
            f"cdn.akamai.steamstatic.com=http://127.0.0.1:{self.cdn}",
            f"shared.akamai.steamstatic.com=http://127.0.0.1:{self.cdn}",
            f"dashscope.aliyuncs.com=http://127.0.0.1:{self.chat}",
        ])

    def _serve(self, handler_fn):
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *a):
                pass

            def _reply(self, code, body, ctype):
                self.send_response(code)
                self.send_header("Content-Type", ctype)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def do_GET(self):
                outer.requests.append((self.command, self.path))
                self.rfile.read(int(self.headers.get("Content-Length") or 0))
                self._reply(*handler_fn(self.path))

            do_POST = do_GET

        srv = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        srv.daemon_threads = True
        threading.Thread(target=srv.serve_forever, daemon=True).start()
        self.servers.append(srv)
        return srv.server_address[1]

    def stop(self):
        self.release.set()
        for s in self.servers:
            s.shutdown()
            s.server_close()

    def _store(self, path):
        if path.startswith("/api/appdetails"):
            appid = "".join(c for c in path.split("appids=")[1].split("&")[0] if c.isdigit())
            shots = [{"id": k, "path_full": "https://shared.akamai.steamstatic.com/store_item_assets/steam/apps/"
                      f"{appid}/ss_{k}.1920x1080.jpg"} for k in (1, 2)]
            title = {str(a): en for a, en, _, _ in POOL}.get(appid, f"Game {appid}")
            data = {appid: {"success": True, "data": {
                "name": title, "release_date": {"date": "2020 年 1 月 1 日"},
                "developers": ["Dev"], "publishers": ["Pub"], "genres": [{"description": "动作"}],
                "platforms": {"windows": True}, "detailed_description": "<p>简介</p>",
                "screenshots": shots}}}
            # Compact like the real store: the screenshot addresses are found in the raw text.
            return 200, json.dumps(data, ensure_ascii=False, separators=(",", ":")).encode(), "application/json"
        if path.startswith("/api/storesearch"):
            self.searches.append(path)
            if self.hold_after and len(self.searches) == self.hold_after:
                self.held.set()
                self.release.wait(120)
            term = urllib.parse.unquote(path.split("term=")[1].split("&")[0])
            items = [{"type": "app", "name": en, "id": a} for a, en, zh, nick in POOL
                     if en.lower() in term.lower() or zh in term or term in zh]
            return 200, json.dumps({"total": len(items), "items": items}, ensure_ascii=False,
                                   separators=(",", ":")).encode(), "application/json"
        return 404, b"{}", "application/json"

    def _cdn(self, path):
        return 200, b"\x89PNG\r\n\x1a\n" + b"\x00" * 64, "image/jpeg"

    def _chat(self, path):
        answer = {"choices": [{"message": {"role": "assistant", "content": self.chat_answer}}]}
        return 200, json.dumps(answer, ensure_ascii=False).encode(), "application/json"


# --- journeys ------------------------------------------------------------------------

def journey_offline(app, menu, services):
    app.click_until(*READ_DATA, lambda r: table_rows_shown(r) >= len(GAMES), "the games listed")
    # The plain per-pair rule: it lists 艾尔登法环's second pool entry as a candidate too.
    before = app.capture()
    app.click_until(*CLEAN_TITLES, lambda r: kbx.diff_share(before, r, (318, 303, 334, 319)) > 0.05,
                    "智能清洗标题 unticked", tries=1)
    app.click(*LIBRARY_MATCH)
    # The run ends with its summary popup over the window; 确定 closes it.
    close_popup(app, "library-summary")
    app.park()
    rows = app.capture()
    states = [row_state(rows, i) for i in range(len(GAMES))]
    expect = ["green", "green", "green", "green", "red", "yellow", "red", "green"]
    kbx.check(states == expect, f"row colours after the match: {states}, expected {expect}")

    # 艾尔登法环 has two candidates in the pool: pick the second in its combo.
    before = app.capture()
    app.click_until(420, row_y(0), lambda r: kbx.diff_share(before, r, (395, row_y(0) + 14, 693, 765)) > 0.02,
                    "the candidate list", tries=2)
    appid_cell = (452, row_y(0) - 8, 530, row_y(0) + 8)
    app.click_until(480, row_y(0) + 47, lambda r: kbx.diff_share(before, r, appid_cell) > 0.05,
                    "the second candidate chosen", tries=1, timeout=30)
    app.park()

    tick_three(app, ROW0_Y)
    kbx.check(not any(ticked(app.capture(), i) for i in range(3, len(GAMES))), "rows below the range were ticked")
    app.click(*DOWNLOAD)
    files = ["capsule_616x353.jpg", "info.txt", "ss_01_1920x1080.jpg", "ss_02_1920x1080.jpg"]
    expect = {name: files for _, name, _ in GAMES[:3]}
    kbx.wait_for(lambda: media_listing(menu) == expect, "three games downloaded into media/", timeout=180)
    # The report line ends the run; its tooltip lists the games.
    app.wait_capture(lambda r: all(row_state(r, i) == "green" for i in range(3))
                     and kbx.colour_share(r, STATUS_BOX, lambda p: max(p) > 150) > 0.01,
                     "the final report line", timeout=60)
    kbx.check(any(p.startswith("/steam/apps/") for _, p in services.requests), "no capsule request reached the CDN")
    # The chosen candidate decides what is fetched for 艾尔登法环.
    kbx.check(any("appids=2622380" in p for _, p in services.requests), "the chosen candidate's appid was not used")


LOCAL_BROWSE = (341, 106)
LOCAL_START = (65, 295)
LOCAL_COPY = (174, 295)
LOCAL_ROW0_Y = 346
RESOURCE_FOLDERS = {
    "艾尔登法环": ["cover.png", "shot1.jpg", "简介.txt"],
    "Stardew Valley": ["cover.png", "info.txt"],
    "空洞骑士 Hollow Knight": ["folder.jpg", "说明.txt", "readme.doc"],
    "Hades": ["cover.png"],
}


def make_resources(folder):
    for name, files in RESOURCE_FOLDERS.items():
        d = os.path.join(folder, name)
        os.makedirs(d, exist_ok=True)
        for f in files:
            with open(os.path.join(d, f), "wb") as out:
                out.write(f"{name}/{f}".encode("utf-8"))


def make_picker_stub(bin_dir, answer):
    """A desktop folder dialog stand-in: prints the chosen folder like the real one does."""
    os.makedirs(bin_dir, exist_ok=True)
    path = os.path.join(bin_dir, "zenity")
    with open(path, "w", encoding="utf-8") as f:
        f.write("#!/bin/sh\nprintf '%s\\n' " + "'" + answer.replace("'", "'\\''") + "'\n")
    os.chmod(path, 0o755)


def journey_local(app, menu, services):
    app.click_until(*READ_DATA, lambda r: table_rows_shown(r) >= len(GAMES), "the games listed")
    before = app.capture()
    app.click_until(*MODE_LOCAL, lambda r: kbx.diff_share(before, r, (9, 90, 693, 360)) > 0.05, "local mode")
    app.park()
    empty_field = app.capture()
    field = (100, 98, 300, 114)
    app.click_until(*LOCAL_BROWSE, lambda r: kbx.diff_share(empty_field, r, field) > 0.02,
                    "the chosen folder in the 资源目录 field")
    app.click(*LOCAL_START)
    close_popup(app, "match-popup")
    app.park()
    rows = app.capture()

    def local_state(r, i):
        p = r[LOCAL_ROW0_Y + i * ROW_H - 9][330]
        return "red" if p[0] > p[1] + 8 else ("dark" if kbx.is_dark(p) else "matched")

    states = [local_state(rows, i) for i in range(len(GAMES))]
    kbx.check(states[0] != "red" and states[1] != "red" and states[2] != "red",
              f"艾尔登法环, Stardew Valley and 空洞骑士 should match a folder: {states}")
    kbx.check(states[6] == "red", f"魔兽争霸III has no folder: {states}")

    tick_three(app, LOCAL_ROW0_Y)
    app.click(*LOCAL_COPY)
    close_popup(app, "copy-popup")

    got = media_listing(menu)
    expect = {
        "艾尔登法环": ["cover.png", "shot1.jpg", "简介.txt"],
        "Stardew Valley": ["cover.png", "info.txt"],
        "空洞骑士": ["folder.jpg", "说明.txt"],
    }
    kbx.check(got == expect, f"media/ holds {got}, expected {expect}")
    with open(os.path.join(menu, "media", "艾尔登法环", "cover.png"), "rb") as b:
        kbx.check(b.read() == "艾尔登法环/cover.png".encode(), "copied file differs from its source")


CHAT_ANSWER = "巫师3 The Witcher 3=角色扮演|冒险\n"
PASTED_ANSWER = ("好的，分类如下：\n艾尔登法环=动作|角色扮演\n空洞骑士=动作|冒险\nStardew Valley=模拟\n"
                 "双人成行=冒险|多人\n不存在的游戏=动作\n美丽水世界=科幻\n")


def journey_listed(app, menu, services):
    app.click_until(*READ_DATA, lambda r: table_rows_shown(r) >= len(GAMES), "the games listed")


def journey_ai(app, menu, services):
    """Follows journey_local or journey_listed in the same window: the games are listed already."""
    empty = app.capture()
    app.click_until(*MAKE_PROMPT, lambda r: kbx.diff_share(empty, r, PROMPT_BOX) > 0.01, "the prompt in the box")
    app.set_clipboard("")
    app.click(*COPY_PROMPT)
    prompt = kbx.wait_for(lambda: app.get_clipboard() if "艾尔登法环" in app.get_clipboard() else None,
                          "the prompt on the clipboard", timeout=30)
    kbx.check(all(w in prompt for w in ["魔兽争霸III", "角色扮演", "多人"]), f"the copied prompt: {prompt!r}")

    def paste_analyze_write(answer, label):
        shown = app.capture()
        app.set_clipboard(answer)
        app.click_until(*PASTE_ANSWER, lambda r: kbx.diff_share(shown, r, PROMPT_BOX) > 0.01,
                        f"the pasted answer ({label})")
        app.click(*ANALYZE)
        close_popup(app, f"analysis-{label}")
        app.click(*WRITE_DB)
        close_popup(app, f"write-{label}")

    # 覆盖 (the default): the answer's categories replace the old ones.
    paste_analyze_write(PASTED_ANSWER, "overwrite")
    # Unknown games and categories outside the list are left out; games not answered keep theirs.
    want = {name: cat for _, name, cat in GAMES}
    want.update({"艾尔登法环": "动作|角色扮演", "空洞骑士": "动作|冒险", "Stardew Valley": "模拟", "双人成行": "冒险|多人"})
    cats = categories_in_db(menu)
    kbx.check(cats == want, f"data.db after 覆盖: {cats}, expected {want}")

    # 追加: new categories are added behind the old ones.
    app.click(*MODE_APPEND)
    paste_analyze_write("魔兽争霸III=模拟|策略\n", "append")
    cats = categories_in_db(menu)
    kbx.check(cats["魔兽争霸III"] == "策略|模拟", f"魔兽争霸III after 追加: {cats['魔兽争霸III']!r}")

    # 生成结果 against the loopback chat service: key, request, answer in the box.
    app.click(*API_KEY)
    app.type("sk-loopback-test")
    app.key("Return")
    shown = app.capture()
    app.click(*GEN_RESULT)
    close_popup(app, "generated")
    app.wait_capture(lambda r: kbx.diff_share(shown, r, PROMPT_BOX) > 0.005, "the answer in the box")
    app.click(*ANALYZE)
    close_popup(app, "analysis-generated")
    app.click(*WRITE_DB)
    close_popup(app, "write-generated")
    cats = categories_in_db(menu)
    kbx.check(cats["巫师3 The Witcher 3"] == "角色扮演|冒险", f"巫师3 after 生成结果: {cats['巫师3 The Witcher 3']!r}")


PROGRESS_BOX = (9, 771, 650, 789)


def journey_online(app, menu, services):
    app.click_until(*READ_DATA, lambda r: table_rows_shown(r) >= len(GAMES), "the games listed")
    idle = app.capture()
    services.hold_after = 3
    app.click(*STEAM_MATCH)
    kbx.wait_for(services.held.is_set, "the third store search", timeout=60)
    app.park()
    app.wait_capture(lambda r: kbx.diff_share(idle, r, PROGRESS_BOX) > 0.02, "the progress bar")
    app.click(*STEAM_MATCH)  # 取消匹配 stands in its place while the job runs
    services.release.set()
    app.park()
    app.wait_capture(lambda r: kbx.diff_share(idle, r, PROGRESS_BOX) < 0.01, "the job to end", timeout=60)
    rows = app.capture()
    kbx.check(len(services.searches) == 3, f"{len(services.searches)} searches after cancelling during the third")
    states = [row_state(rows, i) for i in range(len(GAMES))]
    kbx.check(states[3:] == ["red"] * (len(GAMES) - 3), f"games after the cancel were touched: {states}")

    # Again: games that already have a match are skipped, the others are searched.
    first = list(services.searches)
    app.click(*STEAM_MATCH)
    kbx.wait_for(lambda: len(services.searches) >= len(GAMES), "the second run's searches", timeout=120)
    app.wait_capture(lambda r: kbx.diff_share(idle, r, PROGRESS_BOX) < 0.01, "the second run to end", timeout=60)
    app.park()
    again = services.searches[len(first):]
    kbx.check(len(again) == len(GAMES) - 3, f"second run searched {len(again)} games, expected {len(GAMES) - 3}")
    kbx.check(not set(again) & set(first[:2]), "the second run searched matched games again")

    # Right click 巫师3 The Witcher 3 (no store hit for that name): look it up by its appid.
    target = 4
    kbx.check(row_state(app.capture(), target) == "red", "巫师3 The Witcher 3 should have no match yet")
    before = app.capture()
    app.click_until(200, row_y(target), lambda r: kbx.diff_share(before, r, (150, row_y(target), 693, 765)) > 0.02,
                    "the row's context menu", button=3)
    app.click_until(280, row_y(target) + 36, lambda r: find_popup(r) is not None, "the appid dialog", tries=1)
    x0, ty, _ = find_popup(app.capture())
    app.click(x0 + 106, ty + 58)
    app.type("292030")
    app.click_until(x0 + 56, ty + 89, lambda r: find_popup(r) is None and row_state(r, target) != "red",
                    "the lookup to fill the row", tries=1, timeout=60)
    app.park()
    kbx.wait_for(lambda: any("appids=292030" in p for _, p in services.requests), "a store request for appid 292030",
                 timeout=60)


def check_no_display(binary, menu):
    """Without a reachable X display the program says so and ends with -1 (no abort)."""
    for display in [None, ":987"]:
        env = kbx.program_env(display or "", menu)
        if display is None:
            del env["DISPLAY"]
        proc = subprocess.run(kbx.command(binary), env=env, capture_output=True, timeout=60)
        err = proc.stderr.decode("utf-8", "replace")
        kbx.check(proc.returncode == 255 and "初始化失败" in err, f"DISPLAY={display}: exit {proc.returncode}: {err}")


def run(name, binary, shots_root):
    shots = os.path.join(shots_root, name)
    kbx.remove_tree(shots)
    os.makedirs(shots, exist_ok=True)
    menu = kbx.temp_dir(f"kb-{name}-")
    services = Services(chat_answer=CHAT_ANSWER)
    steps = {"offline": [journey_offline], "online": [journey_online], "local-ai": [journey_local, journey_ai],
             "ai": [journey_listed, journey_ai]}[name]
    t0 = time.monotonic()
    try:
        make_menu(menu)
        if name == "offline":
            check_no_display(binary, menu)
        resources = os.path.join(menu + "-res", "资源")
        make_resources(resources)
        stub_bin = os.path.join(menu + "-res", "bin")
        make_picker_stub(stub_bin, resources)
        app = kbx.App(binary, menu, shots, extra_env={"KESTRELBOX_HOST_MAP": services.host_map()},
                         path_prefix=stub_bin)
        try:
            for step in steps:
                step(app, menu, services)
        except Exception:
            try:
                app.capture("failure.png")
            except Exception:
                pass
            raise
        finally:
            code = app.close()
        kbx.check(code == 0, f"the program ended with {code}")
        # Only the ai steps write categories; every journey leaves data.db sound.
        cats = categories_in_db(menu)
        kbx.check(journey_ai in steps or cats == {n: c for _, n, c in GAMES}, f"data.db changed: {cats}")
    finally:
        services.stop()
        kbx.remove_tree(menu)
        kbx.remove_tree(menu + "-res")
    print(f"journey {name}: ok in {time.monotonic() - t0:.1f}s")


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        run(argv[2], argv[0], argv[1])
    except kbx.Failure as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
