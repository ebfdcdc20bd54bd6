// What the game table does to the list, apart from drawing: sorting, ticking with
// Shift ranges, choosing a candidate, and the texts of its labels.
#pragma once
#include "data/game.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Sort key ids (the columns' user ids).
enum SortKey : int {
    kSortId = 0,
    kSortName = 1,
    kSortImages = 2,
    kSortTexts = 3,
    kSortCategory = 4,
    kSortMethod = 5,
    kSortMatchedName = 6,
    kSortSimilarity = 7,
    kSortAiPreview = 8,
    kSortTick = 9,  // the tick column, not sortable
    kSortAppid = 10,
};

// Three-way comparison (-1, 0, 1) of two rows by a sort key id; texts compare byte-wise,
// unknown ids compare equal. pa/pb are the rows' AI previews.
int compareGames(const GameInfo& a, const GameInfo& b, const std::string& pa, const std::string& pb, int keyId);

// Stable sort of the list by one key; preview entries move with their rows (missing
// entries become empty ones). Records are moved, not copied.
void sortGames(std::vector<GameInfo>& games, std::vector<std::string>& preview, int keyId, bool descending);

// A header click not yet applied. It waits while the list holds fewer than two games.
struct SortRequest {
    bool pending = false;
    bool any = false;  // false: the third click removed the sort
    int keyId = 0;
    bool descending = false;
};
// Applies a pending request when the list holds at least two games; true when it sorted.
bool applyPendingSort(SortRequest& req, std::vector<GameInfo>& games, std::vector<std::string>& preview);

// After row's tick box changed to games[row].ticked: clears every download colour, with
// shift copies the new value over the range from the anchor, and moves the anchor.
void onTickToggled(std::vector<GameInfo>& games, int32_t row, bool shift, int32_t& lastClickedRow);

// Candidate k becomes the chosen one (ignored when k is out of range).
void chooseCandidate(GameInfo& g, size_t k);

// "name##row_<id>" with the visible name cut to 63 bytes; the id suffix always stays whole.
std::string rowLabel(const GameInfo& g);
// "<name>  [<score>%]##ci_<id>_<k>"
std::string candidateLabel(const MatchCandidate& c, int64_t gameId, size_t k);
