#!/usr/bin/env python3
"""User journeys: the real program in a private Xvfb, driven by xdotool, with a loopback server
standing in for the Steam store, its image CDN and a chat service (KESTRELBOX_HOST_MAP). They assert
on what the program leaves behind (media files, data.db) and on the window where nothing is; a
failing journey saves its window into <screenshot folder>/<journey>/.

Usage: journeys.py <kestrelbox binary> <screenshot folder> offline|online|local-ai|ai
(ai: the AI steps of local-ai without its local copy, for the Windows build)
"""
import contextlib
import http.server
import json
import os
import sqlite3
import subprocess
import sys
import threading
import time
import urllib.parse
import struct
import zlib

import kbx

# Window-relative positions of the controls in the fixed 1200x800 layout.
ROW0_Y = 395
ROW_H = 26
TICK_X = 31
PROMPT_BOX = (712, 240, 1180, 755)

# The journeys' menu, real Steam titles as users type them: name and category of ids 1, 2, ...
GAMES = {"艾尔登法环": "动作", "Stardew Valley": "", "空洞骑士": "", "美丽水世界": "", "巫师3 The Witcher 3": "角色扮演",
         "艾尔登法环 黄金树幽影": "", "魔兽争霸III": "策略", "双人成行": ""}
POOL = [
    (1245620, "ELDEN RING", "艾尔登法环", "老头环"), (413150, "Stardew Valley", "星露谷物语", ""),
    (367520, "Hollow Knight", "空洞骑士", ""), (264710, "Subnautica", "深海迷航", "美丽水世界"),
    (292030, "The Witcher 3: Wild Hunt", "巫师 3：狂猎", ""), (1426210, "It Takes Two", "双人成行", ""),
    (374320, "DARK SOULS III", "黑暗之魂3", "黑魂3"), (2622380, "ELDEN RING NIGHTREIGN", "艾尔登法环：黑夜君临", ""),
]


def make_menu(folder):
    os.makedirs(folder, exist_ok=True)
    with contextlib.closing(sqlite3.connect(os.path.join(folder, "data.db"))) as con:
        con.execute("CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, path TEXT, category TEXT, icon BLOB)")
        con.executemany("INSERT INTO games (name, category) VALUES (?, ?)", GAMES.items())
        con.commit()
    with open(os.path.join(folder, "set.ini"), "w", encoding="utf-8") as f:
        f.write("[Categories]\ncategories=动作|冒险|角色扮演|策略|模拟|生存|多人\n")
    with open(os.path.join(folder, "kbdata.csv"), "w", encoding="utf-8") as f:
        f.write("appid,name,name_cn,nickname\n" + "".join(f'{a},"{en}",{zh},{nick}\n' for a, en, zh, nick in POOL))


def categories_in_db(folder):
    with contextlib.closing(sqlite3.connect(os.path.join(folder, "data.db"))) as con:
        kbx.check(con.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "data.db is damaged")
        return dict(con.execute("SELECT name, IFNULL(category, '') FROM games"))


def row_y(i):
    return ROW0_Y + i * ROW_H


def read_data(app, *_):
    """读取数据, until the last game's row shows (unmatched rows are tinted red)."""
    app.click_until(106, 24, lambda r: row_state(r, len(GAMES) - 1) == "red", "the games listed")  # 读取数据


def popup_shown(rows):
    """A popup's title bar is up: the main window has none, so its colour shows nowhere else."""
    return kbx.colour_share(rows, (150, 60, 1050, 760), lambda p: p == (41, 74, 122), step=4) > 0.002


def close_popup(app, name):
    app.wait_capture(popup_shown, f"the {name} popup", timeout=120)
    # Tab puts the keyboard focus on the popup's only button (确定); Return presses it.
    return app.act_until(lambda: app.key("Tab", "Return"), lambda r: not popup_shown(r), f"the {name} popup to close")


def tick_three(app, top):
    """Ticks the first row, then Shift-clicks the third: the row between is ticked too, which
    the files downloaded or copied for exactly these three games show."""
    app.click(TICK_X, top)
    app.click(TICK_X, top + 2 * ROW_H, modifiers="shift")
    app.park()


def media_listing(menu):
    media = os.path.join(menu, "media")
    return {d: sorted(os.listdir(os.path.join(media, d))) for d in os.listdir(media)} if os.path.isdir(media) else {}


def row_state(rows, i):
    """The row's tint above its text: 'green' exact, 'yellow' fuzzy, 'red' missed."""
    r, g, b = rows[330, row_y(i) - 9]
    if b > r + 30:
        return "hovered"
    if r > b + 15 and g > b + 15:
        return "yellow"
    if g > r + 8:
        return "green"
    if r > g + 8:
        return "red"
    return "other"


