// The menu's games: records read from data.db and the one write made back into it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
    int32_t id = 0;
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
    int32_t downloadState = 0;  // 0 none, 1 complete, 2 partial, 3 failed
};

// Owned by the frame thread; replaced as a whole by loadGamesFromDB. Workers only
// write match fields of existing rows, under gMatchMtx (data/jobs.h).
extern std::vector<GameInfo> dummyGames;
extern std::vector<std::string> aiPreview;

// Replaces dummyGames and aiPreview with the games of <exe dir>/data.db.
void loadGamesFromDB();

// Steam appid of the chosen candidate, 0 when there is none.
int32_t chosenAppid(const GameInfo& g);

// Installs a new candidate list: selects the first and mirrors it into the row.
void installCandidates(GameInfo& g, std::vector<MatchCandidate> cands, const std::string& method);
// Empties the match fields (the table's 清除匹配).
void clearMatch(GameInfo& g);

struct CategoryUpdate {
    int32_t id = 0;
    std::string category;
};

struct CategoryWriteResult {
    bool opened = false;          // database opened and statement prepared
    std::vector<bool> ok;         // one per update, in order
    int succeeded = 0;
    int failed = 0;
};

// UPDATE games SET category=? WHERE id=? once per pair, each committing on its own.
// dbPath empty = <exe dir>/data.db. A busy timeout lets a menu holding the file briefly finish.
CategoryWriteResult writeCategories(const std::vector<CategoryUpdate>& updates,
                                    const std::string& dbPath = std::string());
