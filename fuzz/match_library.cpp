// The library match's fast path against the straightforward evaluation with cleaned titles, on
// any title and any small pool (appids repeat, names share text): the same candidates with the
// same scores, the short names, the exact-name ties and the names borrowed from a base included.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/check.h"
#include "match/library_match.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const auto option = fdp.ConsumeIntegralInRange<int32_t>(0, 6);
    const std::string game = fdp.ConsumeRandomLengthString(128);
    std::vector<PoolItem> pool;
    while (fdp.remaining_bytes() > 0 && pool.size() < 24) {
        PoolItem e;
        e.appid = fdp.ConsumeIntegralInRange<int32_t>(1, 12);
        e.name = fdp.ConsumeRandomLengthString(64);
        e.name_cn = fdp.ConsumeRandomLengthString(64);
        e.nickname = fdp.ConsumeRandomLengthString(32);
        // An edition or an add-on of an earlier entry, borrowing its Chinese name.
        if (!pool.empty() && fdp.ConsumeBool()) {
            e.name = pool[fdp.ConsumeIntegralInRange<size_t>(0, pool.size() - 1)].name + ' ' + e.name;
            e.name_cn.clear();
        }
        pool.push_back(std::move(e));
    }
    const float threshold = matchThreshold(option);
    const PoolIndexPtr index = buildPoolIndex(pool, true);
    MatchScratch scratch;
    // Equal scores may come in any order.
    const auto key = [](const std::vector<MatchCandidate>& v) {
        std::vector<std::tuple<float, int32_t, std::string>> k;
        for (const MatchCandidate& c : v) {
            fuzzcheck::checkScore(c.score);
            k.emplace_back(-c.score, c.appid, c.name);
        }
        std::sort(k.begin(), k.end());
        return k;
    };
    const auto fast = key(matchGameFast(game, *index, threshold, scratch));
    const auto reference = key(matchGameReference(game, pool, threshold, true));
    check(fast.size() == reference.size() && fast.size() <= 10);
    for (size_t i = 0; i < fast.size(); ++i)
        check(fuzzcheck::sameBits(std::get<0>(fast[i]), std::get<0>(reference[i])) &&
              std::get<1>(fast[i]) == std::get<1>(reference[i]) && std::get<2>(fast[i]) == std::get<2>(reference[i]));
    return 0;
}
