// Matching quality on real menu titles: each set is a file of `title<TAB>appid` lines whose
// appid is the entry the title means. Runs the library match against the real pool with the
// default options, cleaning off and on, and prints top-1 (first candidate right), wrong (first
// candidate another game) and missed (no candidate) per set, then the cleaned scorer's
// trade-off over its thresholds.
//
// Usage: bench_quality [fixtures dir] [set name to list its wrong and missed titles]
// The fixtures dir holds derived/pool_real.csv and quality/*.tsv (default /work/shared/fixtures;
// the program says so and stops when they are absent).
#include <chrono>
#include <cstdio>
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

struct Tally {
    int top1 = 0, wrong = 0, missed = 0;
};

std::vector<Row> readSet(const std::string& path) {
    std::vector<Row> rows;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) {
        const size_t tab = l.rfind('\t');
        if (tab == std::string::npos) continue;
        rows.push_back(Row{l.substr(0, tab), poolAtoi(l.substr(tab + 1))});
    }
    return rows;
}

double pct(int n, size_t of) { return of ? 100.0 * n / static_cast<double>(of) : 0.0; }

Tally run(const std::vector<Row>& rows, const PoolIndex& ix, float threshold, const char* show) {
    Tally t;
    MatchScratch sc;
    for (const Row& r : rows) {
        const std::vector<MatchCandidate> c = matchGameFast(r.title, ix, threshold, sc);
        if (c.empty()) ++t.missed;
        else if (c.front().appid == r.appid) ++t.top1;
        else ++t.wrong;
        if (show && (c.empty() || c.front().appid != r.appid))
            std::printf("  %s  [%d] -> %s\n", r.title.c_str(), r.appid,
                        c.empty() ? "-" : (c.front().name + " (" + std::to_string(c.front().score) + ")").c_str());
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/work/shared/fixtures";
    const std::string showSet = argc > 2 ? argv[2] : "";
    std::vector<PoolItem> pool;
    std::string err;
    if (!loadTranslatedCsv(dir + "/derived/pool_real.csv", pool, err)) {
        std::printf("real pool not found under %s (%s): nothing to measure\n", dir.c_str(), err.c_str());
        return 0;
    }
    const char* sets[] = {"dev_bilingual", "dev_trainer", "dev_tw"};
    const PoolIndexPtr plain = buildPoolIndex(pool, false);
    const PoolIndexPtr cleaned = buildPoolIndex(pool, true);
    std::printf("pool: %zu entries; default threshold index 4 (%.2f)\n\n", pool.size(), matchThreshold(4));
    std::printf("%-14s %6s | %-24s | %-24s\n", "set", "rows", "cleaning off: top1 wrong missed",
                "cleaning on: top1 wrong missed");
    std::vector<std::vector<Row>> all;
    for (const char* name : sets) {
        all.push_back(readSet(dir + "/quality/" + name + ".tsv"));
        const std::vector<Row>& rows = all.back();
        const bool show = showSet == name;
        const Tally off = run(rows, *plain, matchThreshold(4), nullptr);
        const Tally on = run(rows, *cleaned, matchThreshold(4), show ? name : nullptr);
        std::printf("%-14s %6zu | %6.1f%% %5.1f%% %5.1f%%    | %6.1f%% %5.1f%% %5.1f%%\n", name, rows.size(),
                    pct(off.top1, rows.size()), pct(off.wrong, rows.size()), pct(off.missed, rows.size()),
                    pct(on.top1, rows.size()), pct(on.wrong, rows.size()), pct(on.missed, rows.size()));
    }
    const float sweep[] = {0.6f, 0.7f, 0.8f, 0.9f};
    std::printf("\ncleaned scorer, top-1 / wrong by the threshold (option index i gives 0.3 + 0.1 i)\n%-14s", "set");
    for (float th : sweep) std::printf(" |      %3.0f %%     ", th * 100.0f);
    std::printf("\n");
    for (size_t k = 0; k < all.size(); ++k) {
        std::printf("%-14s", sets[k]);
        for (float th : sweep) {
            const Tally t = run(all[k], *cleaned, th, nullptr);
            std::printf(" | %5.1f%% / %4.1f%%", pct(t.top1, all[k].size()), pct(t.wrong, all[k].size()));
        }
        std::printf("\n");
    }
    return 0;
}
