// Headless frames of the whole interface over real menu folders. ImGui's assertions are
// active in the library, so a misuse of the GUI API aborts the test run.
#include "app/frame.h"

#include "app/table.h"
#include "data/game.h"
#include "data/jobs.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <string>
#include <vector>

namespace {

struct FrameTest : ::testing::Test {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu{dir.path};
    FrameState st;

    void SetUp() override { createHeadlessContext(); }
    void TearDown() override {
        destroyHeadlessContext();
        resetJobGlobals();
        resetTableState();
        dummyGames.clear();
        aiPreview.clear();
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i) runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f);
    }
};

// A row job addresses rows by index: 读取数据 and a header click wait until it ends.
TEST_F(FrameTest, ReadDataAndSortingWaitForRowJobs) {
    // Ids 1..50 in reverse name order, so a name sort visibly reorders them.
    std::vector<kbtest::DbRow> rows;
    for (int i = 1; i <= 50; ++i) rows.push_back({i, "游戏" + std::to_string(100050 - i), {}});
    kbtest::makeGamesDb(dir.path + "data.db", rows);
    ASSERT_TRUE(readDataAction());
    frames(1);  // the table's first sort specs (no sort) are taken
    dummyGames[5].ticked = true;
    gTableSort = SortRequest{true, true, kSortName, false};
    gLocalMatchRunning = true;
    EXPECT_FALSE(readDataAction());
    frames(2);
    EXPECT_TRUE(gTableSort.pending);
    EXPECT_EQ(dummyGames.front().id, 1);
    EXPECT_TRUE(dummyGames[5].ticked);
    gLocalMatchRunning = false;
    frames(1);
    EXPECT_FALSE(gTableSort.pending);
    EXPECT_EQ(dummyGames.front().id, 50);
}

// A file that is not a font would trip the atlas's assertions: it is skipped like a missing one.
TEST_F(FrameTest, FontLoadingSkipsMissingAndBrokenFiles) {
    kbtest::writeFile(dir.path + "broken.ttf", "this is not a font at all");
    kbtest::writeFile(dir.path + "short.ttc", "ttcf");
    EXPECT_EQ(loadChineseFont({dir.path + "missing.ttc", dir.path + "broken.ttf", dir.path + "short.ttc"}), "");
    ImGui::GetIO().Fonts->AddFontDefault();
    std::string system;
    for (const std::string& f : fontCandidates())
        if (kbtest::fileExists(f)) system = f;
    if (system.empty()) GTEST_SKIP() << "no Chinese font installed";
    EXPECT_EQ(loadChineseFont({system}), system);
    // No glyph ranges: titles' Hangul, kana and symbols come from the font as well.
    for (ImWchar c : {0x6E38, 0xD55C, 0x30A2, 0x2122, 0x2162, 0x2460})  // 游 한 ア ™ Ⅲ ①
        EXPECT_TRUE(ImGui::GetIO().Fonts->Fonts[0]->IsGlyphInFont(c)) << std::hex << c;
    frames(2);
}

}  // namespace