def png(rgb, size=(616, 353)):
    """A real PNG of one colour: what the window library decodes for the hover preview."""
    w, h = size
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\x00" + bytes(rgb) * w for _ in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


CDN_RGB, MEDIA_RGB = (200, 40, 200), (250, 140, 0)
CDN_CAPSULE = png(CDN_RGB)


CHAT_ANSWER = "巫师3 The Witcher 3=角色扮演|冒险\n"


class Handler(http.server.BaseHTTPRequestHandler):
    """The store API, its image CDN and a chat service in one, answering by path (see answer)."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):  # quiet
        pass

    def do_GET(self):
        self.server.requests.append(self.path)
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        body, ctype = answer(self.path)
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_POST = do_GET


def start_services():
    """The stand-in services on 127.0.0.1; the paths asked for collect in .requests."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.requests = []
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def answer(path):
    """(body, content type) of the stand-in services for a request path."""
    if path.startswith("/api/appdetails"):
        appid = "".join(c for c in path.split("appids=")[1].split("&")[0] if c.isdigit())
        shots = [{"id": k, "path_full": "https://shared.akamai.steamstatic.com/store_item_assets/steam/apps/"
                  f"{appid}/ss_{k}.1920x1080.jpg"} for k in (1, 2)]
        title = {str(a): en for a, en, _, _ in POOL}.get(appid, f"Game {appid}")
        data = {appid: {"success": True, "data": {"name": title, "screenshots": shots}}}
    elif path.startswith("/api/storesearch"):
        term = urllib.parse.unquote(path.split("term=")[1].split("&")[0])
        items = [{"type": "app", "name": en, "id": a} for a, en, zh, nick in POOL
                 if en.lower() in term.lower() or zh in term or term in zh]
        data = {"total": len(items), "items": items}
    elif "/chat/completions" in path:
        data = {"choices": [{"message": {"role": "assistant", "content": CHAT_ANSWER}}]}
    elif path.endswith("/capsule_616x353.jpg"):
        return CDN_CAPSULE, "image/jpeg"
    else:
        return b"\x89PNG\r\n\x1a\n" + b"\x00" * 64, "image/jpeg"
    # Compact like the real store: the screenshot addresses are found in the raw text.
    return json.dumps(data, ensure_ascii=False, separators=(",", ":")).encode(), "application/json"


def journey_offline(app, menu, services):
    read_data(app)
    # The plain per-pair rule: it lists 艾尔登法环's second pool entry as a candidate too.
    before = app.capture()
    app.click_until(326, 311, lambda r: kbx.diff_share(before, r, (318, 303, 334, 319)) > 0.05,  # 智能清洗标题
                    "智能清洗标题 unticked", tries=1)
    app.click(181, 344)  # 本地库匹配
    # The run ends with its summary popup over the window; 确定 closes it.
    close_popup(app, "library-summary")
    app.park()
    rows = app.capture()
    states = [row_state(rows, i) for i in range(len(GAMES))]
    expect = ["green", "green", "green", "green", "red", "yellow", "red", "green"]
    kbx.check(states == expect, f"row colours after the match: {states}, expected {expect}")

    # 艾尔登法环 has two candidates in the pool: pick the second in its combo.
    before = open_candidates(app)
    appid_cell = (452, row_y(0) - 8, 530, row_y(0) + 8)
    app.click_until(480, row_y(0) + 47, lambda r: kbx.diff_share(before, r, appid_cell) > 0.05,
                    "the second candidate chosen", tries=1, timeout=30)
    app.park()

    tick_three(app, ROW0_Y)
    app.click(287, 341)  # 下载资源
    files = ["capsule_616x353.jpg", "info.txt", "ss_01_1920x1080.jpg", "ss_02_1920x1080.jpg"]
    expect = {name: files for name in list(GAMES)[:3]}
    kbx.wait_for(lambda: media_listing(menu) == expect, "three games downloaded into media/", timeout=180)
    # The chosen candidate decides what is fetched for 艾尔登法环.
    kbx.check(any("appids=2622380" in p for p in services.requests), "the chosen candidate's appid was not used")
    hover_previews(app, menu, services)


def open_candidates(app):
    """Opens the first row's candidate list; returns the window before it opened."""
    before = app.capture()
    app.click_until(420, row_y(0), lambda r: kbx.diff_share(before, r, (395, row_y(0) + 14, 693, 765)) > 0.02,
                    "the candidate list", tries=2)
    return before


def capsule_asks(services, appid):
    return sum(p.endswith(f"/apps/{appid}/capsule_616x353.jpg") for p in services.requests)


