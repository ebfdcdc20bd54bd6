#include "data/game.h"

#include <sqlite3.h>

#include "data/paths.h"

std::vector<GameInfo> dummyGames;
std::vector<std::string> aiPreview;

namespace {
std::string columnText(sqlite3_stmt* st, int col) {
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}
}  // namespace

void loadGamesFromDB() {
    dummyGames.clear();
    aiPreview.clear();
    const std::string path = getExeDir() + "data.db";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        if (db) sqlite3_close(db);
        return;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT id, name, category, icon FROM games ORDER BY id", -1, &st,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            GameInfo g;
            g.id = sqlite3_column_int(st, 0);
            g.name = columnText(st, 1);
            g.category = columnText(st, 2);
            g.hasIcon = sqlite3_column_bytes(st, 3) > 0;
            dummyGames.push_back(std::move(g));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    aiPreview.resize(dummyGames.size());
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

CategoryWriteResult writeCategories(const std::vector<CategoryUpdate>& updates, const std::string& dbPath) {
    CategoryWriteResult r;
    const std::string path = dbPath.empty() ? getExeDir() + "data.db" : dbPath;
    sqlite3* db = nullptr;
    // Never create a database here: a missing file is a failure, not a new empty menu.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        if (db) sqlite3_close(db);
        return r;
    }
    sqlite3_busy_timeout(db, 3000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "UPDATE games SET category=? WHERE id=?", -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return r;
    }
    r.opened = true;
    r.ok.reserve(updates.size());
    for (const CategoryUpdate& u : updates) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        sqlite3_bind_text(st, 1, u.category.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, u.id);
        const int rc = sqlite3_step(st);
        const bool ok = rc == SQLITE_DONE;
        // One long wait is enough: a file that stayed locked through it is held for good,
        // so the remaining rows only wait briefly instead of 3 s each.
        if (rc == SQLITE_BUSY) sqlite3_busy_timeout(db, 200);
        r.ok.push_back(ok);
        (ok ? r.succeeded : r.failed)++;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
}
