// Local library match benchmark: 5,000 menu titles against a 100,000-entry translated pool with
// the default options (threshold index 4, cleaned titles; "--plain" measures the per-pair rule). Prints the whole job's time (index build included, games spread over
// the cores), the straightforward per-pair evaluation measured on a subset and extrapolated, the
// speed-up, and whether the subset's results are identical.
//
// Usage: bench_local [--plain] [pool.csv]   (a real kbdata.csv replaces the generated pool)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "data/game.h"
#include "data/jobs.h"
#include "match/library_match.h"
#include "match/pool.h"
#include "match/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

// A pool whose English words and Chinese characters follow the menu titles' own distributions,
// seeded with the real sample rows; fixed seed, so every run sees the same pool.
std::vector<PoolItem> generatePool(const std::vector<std::string>& titles, const std::vector<PoolItem>& real,
                                   size_t size) {
    std::vector<std::string> words, chars;
    for (const std::string& t : titles) {
        std::string w;
        for (size_t i = 0; i <= t.size(); ++i) {
            const unsigned char c = i < t.size() ? static_cast<unsigned char>(t[i]) : ' ';
            if (c < 0x80 && c != ' ') {
                w.push_back(static_cast<char>(c));
            } else if (c < 0x80) {
                if (!w.empty()) words.push_back(w);
                w.clear();
            } else {
                if (!w.empty()) words.push_back(w);
                w.clear();
                const size_t len = utf8SeqLen(c);
                if (i + len <= t.size()) chars.push_back(t.substr(i, len));
                i += len - 1;
            }
        }
    }
    std::mt19937 rng(20261206);
    std::vector<PoolItem> pool = real;
    int32_t nextId = 3000000;
    while (pool.size() < size) {
        PoolItem e;
        e.appid = nextId++;
        const size_t nw = 1 + rng() % 4 + (rng() % 3 == 0 ? rng() % 3 : 0);
        for (size_t i = 0; i < nw; ++i) e.name += (i ? " " : "") + words[rng() % words.size()];
        if (rng() % 10 == 0) {
            const size_t nc = 2 + rng() % 7;
            for (size_t i = 0; i < nc; ++i) e.name_cn += chars[rng() % chars.size()];
        }
        if (rng() % 100 == 0) e.nickname = rng() % 2 ? words[rng() % words.size()] : chars[rng() % chars.size()] + chars[rng() % chars.size()];
        pool.push_back(std::move(e));
    }
    return pool;
}

bool sameCandidates(std::vector<MatchCandidate> a, std::vector<MatchCandidate> b) {
    if (a.size() != b.size()) return false;
    auto key = [](const MatchCandidate& c) { return std::make_tuple(-c.score, c.appid, c.name); };
    auto less = [&](const MatchCandidate& x, const MatchCandidate& y) { return key(x) < key(y); };
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    for (size_t i = 0; i < a.size(); ++i)
        if (key(a[i]) != key(b[i])) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool clean = !(argc > 1 && std::string(argv[1]) == "--plain");
    if (!clean) {
        --argc;
        ++argv;
    }
    const std::string dataDir = KB_BENCH_DATA_DIR;
    std::vector<std::string> titles = readLines(dataDir + "/menu_titles_5000.txt");
    std::vector<PoolItem> real;
    std::string err;
    std::vector<PoolItem> pool;
    if (argc > 1) {
        if (!loadTranslatedCsv(argv[1], pool, err)) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
    } else {
        if (!loadTranslatedCsv(dataDir + "/pool_sample.csv", real, err)) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
        pool = generatePool(titles, real, 100000);
    }
    int kinds[3] = {0, 0, 0};
    for (const std::string& t : titles) ++kinds[classifyNameType(t)];
    std::printf("menu titles: %zu (English %d, Chinese %d, mixed %d)\n", titles.size(), kinds[0], kinds[1], kinds[2]);
    std::printf("pool entries: %zu%s\n", pool.size(), argc > 1 ? " (from file)" : " (generated)");
    const int32_t thresholdIndex = 4;
    const float threshold = matchThreshold(thresholdIndex);
    std::printf("rule: %s\n", clean ? "cleaned titles" : "per-pair rule");

    // The whole job, as the button runs it.
    dummyGames.clear();
    for (size_t i = 0; i < titles.size(); ++i) {
        GameInfo g;
        g.id = static_cast<int32_t>(i + 1);
        g.name = titles[i];
        dummyGames.push_back(std::move(g));
    }
    LibraryJob job;
    job.pool = pool;
    job.sourcePath = "generated";
    job.simThresholdIndex = thresholdIndex;
    job.cleanTitles = clean;
    for (size_t i = 0; i < dummyGames.size(); ++i) job.games.push_back(LibraryGameInput{i, dummyGames[i].name, 0, 0, ""});
    auto t0 = Clock::now();
    PoolIndexPtr index = buildPoolIndex(pool, clean);
    const double buildSeconds = secondsSince(t0);
    t0 = Clock::now();
    const LibraryRunSummary sum = runLibraryMatch(std::move(job));
    const double jobSeconds = secondsSince(t0);
    std::printf("index build alone: %.3f s\n", buildSeconds);
    std::printf("whole job (index + %zu games, all cores): %.3f s  -> hits %d / %d (exact %d, fuzzy %d, missed %d)\n",
                titles.size(), jobSeconds, sum.hits, sum.total, sum.exact, sum.fuzzy, sum.missed);

    // Reference on a subset, one thread, extrapolated per pair.
    std::vector<std::string> subset;
    std::mt19937 rng(5);
    const size_t subsetSize = 24;
    std::vector<std::string> shuffled = titles;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    subset.assign(shuffled.begin(), shuffled.begin() + subsetSize);
    std::vector<std::vector<MatchCandidate>> refResults;
    t0 = Clock::now();
    for (const std::string& t : subset) refResults.push_back(matchGameReference(t, pool, threshold, clean));
    const double refSeconds = secondsSince(t0);
    const double perPair = refSeconds / (static_cast<double>(subsetSize) * static_cast<double>(pool.size()));
    const double refTotal = perPair * static_cast<double>(titles.size()) * static_cast<double>(pool.size());
    std::printf("reference: %zu games in %.3f s = %.1f ns per pair; extrapolated to all games: %.1f s\n", subsetSize,
                refSeconds, perPair * 1e9, refTotal);

    MatchScratch scratch;
    size_t same = 0;
    t0 = Clock::now();
    for (size_t i = 0; i < subset.size(); ++i)
        same += sameCandidates(matchGameFast(subset[i], *index, threshold, scratch), refResults[i]) ? 1 : 0;
    const double fastSubset = secondsSince(t0);
    std::printf("fast path on the same subset: %.4f s (one thread); identical results: %zu / %zu\n", fastSubset, same,
                subset.size());
    std::printf("speed-up of the whole job over the extrapolated reference: %.0fx\n", refTotal / jobSeconds);
    return same == subset.size() ? 0 : 2;
}
