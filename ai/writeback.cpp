#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ai/analysis.h"
#include "data/game.h"
#include "data/files.h"
#include "data/paths.h"

namespace {

// Databases already copied by this process; the copy shows the state before its first write.
std::vector<std::string> gBackedUpDbs;

bool alreadyBackedUp(const std::string& dbPath) {
    for (const std::string& p : gBackedUpDbs)
        if (p == dbPath) return true;
    return false;
}

// Copies the database through SQLite's online backup, so a menu holding the file (or a
// journal beside it) still yields a consistent copy. Written beside the target under a
// temporary name and renamed, so an old copy is never left half overwritten.
bool copyDatabase(const std::string& from, const std::string& to, std::string& err) {
    const std::string tmp = to + ".tmp";
    std::error_code ec;
    std::filesystem::remove(pathFromUtf8(tmp), ec);
    sqlite3* src = nullptr;
    sqlite3* dst = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(from.c_str(), &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        err = "无法读取 " + from;
    } else if (sqlite3_open_v2(tmp.c_str(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        err = "无法创建 " + tmp;
    } else {
        sqlite3_busy_timeout(src, kDbBusyTimeoutMs);
        sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main");
        if (!b) {
            err = sqlite3_errmsg(dst);
        } else {
            const int rc = sqlite3_backup_step(b, -1);
            sqlite3_backup_finish(b);
            if (rc == SQLITE_DONE) ok = true;
            else err = sqlite3_errstr(rc);
        }
    }
    if (dst) sqlite3_close(dst);
    if (src) sqlite3_close(src);
    if (ok) {
        std::filesystem::rename(pathFromUtf8(tmp), pathFromUtf8(to), ec);
        if (ec) {
            ok = false;
            err = "无法写入 " + to + "：" + ec.message();
        }
    }
    if (!ok) std::filesystem::remove(pathFromUtf8(tmp), ec);
    return ok;
}

}  // namespace

void forgetDatabaseBackups() { gBackedUpDbs.clear(); }

WriteBackCounts writeBackPreviews(int32_t writeMode, std::vector<GameInfo>& games,
                                  std::vector<std::string>& previews, const std::string& dbPath) {
    WriteBackCounts c;
    const size_t rows = std::min(games.size(), previews.size());
    std::vector<size_t> rowOf;
    std::vector<CategoryUpdate> updates;
    for (size_t r = 0; r < rows; ++r) {
        if (previews[r].empty()) continue;
        const std::string text = writeMode == 1 ? mergeCategories(games[r].category, previews[r]) : previews[r];
        updates.push_back({games[r].id, games[r].name, text});
        rowOf.push_back(r);
    }
    if (alreadyBackedUp(dbPath)) c.backupPath = dbPath + ".bak";
    if (updates.empty()) {
        c.nothing = true;
        return c;
    }
    // An empty run tries a write and takes it back: a missing, foreign, busy or read-only file
    // fails the press before a copy is made for a write that cannot happen.
    if (const CategoryWriteResult probe = writeCategories({}, dbPath); !probe.error.empty()) {
        c.openFail = !probe.opened;
        c.error = probe.error;
        c.fault = probe.fault;
        return c;
    }
    if (!alreadyBackedUp(dbPath)) {
        if (!copyDatabase(dbPath, dbPath + ".bak", c.backupError)) {
            c.backupFail = true;
            return c;
        }
        gBackedUpDbs.push_back(dbPath);
        c.backupPath = dbPath + ".bak";
    }
    const CategoryWriteResult res = writeCategories(updates, dbPath);
    c.error = res.error;
    c.fault = res.fault;
    c.openFail = !res.opened;
    if (!res.error.empty()) return c;
    c.failReason = res.rowError;
    for (size_t i = 0; i < updates.size(); ++i) {
        if (i < res.ok.size() && res.ok[i]) {
            ++c.succeeded;
            games[rowOf[i]].category = updates[i].category;
            previews[rowOf[i]].clear();
        } else {
            ++c.failed;
        }
    }
    return c;
}

WriteBackCounts writeBackPreviews(int32_t writeMode) {
    return writeBackPreviews(writeMode, dummyGames, aiPreview, getExeDir() + "data.db");
}

static PopupLine colored(std::string text, float r, float g, float b) {
    PopupLine l;
    l.text = std::move(text);
    l.colored = true;
    l.r = r;
    l.g = g;
    l.b = b;
    l.a = 1.0f;
    return l;
}

static PopupLine plain(std::string text) {
    PopupLine l;
    l.text = std::move(text);
    return l;
}

static PopupLine wrappedLine(std::string text) {
    PopupLine l = plain(std::move(text));
    l.wrapped = true;
    return l;
}

static std::string format(const char* fmt, int a, int b = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

std::vector<PopupLine> analysisPopupLines(const AnalysisCounts& c) {
    if (c.invalid)
        return {colored("未检测到有效的 '游戏名=分类' 行。", 1.0f, 0.3f, 0.3f),
                plain("请确认已将 AI 返回的结果粘贴到大文本框。")};
    return {plain(format("解析行数    ：%d", c.parsed)),
            plain(format("匹配到游戏  ：%d / %d", c.matched, c.gameTotal)),
            plain(format("白名单外丢弃：%d 个分类", c.dropped))};
}

std::vector<PopupLine> writePopupLines(const WriteBackCounts& c) {
    if (c.nothing)
        return {colored("没有需要写入的条目。", 1.0f, 0.8f, 0.3f),
                plain("AI分类预览列全部为空，请先生成/粘贴/分析 AI 结果。")};
    // A file held or protected is no fault of the menu's data: say so before anything else.
    if (c.fault == DbFault::InUse)
        return {colored("data.db 正被其他程序使用，未写入任何内容。", 1.0f, 0.3f, 0.3f), wrappedLine(c.error)};
    if (c.fault == DbFault::ReadOnly)
        return {colored("data.db 无法写入，未写入任何内容。", 1.0f, 0.3f, 0.3f), wrappedLine(c.error)};
    if (c.openFail) return {colored("无法打开 data.db 或准备 SQL 语句。", 1.0f, 0.3f, 0.3f), wrappedLine(c.error)};
    if (c.backupFail)
        return {colored("无法在写入前备份 data.db，未写入任何内容。", 1.0f, 0.3f, 0.3f), wrappedLine(c.backupError)};
    if (!c.error.empty()) return {colored("写入失败，data.db 未作任何改动：", 1.0f, 0.3f, 0.3f), wrappedLine(c.error)};
    std::vector<PopupLine> v{plain(format("写入成功：%d 个游戏", c.succeeded))};
    if (c.failed > 0) {
        v.push_back(colored(format("写入失败：%d 个", c.failed), 1.0f, 0.5f, 0.3f));
        v.push_back(wrappedLine(c.failReason));
    }
    if (!c.backupPath.empty()) v.push_back(wrappedLine("写入前的数据库备份：" + c.backupPath));
    return v;
}
