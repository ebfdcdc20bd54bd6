#include "data/game.h"

#include <sqlite3.h>

#include "data/paths.h"

std::vector<GameInfo> dummyGames;
std::vector<std::string> aiPreview;

const char* const kLoadGamesFirstMessage = "请先点击【读取数据】加载游戏。";
const char* const kRowChangedMessage = "游戏已在菜单中被修改或删除";

namespace {
std::string columnText(sqlite3_stmt* st, int col) {
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, col)))
             : std::string();
}

std::string menuDbPath(const std::string& dbPath) { return dbPath.empty() ? getExeDir() + "data.db" : dbPath; }
}  // namespace

std::string dbErrorText(sqlite3* db, int rc) {
    const std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    switch (rc & 0xFF) {
        case SQLITE_CANTOPEN: return "文件不存在或无法打开";
        case SQLITE_NOTADB: return "不是 SQLite 数据库文件";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "数据库文件正被其他程序（如菜单）使用，等待 " + std::to_string(kDbBusyTimeoutMs / 1000) +
                   " 秒后仍未释放";
        case SQLITE_READONLY:
            return rc == SQLITE_READONLY_DIRECTORY ? "数据库所在的文件夹只读，无法创建日志文件" : "数据库文件只读";
        case SQLITE_CORRUPT: return "数据库文件已损坏";
        default: break;
    }
    if (msg.rfind("no such table: games", 0) == 0) return "缺少 games 表";
    if (msg.rfind("no such column: ", 0) == 0) return "games 表缺少 " + msg.substr(16) + " 列";
    return msg;
}

std::string loadGamesFromDB(const std::string& dbPath) {
    dummyGames.clear();
    aiPreview.clear();
    sqlite3* db = nullptr;
    // Read-only and never created: a missing file must not become an empty menu database.
    int rc = sqlite3_open_v2(menuDbPath(dbPath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kDbBusyTimeoutMs);
        rc = sqlite3_prepare_v2(db, "SELECT id, name, category, icon FROM games ORDER BY id", -1, &st, nullptr);
    }
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            GameInfo g;
            g.id = sqlite3_column_int64(st, 0);
            g.name = columnText(st, 1);
            g.category = columnText(st, 2);
            g.hasIcon = sqlite3_column_bytes(st, 3) > 0;
            dummyGames.push_back(std::move(g));
        }
    }
    const std::string why = rc == SQLITE_DONE ? std::string() : "data.db 无法读取：" + dbErrorText(db, rc);
    sqlite3_finalize(st);
    sqlite3_close(db);
    aiPreview.resize(dummyGames.size());
    return why;
}

std::vector<size_t> rowsNamed(const std::vector<GameInfo>& games, const std::string& name) {
    std::vector<size_t> rows;
    for (size_t r = 0; r < games.size(); ++r)
        if (games[r].name == name) rows.push_back(r);
    return rows;
}

int32_t chosenAppid(const GameInfo& g) {
    if (g.selectedCandidate < 0 || g.selectedCandidate >= static_cast<int32_t>(g.candidates.size()))
        return 0;
    return g.candidates[static_cast<size_t>(g.selectedCandidate)].appid;
}

void installCandidates(GameInfo& g, std::vector<MatchCandidate> cands, const std::string& method) {
    g.candidates = std::move(cands);
    g.selectedCandidate = 0;
    if (g.candidates.empty()) {
        g.matchedName.clear();
        g.similarity = 0.0f;
        g.matchMethod.clear();
        return;
    }
    g.matchedName = g.candidates[0].name;
    g.similarity = g.candidates[0].score;
    g.matchMethod = method;
}

void clearMatch(GameInfo& g) {
    g.candidates.clear();
    g.selectedCandidate = 0;
    g.matchedName.clear();
    g.similarity = 0.0f;
    g.matchMethod.clear();
}

namespace {
bool exec(sqlite3* db, const char* sql, int& rc) {
    rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK;
}

// Rewrites the header's user_version with its own value: a write that changes nothing but
// needs what every row needs (a writable file and a journal beside it).
bool touchHeader(sqlite3* db, int& rc) {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    const int version = rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    return rc == SQLITE_OK && exec(db, ("PRAGMA user_version=" + std::to_string(version)).c_str(), rc);
}

DbFault faultOf(int rc, bool opened) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return DbFault::InUse;
        case SQLITE_READONLY: return DbFault::ReadOnly;
        case SQLITE_CANTOPEN: return opened ? DbFault::ReadOnly : DbFault::CannotOpen;  // once open: the journal
        default: return opened ? DbFault::Failed : DbFault::CannotOpen;
    }
}
}  // namespace

CategoryWriteResult writeCategories(const std::vector<CategoryUpdate>& updates, const std::string& dbPath) {
    CategoryWriteResult r;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    // Never create a database here: a missing file is a failure, not a new empty menu.
    int rc = sqlite3_open_v2(menuDbPath(dbPath).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);  // tells a read-only folder from a read-only file
        sqlite3_busy_timeout(db, kDbBusyTimeoutMs);
        rc = sqlite3_prepare_v2(db, "UPDATE games SET category=? WHERE id=? AND ifnull(name,'') IS ?", -1, &st,
                                nullptr);
    }
    r.opened = rc == SQLITE_OK;
    // IMMEDIATE takes the write lock up front, so a busy database fails before any row.
    if (r.opened && exec(db, "BEGIN IMMEDIATE", rc) && touchHeader(db, rc) && updates.empty()) {
        exec(db, "ROLLBACK", rc);
    } else if (r.opened && rc == SQLITE_OK) {
        r.ok.reserve(updates.size());
        for (const CategoryUpdate& u : updates) {
            sqlite3_reset(st);
            sqlite3_bind_text(st, 1, u.category.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 2, u.id);
            sqlite3_bind_text(st, 3, u.name.data(), static_cast<int>(u.name.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
            const bool ok = rc == SQLITE_DONE && sqlite3_changes(db) > 0;
            // Errors that end the transaction (busy, disk full, I/O) end the whole write.
            if (rc != SQLITE_DONE && (sqlite3_get_autocommit(db) || (rc & 0xFF) == SQLITE_BUSY)) break;
            if (!ok && r.rowError.empty()) r.rowError = rc == SQLITE_DONE ? kRowChangedMessage : dbErrorText(db, rc);
            r.ok.push_back(ok);
            (ok ? r.succeeded : r.failed)++;
        }
        sqlite3_reset(st);
        if (r.ok.size() == updates.size() && exec(db, "COMMIT", rc)) rc = SQLITE_DONE;
    }
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        r.error = dbErrorText(db, rc);
        r.fault = faultOf(rc, r.opened);
        if (db && !sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        r.ok.assign(updates.size(), false);
        r.succeeded = 0;
        r.failed = 0;
        r.rowError.clear();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
}
