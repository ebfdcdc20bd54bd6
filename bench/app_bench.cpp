// Frame CPU time of the whole interface, headless (no renderer), over menus of 1,000,
// 5,000 and 20,000 games with the Chinese font. Prints the median and 95th percentile.
#include "app/frame.h"
#include "app/table.h"
#include "app/table_logic.h"
#include "data/game.h"
#include "data/jobs.h"
#include "tests/test_util.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

void makeMenu(const std::string& dir, int n) {
    std::vector<kbtest::DbRow> rows;
    for (int i = 1; i <= n; ++i) {
        kbtest::DbRow r;
        r.id = i;
        r.name = "测试游戏 Test Game " + std::to_string(i);
        r.category = "动作|冒险";
        rows.push_back(r);
    }
    kbtest::makeGamesDb(dir + "data.db", rows);
    kbtest::writeFile(dir + "set.ini", "[Categories]\ncategories=动作|冒险|角色扮演\n");
}

// Half the games get two candidates (combo cells), every game a preview.
void decorate() {
    for (size_t i = 0; i < dummyGames.size(); ++i) {
        if (i % 2 == 0)
            installCandidates(dummyGames[i],
                              {MatchCandidate{static_cast<int32_t>(i), "Candidate " + std::to_string(i), "", 0.9f},
                               MatchCandidate{7, "另一个候选", "", 0.4f}},
                              "网络匹配");
        aiPreview[i] = "动作|角色扮演";
    }
}

void runCase(int n) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    makeMenu(dir.path, n);
    resetJobGlobals();
    resetTableState();
    FrameState st;
    const auto load0 = Clock::now();
    readDataAction();
    const double loadMs = std::chrono::duration<double, std::milli>(Clock::now() - load0).count();
    if (dummyGames.size() != static_cast<size_t>(n)) std::printf("loaded %zu of %d games\n", dummyGames.size(), n);
    decorate();

    ImGuiIO& io = ImGui::GetIO();
    for (int i = 0; i < 30; ++i) runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f);
    std::vector<double> still, scrolling;
    for (int i = 0; i < 600; ++i) {
        const auto t0 = Clock::now();
        runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f);
        still.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    for (int i = 0; i < 600; ++i) {
        io.MousePos = ImVec2(300, 400);
        io.MouseWheel = i < 300 ? -10.0f : 10.0f;
        const auto t0 = Clock::now();
        runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f);
        scrolling.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const int vertices = ImGui::GetDrawData()->TotalVtxCount;
    const auto s0 = Clock::now();
    sortGames(dummyGames, aiPreview, kSortName, true);
    const double sortMs = std::chrono::duration<double, std::milli>(Clock::now() - s0).count();

    std::printf("%6d games  frame median %7.1f us  p95 %7.1f us  | scrolling median %7.1f us  p95 %7.1f us"
                "  | %d vertices  | 读取数据 %7.1f ms  name sort %6.1f ms\n",
                n, percentile(still, 0.5), percentile(still, 0.95), percentile(scrolling, 0.5),
                percentile(scrolling, 0.95), vertices, loadMs, sortMs);
    dummyGames.clear();
    aiPreview.clear();
}

}  // namespace

int main() {
    createHeadlessContext(true);
    for (int n : {1000, 5000, 20000}) runCase(n);
    destroyHeadlessContext();
    return 0;
}
