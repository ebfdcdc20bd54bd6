// The local library match: every game of the menu against the translated title pool,
// offline, on a background thread. The job computes on copies taken at its start and writes
// each game's result into its row under gMatchMtx for that one game only, so the table keeps
// drawing while it runs.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "data/game.h"
#include "data/options.h"
#include "match/compare.h"
#include "match/pool.h"
#include "match/rules.h"
#include "match/title_score.h"

// What the job needs of one row, copied when it starts.
struct LibraryGameInput {
    size_t row = 0;
    std::string name;
    int32_t imageCount = -1;
    int32_t textCount = -1;
    std::string matchedName;
};

struct LibraryJob {
    std::vector<PoolItem> pool;
    std::string sourcePath;
    int32_t simThresholdIndex = 4;
    int32_t existingResourceMode = 0;
    int32_t existingMatchMode = 0;
    std::vector<LibraryGameInput> games;
    int32_t workers = 0;  // threads to spread the games over; 0 = one per core
    bool cleanTitles = false;  // startLibraryMatch copies the panel's "智能清洗标题"
};

struct LibraryRunSummary {
    int32_t total = 0;    // games processed (all games minus the skipped ones)
    int32_t hits = 0;
    int32_t percent = 0;
    int32_t exact = 0;
    int32_t fuzzy = 0;
    int32_t missed = 0;
    int32_t skipped = 0;
    size_t poolSize = 0;
    std::string sourcePath;
    bool cancelled = false;
};

// The score of one pool entry for a game by the per-pair rule: byte-equal to name, name_cn or
// nickname gives 1; otherwise by the game name's type (English: name and nickname; Chinese:
// name_cn and nickname; Mixed: the part holding the Chinese characters against name_cn, the
// other part against name, 0.6 c + 0.4 e when both score, else the best of c, e and the
// nickname). The mixed title's parts go by script, not by their place in the title: taken in
// place order, "Battlefield 战地3" would compare "战地3" with English names, and its key "3" equals
// that of any Chinese-named sequel's English field.
float scorePoolEntry(const std::string& gameName, const PoolItem& entry);

// The two parts of a mixed title as (part holding the Chinese characters, other part), whichever
// order splitNameToCnEn returned them in. Shared with the folder match.
std::pair<std::string, std::string> scriptParts(const std::string& gameName);

// Names an entry is scored by besides its fields, by entry in pool order:
//  - each side of a Chinese name that lists alternatives ("WARRIORS OROCHI 4 / 無雙OROCHI 蛇魔３");
//  - borrowed: an entry without a Chinese name (an edition, an add-on, a later part) takes the
//    Chinese name of its base, the entry with a Chinese name whose English name is the longest
//    that starts the entry's own and ends with a word of it (compared as nameKeyOf), followed
//    by the rest of its English name: "英雄传说：空之轨迹 SC" for "The Legend of Heroes: Trails in
//    the Sky SC". Bases of one English name with different Chinese names lend nothing (which one
//    is meant is unknown), nor does a short English name (it begins too many other games) or a
//    base that many listings extend (a platform of add-ons).
struct ExtraName {
    uint32_t entry = 0;
    std::string text;
    bool borrowed = false;
};
std::vector<ExtraName> extraNames(const std::vector<PoolItem>& pool);

// With cleaning: byte-equal to a field gives 1, otherwise the best score of any cleaned form of
// the title (titleFormUnits) against the entry's names, its nickname and its extra names (the
// entry's own, of extraNames). A borrowed name scores kListingOpenScore at most: the title does
// not name the listing by a name of its own.
float scoreCleanedEntry(const std::string& gameName, const std::vector<TitleUnits>& forms, const PoolItem& entry,
                        std::span<const ExtraName> extras);

// Keeps one candidate per appid (the first with the highest score), then orderCandidates.
std::vector<MatchCandidate> finishLibraryCandidates(std::vector<MatchCandidate> cands);

// A pool entry (by index) and its score for one title.
struct ScoredEntry {
    uint32_t entry = 0;
    float score = 0.0f;
};
// The unit sets of the base names of the pool's remasters and bundles (editionBase), and whether
// an entry that names no edition is such a base: which listing a title naming it means stays open.
std::unordered_set<std::string> editionBases(const std::vector<PoolItem>& pool);
bool remasterListed(const PoolItem& e, const std::unordered_set<std::string>& bases);
using RemasterListed = std::function<bool(const PoolItem&)>;

// The candidates of the scored entries (finishLibraryCandidates), then the cut of cleaned titles
// (cutNearTies, the entries ranked by the name of theirs the title holds, then listingRank), then
// the scores as shown (showCleanedScores). A 精确 score drops to kListingOpenScore when the title
// breaks off inside a bracket or the entry has a remaster listed beside it. extras: extraNames of
// the pool, names the title may hold too. cleaned: the title's cleanTitleForms, in which it holds
// names.
std::vector<MatchCandidate> finishCleanedCandidates(const std::string& gameName, const std::vector<TitleForm>& cleaned,
                                                    const std::vector<PoolItem>& pool,
                                                    std::vector<ScoredEntry> scored, const RemasterListed& remastered,
                                                    std::span<const ExtraName> extras);

// Straightforward evaluation: every pool entry scored in pool order. The threshold and the
// candidates' scores are on the shown scale (matchThreshold) under either rule.
std::vector<MatchCandidate> matchGameReference(const std::string& gameName, const std::vector<PoolItem>& pool,
                                               float threshold, bool cleanTitles = false);

// The pool's comparison keys and lookup tables, built once per run. The pool must outlive it.
struct PoolIndex;
struct PoolIndexDeleter {
    void operator()(PoolIndex* p) const;
};
using PoolIndexPtr = std::unique_ptr<PoolIndex, PoolIndexDeleter>;
// The index serves one rule: the per-pair rule, or the cleaned titles' scorer.
PoolIndexPtr buildPoolIndex(const std::vector<PoolItem>& pool, bool cleanTitles = false);

// Per-thread working memory of matchGameFast.
struct MatchScratch {
    std::vector<uint32_t> acc;
    std::vector<uint32_t> touched;
    std::vector<uint32_t> entries;
    std::vector<uint32_t> acc2;
    std::vector<float> best;
};

// Same result as matchGameReference under the index's rule (same candidates, same scores),
// without scoring the pairs whose score provably stays below the threshold.
std::vector<MatchCandidate> matchGameFast(const std::string& gameName, const PoolIndex& index, float threshold,
                                          MatchScratch& scratch);

// The job's body. Writes each processed row (matched by index and unchanged name) under
// gMatchMtx, sets the status counters, stores the summary in gMatchDebug, then switches the wait
// dialog and gLocalMatchRunning off and raises gLibraryMatchFinished.
LibraryRunSummary runLibraryMatch(LibraryJob job);

// Summary shown to the user when the job ends.
std::string formatLibrarySummary(const LibraryRunSummary& s);

// The button handler of "本地库匹配" (frame thread): loads kbdata.csv or kbdata.db from the
// program's folder, copies the rows and starts the job on gMatchThread. Sets gMatchMsg (and
// gMatchShowModal) when there is something to tell. Returns true when the job was started.
bool startLibraryMatch(const PanelOptions& opts);

// Raised by the job when its summary is ready; the frame clears it and shows the summary.
extern std::atomic<bool> gLibraryMatchFinished;
