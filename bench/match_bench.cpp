// Time per call of the matching functions on real titles (Chinese, English and
// mixed, 5 to 60 bytes), and heap allocations per call ("allocs" counter).
// Each iteration is one call, on the next title or pair of the sample.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "match/compare.h"
#include "match/normalize.h"
#include "match/score.h"
#include "match/text.h"

namespace {

std::atomic<long> gAllocs{0};

}  // namespace

// Replacing the global allocation functions lets the benchmark count heap
// allocations per call; GCC cannot see that new and free pair up here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t n) {
    gAllocs.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

const std::vector<std::string>& titles() {
    static const std::vector<std::string> list = [] {
        std::vector<std::string> out;
        std::ifstream in(KB_BENCH_DATA_DIR "/titles_sample.txt", std::ios::binary);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) out.push_back(line);
        if (out.empty()) {
            std::fprintf(stderr, "no titles in %s\n", KB_BENCH_DATA_DIR "/titles_sample.txt");
            std::exit(1);
        }
        return out;
    }();
    return list;
}

struct Pair {
    std::string a, b;
};

// Half unrelated titles (the common case when scanning a pool), half a title
// against an edition or sequel of itself.
const std::vector<Pair>& pairs() {
    static const std::vector<Pair> list = [] {
        const auto& t = titles();
        const char* const variants[] = {" 豪华版", " 2", " Remastered", "：重制版", " II"};
        std::vector<Pair> out;
        for (size_t i = 0; i < t.size(); ++i) {
            out.push_back({t[i], t[(i * 7 + 3) % t.size()]});
            out.push_back({t[i], t[i] + variants[i % 5]});
        }
        return out;
    }();
    return list;
}

// Runs fn once per iteration on successive elements and reports allocations.
template <class List, class Fn>
void runEach(benchmark::State& state, const List& list, Fn&& fn) {
    size_t i = 0;
    const long before = gAllocs.load();
    for (auto _ : state) {
        fn(list[i]);
        if (++i == list.size()) i = 0;
    }
    state.counters["allocs"] = benchmark::Counter(
        static_cast<double>(gAllocs.load() - before), benchmark::Counter::kAvgIterations);
}

void BM_normalizeForMatch(benchmark::State& state) {
    runEach(state, titles(), [](const std::string& t) {
        benchmark::DoNotOptimize(normalizeForMatch(t));
    });
}

void BM_normalizeForMatchInto(benchmark::State& state) {
    std::string out;
    runEach(state, titles(), [&](const std::string& t) {
        normalizeForMatchInto(t, out);
        benchmark::DoNotOptimize(out.data());
    });
}

void BM_compareChinese(benchmark::State& state) {
    runEach(state, pairs(), [](const Pair& p) {
        benchmark::DoNotOptimize(compareChinese(p.a, p.b));
    });
}

void BM_compareChineseKeys(benchmark::State& state) {
    std::vector<std::pair<ChineseKey, ChineseKey>> keys;
    for (const Pair& p : pairs()) keys.emplace_back(makeChineseKey(p.a), makeChineseKey(p.b));
    runEach(state, keys, [](const std::pair<ChineseKey, ChineseKey>& k) {
        benchmark::DoNotOptimize(compareChineseKeys(k.first, k.second));
    });
}

void BM_compareEnglish(benchmark::State& state) {
    runEach(state, pairs(), [](const Pair& p) {
        benchmark::DoNotOptimize(compareEnglish(p.a, p.b));
    });
}

void BM_compareEnglishKeys(benchmark::State& state) {
    std::vector<Pair> keys;
    for (const Pair& p : pairs()) keys.push_back({englishKey(p.a), englishKey(p.b)});
    runEach(state, keys, [](const Pair& k) {
        benchmark::DoNotOptimize(compareEnglishKeys(k.a, k.b));
    });
}

struct ScoreInput {
    std::string ra, rb, na, nb;
    std::vector<std::string> ta, tb;
};

void BM_scoreMatch(benchmark::State& state) {
    std::vector<ScoreInput> in;
    for (const Pair& p : pairs()) {
        ScoreInput s{p.a, p.b, normalizeForMatch(p.a), normalizeForMatch(p.b), {}, {}};
        s.ta = tokenizeUtf8(s.na);
        s.tb = tokenizeUtf8(s.nb);
        in.push_back(std::move(s));
    }
    runEach(state, in, [](const ScoreInput& s) {
        benchmark::DoNotOptimize(scoreMatch(s.ra, s.rb, s.na, s.nb, s.ta, s.tb, false));
    });
}

void BM_scoreMatchPrepared(benchmark::State& state) {
    std::vector<std::pair<MatchText, MatchText>> in;
    for (const Pair& p : pairs()) in.emplace_back(prepareMatchText(p.a), prepareMatchText(p.b));
    runEach(state, in, [](const std::pair<MatchText, MatchText>& s) {
        benchmark::DoNotOptimize(scoreMatchPrepared(s.first, s.second, false));
    });
}

// A game name against a store answer of ten titles, one of them its edition.
void BM_rankStoreItems(benchmark::State& state) {
    const auto& t = titles();
    struct Search {
        std::string game;
        std::vector<StoreItem> items;
    };
    std::vector<Search> searches;
    for (size_t i = 0; i < t.size(); ++i) {
        Search s{t[i], {}};
        for (int k = 0; k < 9; ++k)
            s.items.push_back({static_cast<int32_t>(k), t[(i * 13 + k * 17 + 1) % t.size()]});
        s.items.push_back({99, t[i] + " 豪华版"});
        searches.push_back(std::move(s));
    }
    runEach(state, searches, [](const Search& s) {
        benchmark::DoNotOptimize(rankStoreItems(s.game, s.items));
    });
}

}  // namespace

BENCHMARK(BM_normalizeForMatch);
BENCHMARK(BM_normalizeForMatchInto);
BENCHMARK(BM_compareChinese);
BENCHMARK(BM_compareChineseKeys);
BENCHMARK(BM_compareEnglish);
BENCHMARK(BM_compareEnglishKeys);
BENCHMARK(BM_scoreMatch);
BENCHMARK(BM_scoreMatchPrepared);
BENCHMARK(BM_rankStoreItems);

BENCHMARK_MAIN();
