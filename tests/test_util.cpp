#include "tests/test_util.h"

#include "data/files.h"
#include "tests/platform.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kbtest {

// create_directory fails on a name taken by another test or process, so the loop ends on a
// folder of our own.
TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("kbtest-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(dir)) {
            const std::u8string u = dir.generic_u8string();
            path = std::string(u.begin(), u.end()) + "/";
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(pathFromUtf8(path), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(pathFromUtf8(path), ec);
}

ScopedMenuDir::ScopedMenuDir(const std::string& dir) {
    if (const char* p = std::getenv("KESTRELBOX_DIR")) {
        previous = p;
        hadPrevious = true;
    }
    setEnv("KESTRELBOX_DIR", dir);
}

ScopedMenuDir::~ScopedMenuDir() {
    if (hadPrevious) setEnv("KESTRELBOX_DIR", previous);
    else unsetEnv("KESTRELBOX_DIR");
}

static void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error("sql: " + m);
    }
}

void makeGamesDb(const std::string& path, const std::vector<DbRow>& rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + path);
    exec(db, "CREATE TABLE IF NOT EXISTS games (id INTEGER PRIMARY KEY, name TEXT, category TEXT, icon BLOB, path TEXT)");
    // One transaction: without it every row is its own synced commit (minutes for 20,000 rows).
    exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO games (id, name, category, icon) VALUES (?,?,?,?)", -1, &st, nullptr);
    auto bind = [&](int i, const std::optional<std::string>& v, bool blob) {
        const int n = v ? static_cast<int>(v->size()) : 0;
        if (!v) sqlite3_bind_null(st, i);
        else if (blob) sqlite3_bind_blob(st, i, v->data(), n, SQLITE_TRANSIENT);
        else sqlite3_bind_text(st, i, v->data(), n, SQLITE_TRANSIENT);
    };
    for (const DbRow& r : rows) {
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, r.id);
        bind(2, r.name, false);
        bind(3, r.category, false);
        bind(4, r.icon, true);
        if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error("insert");
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

void execSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + path);
    exec(db, sql.c_str());
    sqlite3_close(db);
}

std::vector<std::string> queryColumn(const std::string& dbPath, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("query " + dbPath + ": " + sql);
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        out.push_back(t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, 0)))
                        : std::string("<NULL>"));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(pathFromUtf8(path), std::ios::binary);
    if (!f) throw std::runtime_error("write " + path);
    f << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream f(pathFromUtf8(path), std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void makeDirs(const std::string& path) { std::filesystem::create_directories(pathFromUtf8(path)); }

bool fileExists(const std::string& path) { return std::filesystem::exists(pathFromUtf8(path)); }

}  // namespace kbtest
