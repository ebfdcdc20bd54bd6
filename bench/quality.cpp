// Matching quality on real menu titles: each set is a file of `title<TAB>appid` lines whose
// appid is the entry the title means. Runs the library match against the real pool with the
// default options, cleaning off and on, and prints per set top-1 (first candidate right), wrong
// (first candidate another game), missed (no candidate) and 精确 wrong (wrong among the first
// candidates scored 精确, of those), then the cleaned scorer's trade-off over its thresholds.
//
// Usage: bench_quality [fixtures dir] [set name to list its wrong and missed titles]
// The fixtures dir holds derived/pool_real.csv and quality/*.tsv; by default the shared fixtures
// beside the checkout (../shared/fixtures). Every quality/*.tsv there is a set, in name order.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "match/library_match.h"
#include "match/pool.h"

namespace {

struct Row {
    std::string title;
    int32_t appid = 0;
};

struct Set {
    std::string name;
    std::vector<Row> rows;
};

struct Tally {
    int top1 = 0, wrong = 0, missed = 0, exact = 0, exactWrong = 0;
};

std::vector<Row> readSet(const std::filesystem::path& path) {
    std::vector<Row> rows;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) {
        const size_t tab = l.rfind('\t');
        if (tab == std::string::npos) continue;
        rows.push_back(Row{l.substr(0, tab), poolAtoi(l.substr(tab + 1))});
    }
    return rows;
}

std::vector<Set> readSets(const std::filesystem::path& dir) {
    std::vector<Set> sets;
    std::error_code ec;
    for (const auto& f : std::filesystem::directory_iterator(dir, ec))
        if (f.path().extension() == ".tsv") sets.push_back(Set{f.path().stem().string(), readSet(f.path())});
    std::sort(sets.begin(), sets.end(), [](const Set& a, const Set& b) { return a.name < b.name; });
    return sets;
}

double pct(int n, size_t of) { return of ? 100.0 * n / static_cast<double>(of) : 0.0; }

// Two listings of one game under the very same names: no title can tell them apart, so a 精确
// first candidate naming the other one is not counted as a wrong 精确.
bool sameNames(const std::vector<PoolItem>& pool, int32_t a, int32_t b) {
    const PoolItem* x = nullptr;
    const PoolItem* y = nullptr;
    for (const PoolItem& e : pool) {
        if (e.appid == a) x = &e;
        if (e.appid == b) y = &e;
    }
    return x && y && x->name == y->name && x->name_cn == y->name_cn && x->nickname == y->nickname;
}

Tally run(const std::vector<Row>& rows, const PoolIndex& ix, float threshold, bool show,
          const std::vector<PoolItem>* pool = nullptr) {
    Tally t;
    MatchScratch sc;
    for (const Row& r : rows) {
        const std::vector<MatchCandidate> c = matchGameFast(r.title, ix, threshold, sc);
        const bool exact = !c.empty() && isExactScore(c.front().score);
        t.exact += exact;
        if (c.empty()) ++t.missed;
        else if (c.front().appid == r.appid) ++t.top1;
        else ++t.wrong, t.exactWrong += exact && !(pool && sameNames(*pool, r.appid, c.front().appid));
        if (show && (c.empty() || c.front().appid != r.appid))
            std::printf("  %s  [%d] -> %s\n", r.title.c_str(), r.appid,
                        c.empty() ? "-" : (c.front().name + " [" + std::to_string(c.front().appid) + "] (" +
                                           std::to_string(c.front().score) + ")").c_str());
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : KB_SOURCE_DIR "/../shared/fixtures";
    const std::string showSet = argc > 2 ? argv[2] : "";
    std::vector<PoolItem> pool;
    std::string err;
    if (!loadTranslatedCsv((dir / "derived" / "pool_real.csv").string(), pool, err)) {
        std::printf("real pool not found under %s (%s): nothing to measure\n", dir.string().c_str(), err.c_str());
        return 0;
    }
    const std::vector<Set> sets = readSets(dir / "quality");
    if (sets.empty()) {
        std::printf("no quality/*.tsv sets under %s: nothing to measure\n", dir.string().c_str());
        return 0;
    }
    const PoolIndexPtr plain = buildPoolIndex(pool, false);
    const PoolIndexPtr cleaned = buildPoolIndex(pool, true);
    std::printf("fixtures: %s\npool: %zu entries; default threshold index 4 (%.2f)\n\n", dir.string().c_str(),
                pool.size(), matchThreshold(4));
    std::printf("%-16s %5s | %-22s | %-22s %s\n", "set", "rows", "off: top1 wrong missed", "on: top1 wrong missed",
                "精确 wrong (of 精确)");
    for (const Set& s : sets) {
        const size_t n = s.rows.size();
        const Tally off = run(s.rows, *plain, matchThreshold(4), false);
        const Tally on = run(s.rows, *cleaned, matchThreshold(4), showSet == s.name, &pool);
        std::printf("%-16s %5zu | %5.1f %5.1f %5.1f      | %5.1f %5.1f %5.1f      %4.1f%% (%d of %d)\n", s.name.c_str(), n,
                    pct(off.top1, n), pct(off.wrong, n), pct(off.missed, n), pct(on.top1, n), pct(on.wrong, n),
                    pct(on.missed, n), pct(on.exactWrong, static_cast<size_t>(on.exact)), on.exactWrong, on.exact);
    }
    std::printf("\ncleaned scorer, top-1 / wrong by the option (相似度大于 30 %% .. 90 %%)\n%-16s", "set");
    for (int32_t i = 0; i <= 6; ++i) std::printf(" |     %d%%      ", 30 + 10 * i);
    std::printf("\n");
    for (const Set& s : sets) {
        std::printf("%-16s", s.name.c_str());
        for (int32_t i = 0; i <= 6; ++i) {
            const Tally t = run(s.rows, *cleaned, matchThreshold(i), false);
            std::printf(" | %5.1f / %4.1f ", pct(t.top1, s.rows.size()), pct(t.wrong, s.rows.size()));
        }
        std::printf("\n");
    }
    return 0;
}