def hover_previews(app, menu, services):
    """Hovering the matched name shows the capsule downloaded into media/ (recoloured here, so
    the picture tells its source); an item of the open candidate list shows the CDN's."""
    # A game's result reaches its row when the job ends: complete rows lose their tick.
    ticked = lambda r: kbx.colour_share(r, (TICK_X - 8, row_y(0) - 8, TICK_X + 8, row_y(2) + 8),
                                        lambda p: p[2] > 200 and p[0] < 120, step=1) > 0
    app.wait_capture(lambda r: not ticked(r), "the download's results in the table", timeout=60)
    with open(os.path.join(menu, "media", "Stardew Valley", "capsule_616x353.jpg"), "wb") as f:
        f.write(png(MEDIA_RGB))
    asked = capsule_asks(services, 413150)
    shows = lambda rgb: lambda r: kbx.colour_share(r, (0, 0, 1200, 800), lambda p: p == rgb, step=4) > 0.02
    app.hover(420, row_y(1))
    app.wait_capture(shows(MEDIA_RGB), "the downloaded capsule in the tooltip", timeout=30)
    app.capture("preview-media.png")
    kbx.check(capsule_asks(services, 413150) == asked, "the downloaded capsule was fetched again")
    app.park()
    open_candidates(app)
    app.hover(480, row_y(0) + 25)  # its first item, ELDEN RING: not downloaded
    app.wait_capture(shows(CDN_RGB), "the CDN's capsule in the tooltip", timeout=60)
    app.capture("preview-cdn.png")
    kbx.check(capsule_asks(services, 1245620) == 1, "the CDN capsule was not asked once")
    app.key("Escape")


LOCAL_ROW0_Y = 346
RESOURCE_FOLDERS = {
    "艾尔登法环": ["cover.png", "shot1.jpg", "简介.txt"],
    "Stardew Valley": ["cover.png", "info.txt"],
    "空洞骑士 Hollow Knight": ["folder.jpg", "说明.txt", "readme.doc"],
    "Hades": ["cover.png"],
}


def make_resources(home):
    """HOME with the resource folders in 资源/ and, in bin/, a desktop folder dialog that the shell
    cannot run (127), so that the window's own folder browser opens."""
    for name, files in RESOURCE_FOLDERS.items():
        os.makedirs(os.path.join(home, "资源", name))
        for f in files:
            open(os.path.join(home, "资源", name, f), "wb").close()
    zenity = os.path.join(home, "bin", "zenity")
    os.makedirs(os.path.dirname(zenity))
    with open(zenity, "w", encoding="utf-8") as f:
        f.write("#!/bin/sh\nexit 127\n")
    os.chmod(zenity, 0o755)


def journey_local(app, menu, services):
    read_data(app)
    before = app.capture()
    app.click_until(203, 78, lambda r: kbx.diff_share(before, r, (9, 90, 693, 360)) > 0.05, "local mode")  # 本地匹配
    app.park()
    empty_field = app.capture()
    app.click_until(341, 106, popup_shown, "the folder browser")  # 浏览...
    # The window's own browser (centred, 520x420) opens in HOME, which holds bin/ and 资源/:
    # its second entry (资源), then its 选择 button.
    app.click(370, 302)
    app.click_until(397, 587, lambda r: kbx.diff_share(empty_field, r, (100, 98, 300, 114)) > 0.02,
                    "the chosen folder in the 资源目录 field", tries=1)
    # 艾尔登法环, Stardew Valley and 空洞骑士 match a folder: what is copied below shows it.
    app.click(65, 295)  # 开始匹配
    close_popup(app, "match-popup")
    app.park()
    tick_three(app, LOCAL_ROW0_Y)
    app.click(174, 295)  # 复制资源
    close_popup(app, "copy-popup")

    got = media_listing(menu)
    # Copied as they are, except a file of no resource type (readme.doc).
    expect = {name: RESOURCE_FOLDERS[name] for name in ("艾尔登法环", "Stardew Valley")}
    expect["空洞骑士"] = ["folder.jpg", "说明.txt"]
    kbx.check(got == expect, f"media/ holds {got}, expected {expect}")


PASTED_ANSWER = ("好的，分类如下：\n艾尔登法环=动作|角色扮演\n空洞骑士=动作|冒险\nStardew Valley=模拟\n"
                 "双人成行=冒险|多人\n不存在的游戏=动作\n美丽水世界=科幻\n")


