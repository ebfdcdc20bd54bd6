#include "tests/test_util.h"

#include "data/files.h"
#include "tests/platform.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

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
    namespace fs = std::filesystem;
    fs::permissions(pathFromUtf8(path), fs::perms::owner_all, fs::perm_options::add, ec);
    std::filesystem::remove_all(pathFromUtf8(path), ec);
}

ScopedEnv::ScopedEnv(std::string n, const std::string& value) : name(std::move(n)) {
    if (const char* p = std::getenv(name.c_str())) previous = p;
    setEnv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (previous) setEnv(name, *previous);
    else unsetEnv(name);
}

// Runs sql on path; with rows, collects the first column of every result row ("<NULL>" for
// NULL) and opens the file read-only.
static void runSql(const std::string& path, const std::string& sql, std::vector<std::string>* rows) {
    auto collect = [](void* out, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "<NULL>");
        return 0;
    };
    sqlite3* db = nullptr;
    char* err = nullptr;
    const int flags = rows ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), rows ? +collect : nullptr, rows, &err) != SQLITE_OK) {
        const std::string m = err ? err : "open";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error("sql on " + path + ": " + m);
    }
    sqlite3_close(db);
}

void execSql(const std::string& path, const std::string& sql) { runSql(path, sql, nullptr); }

std::vector<std::string> queryColumn(const std::string& dbPath, const std::string& sql) {
    std::vector<std::string> out;
    runSql(dbPath, sql, &out);
    return out;
}

// NULL or a quoted text.
static std::string sqlLiteral(const std::optional<std::string>& v) {
    if (!v) return "NULL";
    std::string out = "'";
    for (const char c : *v) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

void makeGamesDb(const std::string& path, const std::vector<DbRow>& rows) {
    // One transaction: without it every row is its own synced commit (minutes for 20,000 rows).
    std::string sql =
        "CREATE TABLE IF NOT EXISTS games (id INTEGER PRIMARY KEY, name TEXT, category TEXT, icon BLOB, path TEXT);"
        "BEGIN;";
    for (const DbRow& r : rows)
        sql += "INSERT INTO games (id, name, category) VALUES (" + std::to_string(r.id) + "," + sqlLiteral(r.name) +
               "," + sqlLiteral(r.category) + ");";
    execSql(path, sql + "COMMIT;");
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(pathFromUtf8(path).parent_path());
    std::ofstream f(pathFromUtf8(path), std::ios::binary);
    if (!f) throw std::runtime_error("write " + path);
    f << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream f(pathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void makeDirs(const std::string& path) { std::filesystem::create_directories(pathFromUtf8(path)); }

bool fileExists(const std::string& path) { return std::filesystem::exists(pathFromUtf8(path)); }

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(pathFromUtf8(dir), ec)) {
        const std::u8string u = e.path().filename().u8string();
        names.emplace(u.begin(), u.end());
    }
    return names;
}

}  // namespace kbtest
