#include "app/table_logic.h"

#include "data/utf8.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace {

template <class T>
int threeWay(const T& a, const T& b) {
    if (a < b) return -1;
    if (b < a) return 1;
    return 0;
}

// std::string compares through char_traits<char>, which orders bytes as unsigned char.
int bytes(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int compareGames(const GameInfo& a, const GameInfo& b, const std::string& pa, const std::string& pb, int keyId) {
    switch (keyId) {
        case kSortId: return threeWay(a.id, b.id);
        case kSortName: return bytes(a.name, b.name);
        case kSortImages: return threeWay(a.imageCount, b.imageCount);
        case kSortTexts: return threeWay(a.textCount, b.textCount);
        case kSortCategory: return bytes(a.category, b.category);
        case kSortMethod: return bytes(a.matchMethod, b.matchMethod);
        case kSortMatchedName: return bytes(a.matchedName, b.matchedName);
        case kSortSimilarity: return threeWay(a.similarity, b.similarity);
        case kSortAiPreview: return bytes(pa, pb);
        case kSortAppid: return threeWay(chosenAppid(a), chosenAppid(b));
        default: return 0;
    }
}

void sortGames(std::vector<GameInfo>& games, std::vector<std::string>& preview, int keyId, bool descending) {
    const size_t n = games.size();
    static const std::string EMPTY;
    auto previewOf = [&](size_t i) -> const std::string& { return i < preview.size() ? preview[i] : EMPTY; };
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const int c = compareGames(games[x], games[y], previewOf(x), previewOf(y), keyId);
        return descending ? c > 0 : c < 0;
    });
    std::vector<GameInfo> sortedGames;
    std::vector<std::string> sortedPreview;
    sortedGames.reserve(n);
    sortedPreview.reserve(n);
    for (size_t i : order) {
        sortedGames.push_back(std::move(games[i]));
        sortedPreview.push_back(i < preview.size() ? std::move(preview[i]) : std::string());
    }
    games = std::move(sortedGames);
    preview = std::move(sortedPreview);
}

bool applyPendingSort(SortRequest& req, std::vector<GameInfo>& games, std::vector<std::string>& preview) {
    if (!req.pending || games.size() < 2) return false;
    req.pending = false;
    if (!req.any) return false;
    sortGames(games, preview, req.keyId, req.descending);
    return true;
}

void onTickToggled(std::vector<GameInfo>& games, int32_t row, bool shift, int32_t& lastClickedRow) {
    const int32_t n = static_cast<int32_t>(games.size());
    if (row < 0 || row >= n) return;
    for (GameInfo& g : games) g.downloadState = kRowNotDownloaded;
    if (shift && lastClickedRow >= 0 && lastClickedRow < n) {
        const bool value = games[static_cast<size_t>(row)].ticked;
        const int32_t lo = std::min(lastClickedRow, row), hi = std::max(lastClickedRow, row);
        for (int32_t i = lo; i <= hi; ++i) games[static_cast<size_t>(i)].ticked = value;
    }
    lastClickedRow = row;
}

void chooseCandidate(GameInfo& g, size_t k) {
    if (k >= g.candidates.size()) return;
    g.selectedCandidate = static_cast<int32_t>(k);
    g.matchedName = g.candidates[k].name;
    g.similarity = g.candidates[k].score;
}

std::string rowLabel(const GameInfo& g) {
    return utf8Prefix(g.name, 63) + "##row_" + std::to_string(g.id);
}

std::string candidateLabel(const MatchCandidate& c, int64_t gameId, size_t k) {
    char score[32];
    std::snprintf(score, sizeof score, "%.0f", static_cast<double>(c.score) * 100.0);
    return c.name + "  [" + score + "%]##ci_" + std::to_string(gameId) + "_" + std::to_string(k);
}
