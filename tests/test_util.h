// Shared test helpers: temporary folders, scoped environment variables, real data.db files.
#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kbtest {

// A fresh folder under /tmp, removed with its content on destruction.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;  // ends with "/"
};

// Sets an environment variable for the scope's lifetime, then restores what was there.
struct ScopedEnv {
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    std::string name;
    std::optional<std::string> previous;
};
struct ScopedMenuDir : ScopedEnv {
    explicit ScopedMenuDir(const std::string& dir) : ScopedEnv("KESTRELBOX_DIR", dir) {}
};
// No request may run while the host map changes.
struct ScopedHostMap : ScopedEnv {
    explicit ScopedHostMap(const std::string& map) : ScopedEnv("KESTRELBOX_HOST_MAP", map) {}
};

struct DbRow {
    int64_t id = 0;
    std::optional<std::string> name, category;
};

// Creates <path> with the menu's games table and the rows.
void makeGamesDb(const std::string& path, const std::vector<DbRow>& rows);
// Runs SQL statements on <path>, creating the file when missing.
void execSql(const std::string& path, const std::string& sql);
// Runs one SQL query and returns the first column of every row as text ("<NULL>" for NULL).
std::vector<std::string> queryColumn(const std::string& dbPath, const std::string& sql);

// Creates the missing folders of path first.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
void makeDirs(const std::string& path);
bool fileExists(const std::string& path);
// The names in a folder; none for a folder that is not there.
std::set<std::string> filesIn(const std::string& dir);

}  // namespace kbtest
