// 写入数据库 on a real data.db in a temporary folder: 5,000 answered games (and 500, 50,000
// when asked), overwrite mode, the safety copy included. Prints the press's wall time.
//
// Usage: bench_writeback [games...]   (default: 5000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ai/analysis.h"
#include "data/game.h"
#include "tests/test_util.h"

namespace {

void runCase(int n) {
    kbtest::TempDir dir;
    const std::string db = dir.path + "data.db";
    std::vector<kbtest::DbRow> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({i, "测试游戏 Test Game " + std::to_string(i), std::string("动作")});
    kbtest::makeGamesDb(db, rows);
    kbtest::ScopedMenuDir menu(dir.path);
    loadGamesFromDB();
    std::vector<std::string> previews(dummyGames.size(), "冒险|角色扮演");
    forgetDatabaseBackups();
    const auto t0 = std::chrono::steady_clock::now();
    const WriteBackCounts c = writeBackPreviews(0, dummyGames, previews, db);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%6d games: %8.3f s  (written %d, failed %d)\n", n, s, c.succeeded, c.failed);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes.push_back(5000);
    for (int n : sizes) runCase(n);
    return 0;
}