def journey_ai(app, menu, services):
    """Follows journey_local or read_data in the same window: the games are listed already."""
    def box_text(part):
        """复制AI提示词 puts the box's text on the clipboard; waits until it holds part."""
        app.set_clipboard("")
        app.click(853, 199)  # 复制AI提示词
        return kbx.wait_for(lambda: app.get_clipboard() if part in app.get_clipboard() else None,
                            f"{part!r} copied from the box", timeout=30)

    empty = app.capture()
    app.click_until(755, 199, lambda r: kbx.diff_share(empty, r, PROMPT_BOX) > 0.01, "生成AI提示词's prompt")
    prompt = box_text("艾尔登法环")
    kbx.check(all(w in prompt for w in ["魔兽争霸III", "角色扮演", "多人"]), f"the copied prompt: {prompt!r}")

    # 覆盖 (the default): the pasted answer's categories replace the old ones.
    shown = app.capture()
    app.set_clipboard(PASTED_ANSWER)
    app.click_until(966, 199, lambda r: kbx.diff_share(shown, r, PROMPT_BOX) > 0.01, "the pasted answer")  # 粘贴AI结果
    app.click(1064, 199)  # 分析AI结果
    close_popup(app, "analysis")
    app.click(1155, 199)  # 写入数据库
    close_popup(app, "write")
    # Unknown games and categories outside the list are left out; games not answered keep theirs.
    want = GAMES | {"艾尔登法环": "动作|角色扮演", "空洞骑士": "动作|冒险", "Stardew Valley": "模拟", "双人成行": "冒险|多人"}
    cats = categories_in_db(menu)
    kbx.check(cats == want, f"data.db after 覆盖: {cats}, expected {want}")

    # 生成结果 against the loopback chat service: key, request, its answer in the box.
    app.click(1155, 104)  # 密钥
    app.type("sk-loopback-test")
    app.key("Return")
    app.click(813, 134)  # 生成结果
    close_popup(app, "generated")
    box_text(CHAT_ANSWER.strip())


PROGRESS_BOX = (9, 771, 650, 789)


def journey_online(app, menu, services):
    read_data(app)
    idle = app.capture()
    app.click(65, 344)  # steam匹配
    kbx.wait_for(lambda: sum(p.startswith("/api/storesearch") for p in services.requests) >= len(GAMES),
                 "a store search for every game", timeout=120)
    app.park()
    rows = app.wait_capture(lambda r: kbx.diff_share(idle, r, PROGRESS_BOX) < 0.01, "the match to end", timeout=60)
    # 巫师3 The Witcher 3 has no store hit for that name: look it up by its appid (right click).
    target = 4
    kbx.check(row_state(rows, target) == "red", "巫师3 The Witcher 3 should have no match yet")
    app.click_until(200, row_y(target), lambda r: kbx.diff_share(rows, r, (150, row_y(target), 693, 765)) > 0.02,
                    "the row's context menu", button=3)
    app.click_until(280, row_y(target) + 36, popup_shown, "the appid dialog", tries=1)
    # The dialog opens centred on the window: its field, then its 确定 button. Only the store's
    # answer for that appid can fill the row.
    app.click(596, 403)
    app.type("292030")
    app.click_until(546, 434, lambda r: not popup_shown(r) and row_state(r, target) != "red",
                    "the lookup to fill the row", tries=1, timeout=60)
    app.click_until(28, 24, popup_shown, "the help window")  # 帮助


def check_no_display(binary, menu):
    """Without a reachable X display the program says so and ends with -1 (no abort)."""
    proc = subprocess.run(kbx.command(binary), env=kbx.program_env(":987", menu), capture_output=True, timeout=60)
    err = proc.stderr.decode("utf-8", "replace")
    kbx.check(proc.returncode == 255 and "初始化失败" in err, f"without a display: exit {proc.returncode}: {err}")


def run(name, binary, shots_root):
    shots = os.path.join(shots_root, name)
    kbx.remove_tree(shots)
    menu = kbx.temp_dir(f"kb-{name}-")
    services = start_services()
    url = f"http://127.0.0.1:{services.server_address[1]}"
    hosts = ["store.steampowered.com", "cdn.akamai.steamstatic.com", "shared.akamai.steamstatic.com",
             "dashscope.aliyuncs.com"]
    home = menu + "-res"
    env = {"KESTRELBOX_HOST_MAP": ",".join(f"{h}={url}" for h in hosts), "HOME": home,
           "PATH": os.path.join(home, "bin") + os.pathsep + os.environ.get("PATH", "")}
    steps = {"offline": [journey_offline], "online": [journey_online], "local-ai": [journey_local, journey_ai],
             "ai": [read_data, journey_ai]}[name]
    t0 = time.monotonic()
    try:
        make_menu(menu)
        if name == "offline":
            check_no_display(binary, menu)
        make_resources(home)
        app = kbx.App(binary, menu, shots, extra_env=env)
        try:
            for step in steps:
                step(app, menu, services)
        except Exception:
            with contextlib.suppress(Exception):
                app.capture("failure.png")
            raise
        finally:
            code = app.close()
        kbx.check(code == 0, f"the program ended with {code}")
        # Only the ai steps write categories; every journey leaves data.db sound.
        cats = categories_in_db(menu)
        kbx.check(journey_ai in steps or cats == GAMES, f"data.db changed: {cats}")
    finally:
        services.shutdown()
        services.server_close()
        kbx.remove_tree(menu)
        kbx.remove_tree(home)
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
