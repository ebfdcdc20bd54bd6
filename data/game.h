// The menu's games: records read from data.db and the one write made back into it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

struct MatchCandidate {
    int32_t appid = 0;      // 0 for a local folder candidate
    std::string name;       // candidate title (folder name for a local candidate)
    std::string extra;      // full folder path for a local candidate, else empty
    float score = 0.0f;     // 0..1
};

// Invariant: matchedName/similarity mirror candidates[selectedCandidate]; an empty
// candidate list means empty matchedName, similarity 0 and (except for the local
// matches' "未命中") empty matchMethod.
struct GameInfo {
    int64_t id = 0;         // the menu's ids are 64-bit; NULL or text ids read as 0
    std::string name;
    int32_t imageCount = -1;
    int32_t textCount = -1;
    bool hasIcon = false;
    std::string category;
    std::string matchMethod;
    std::string matchedName;
    float similarity = 0.0f;
    std::vector<MatchCandidate> candidates;
    int32_t selectedCandidate = 0;
    bool ticked = false;
    int32_t downloadState = 0;  // kRowNotDownloaded, kRowDownloaded, kRowPartial, kRowDownloadFailed
    int32_t mediaAppid = 0;     // the appid this run's download wrote media/<name>/ for; 0 = none
};

// Values of GameInfo::downloadState: the last download batch's outcome for the row.
constexpr int32_t kRowNotDownloaded = 0;
constexpr int32_t kRowDownloaded = 1;
constexpr int32_t kRowPartial = 2;
constexpr int32_t kRowDownloadFailed = 3;

// Owned by the frame thread; replaced as a whole by loadGamesFromDB. Workers only
// write match fields of existing rows, under gMatchMtx (data/jobs.h).
extern std::vector<GameInfo> dummyGames;
extern std::vector<std::string> aiPreview;
// What the match handlers say when dummyGames is empty.
extern const char* const kLoadGamesFirstMessage;

// How long a database held by the menu is waited for, on reading and on writing.
constexpr int kDbBusyTimeoutMs = 3000;

// Replaces dummyGames and aiPreview with the games of <exe dir>/data.db (dbPath empty), opened
// read-only and never created. Returns "" or, when the file could not be read (wholly or
// part-way), the status line's "data.db 无法读取：<why>".
std::string loadGamesFromDB(const std::string& dbPath = std::string());
// SQLite's failure in words for the user (missing table or column, not a database, busy...).
std::string dbErrorText(sqlite3* db, int rc);

// Rows of the games named name (byte for byte), in table order. A game the menu lists twice
// (two installs, two versions) has one media folder, so every result for one of its rows
// belongs to all of them.
std::vector<size_t> rowsNamed(const std::vector<GameInfo>& games, const std::string& name);

// Steam appid of the chosen candidate, 0 when there is none.
int32_t chosenAppid(const GameInfo& g);

// Installs a new candidate list: selects the first and mirrors it into the row.
void installCandidates(GameInfo& g, std::vector<MatchCandidate> cands, const std::string& method);
// Empties the match fields (the table's 清除匹配).
void clearMatch(GameInfo& g);

// A row is named by its id and the name it had when loaded, so an id the menu gave to
// another game since then (or repeated in the table) never receives this game's category.
struct CategoryUpdate {
    int64_t id = 0;
    std::string name;
    std::string category;
};

// Why an update changed no row.
extern const char* const kRowChangedMessage;

// Why a write left data.db untouched as a whole.
enum class DbFault {
    None,
    CannotOpen,  // missing, not a database, no games table: not the menu's file
    InUse,       // another program holds it (busy or locked past kDbBusyTimeoutMs)
    ReadOnly,    // the file or its folder cannot be written
    Failed,      // anything else (disk full, I/O, commit)
};

struct CategoryWriteResult {
    bool opened = false;          // database opened and statement prepared
    std::string error;            // set when nothing was written at all (open, prepare, lock, commit)
    DbFault fault = DbFault::None;  // the kind of error
    std::vector<bool> ok;         // one per update, in order: its row was found and changed
    std::string rowError;         // why the first failed update failed
    int succeeded = 0;
    int failed = 0;
};

// All updates in one transaction: either every successful row is committed or (error set)
// none is. An update that finds no row fails alone. dbPath empty = <exe dir>/data.db. A menu
// holding the file is waited for kDbBusyTimeoutMs once. Before any row the transaction makes
// one harmless write, so a file or folder that cannot be written fails the whole run; an
// empty run does only that and rolls it back: it tells whether a write could succeed.
CategoryWriteResult writeCategories(const std::vector<CategoryUpdate>& updates,
                                    const std::string& dbPath = std::string());
