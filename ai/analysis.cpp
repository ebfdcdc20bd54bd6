#include "ai/analysis.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "ai/requests.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "data/utf8.h"
#include "match/normalize.h"

namespace {

bool isTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Leading spaces/tabs and trailing tabs/CRs/spaces go; what is left is the piece.
std::string trimPiece(const std::string& s, size_t begin, size_t end) {
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t')) ++begin;
    while (end > begin && isTrailingBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// Calls fn(piece) for every non-empty trimmed piece of a '|'-separated text.
template <class Fn>
void forEachPiece(const std::string& s, size_t begin, size_t end, Fn&& fn) {
    while (begin < end) {
        size_t bar = s.find('|', begin);
        if (bar == std::string::npos || bar > end) bar = end;
        std::string piece = trimPiece(s, begin, bar);
        if (!piece.empty()) fn(piece);
        begin = bar + 1;
    }
}

// The first index of each key wins, as a linear first-match search would find it.
std::unordered_map<std::string, size_t> firstIndexByKey(const std::vector<std::string>& keys) {
    std::unordered_map<std::string, size_t> m;
    m.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) m.emplace(keys[i], i);
    return m;
}

std::string categoriesFor(const std::string& line, size_t from, const std::vector<std::string>& whitelist,
                          const std::unordered_map<std::string, size_t>& catIndex, int32_t& dropped) {
    std::string out;
    std::vector<bool> taken(whitelist.size(), false);  // a category is kept once, where it first appears
    forEachPiece(line, from, line.size(), [&](const std::string& piece) {
        auto it = catIndex.find(normalizeGameName(piece));
        if (it == catIndex.end()) {
            ++dropped;
            return;
        }
        if (taken[it->second]) return;
        taken[it->second] = true;
        if (!out.empty()) out += '|';
        out += whitelist[it->second];
    });
    return out;
}

}  // namespace

const char* const kPasteCutWarning = "\n[警告] 剪贴板文本超出大文本框容量 64KB，末尾已截断。";

bool pasteIntoPromptBox(char* box, size_t boxSize, const std::string& text) {
    if (boxSize == 0) return false;
    std::memset(box, 0, boxSize);
    const size_t n = copyUtf8IntoBuffer(box, boxSize, text);
    if (n == text.size()) return false;
    gGenOk = true;
    gGenMsg = "剪贴板文本已粘贴到大文本框（" + std::to_string(n) + " / " + std::to_string(text.size()) + " 字节）。" +
              kPasteCutWarning;
    return true;
}

AnalysisCounts analyzeAiAnswer(const std::string& answer, const std::vector<GameInfo>& games,
                               const std::vector<std::string>& whitelist, std::vector<std::string>& previews) {
    AnalysisCounts c;
    for (std::string& p : previews) p.clear();
    c.gameTotal = static_cast<int32_t>(games.size());

    std::vector<std::string> gameKeys;
    gameKeys.reserve(games.size());
    for (const GameInfo& g : games) gameKeys.push_back(normalizeGameName(g.name));
    std::vector<std::string> catKeys;
    catKeys.reserve(whitelist.size());
    for (const std::string& cat : whitelist) catKeys.push_back(normalizeGameName(cat));
    const auto gameIndex = firstIndexByKey(gameKeys);
    std::vector<std::string> names;
    names.reserve(games.size());
    for (const GameInfo& g : games) names.push_back(g.name);
    const auto exactIndex = firstIndexByKey(names);
    const auto catIndex = firstIndexByKey(catKeys);

    size_t pos = 0;
    while (pos < answer.size()) {
        size_t nl = answer.find('\n', pos);
        if (nl == std::string::npos) nl = answer.size();
        size_t end = nl;
        while (end > pos && isTrailingBlank(answer[end - 1])) --end;
        const std::string line = answer.substr(pos, end - pos);
        pos = nl + 1;
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        ++c.parsed;
        // A name that keys to nothing names no game, not the first game without a name.
        const std::string key = normalizeGameName(line.substr(0, eq));
        if (key.empty()) continue;
        // The game of exactly this name before the first one of the same key ("Doom" is not "DOOM").
        auto exact = exactIndex.find(trimPiece(line, 0, eq));
        auto keyed = gameIndex.find(key);
        if (exact == exactIndex.end() && keyed == gameIndex.end()) continue;
        const size_t row = exact != exactIndex.end() ? exact->second : keyed->second;
        ++c.matched;
        std::string cats = categoriesFor(line, eq + 1, whitelist, catIndex, c.dropped);
        if (row < previews.size()) previews[row] = std::move(cats);
    }
    c.invalid = c.parsed == 0;
    return c;
}

AnalysisCounts analyzeAiAnswer(const char* box) {
    return analyzeAiAnswer(std::string(box), dummyGames, gCategoryList, aiPreview);
}

std::string mergeCategories(const std::string& current, const std::string& preview) {
    std::vector<std::string> names;
    auto add = [&](const std::string& piece) {
        if (std::find(names.begin(), names.end(), piece) == names.end()) names.push_back(piece);
    };
    forEachPiece(current, 0, current.size(), add);
    forEachPiece(preview, 0, preview.size(), add);
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) out += '|';
        out += n;
    }
    return out;
}
