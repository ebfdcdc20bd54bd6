// rankStoreItems and orderCandidates on any game name and store list: the ranking as
// defined, and the ordering rule on raw scores with NaN among them.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "match/normalize.h"
#include "match/score.h"
#include "match/text.h"

using fuzzcheck::check;

namespace {

// The ranking as defined, through the plain scoreMatch of each part.
std::vector<MatchCandidate> referenceRank(const std::string& game, const std::vector<StoreItem>& items) {
    const auto parts = [](const std::string& raw) {
        std::string cn, en;
        splitCnEn(raw, cn, en);
        return std::vector<std::string>{cn, en, raw};
    };
    const auto g = parts(game);
    std::vector<MatchCandidate> out;
    for (const StoreItem& item : items) {
        const auto t = parts(item.name);
        float best = 0.0f;
        for (int k = 0; k < 3; ++k) {
            const std::string ng = normalizeForMatch(g[k]), nt = normalizeForMatch(t[k]);
            if (ng.empty() || nt.empty()) continue;
            best = std::max(best, scoreMatch(g[k], t[k], ng, nt, tokenizeUtf8(ng), tokenizeUtf8(nt), k == 0));
        }
        out.push_back(MatchCandidate{item.appid, item.name, "", best});
    }
    orderCandidates(out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const std::string game = fdp.ConsumeRandomLengthString(256);
    std::vector<StoreItem> items;
    while (fdp.remaining_bytes() > 0 && items.size() < 40)
        items.push_back(StoreItem{static_cast<int32_t>(items.size()), fdp.ConsumeRandomLengthString(256)});

    // The reference's candidates, each one of the items, in the same order with the same score.
    const std::vector<MatchCandidate> ranked = rankStoreItems(game, items);
    const std::vector<MatchCandidate> expected = referenceRank(game, items);
    check(ranked.size() == std::min(items.size(), kMaxCandidates) && expected.size() == ranked.size());
    for (size_t i = 0; i < ranked.size(); ++i) {
        const MatchCandidate& c = ranked[i];
        check(expected[i].appid == c.appid && fuzzcheck::sameBits(expected[i].score, c.score));
        check(c.name == items[c.appid].name && c.extra.empty());
    }

    // The ordering rule on raw scores, NaN included.
    std::vector<MatchCandidate> list;
    for (size_t i = 0; i < size && i < 32; ++i) {
        const float score = data[i] == 0xFF ? std::numeric_limits<float>::quiet_NaN() : (data[i] % 8) / 7.0f;
        list.push_back(MatchCandidate{static_cast<int32_t>(i), "", "", score});
    }
    const size_t before = list.size();
    orderCandidates(list);
    check(list.size() == std::min(before, kMaxCandidates));
    for (size_t i = 1; i < list.size(); ++i) {
        const float x = list[i - 1].score;
        const float y = list[i].score;
        check(std::isnan(y) || (!std::isnan(x) && x >= y));
        if (x == y) check(list[i - 1].appid < list[i].appid);
    }
    return 0;
}
