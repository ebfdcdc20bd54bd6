// The local library match as the user runs it in headless frames: the frame keeps drawing
// while the job works, and the summary pops up at its end.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/frame.h"
#include "app/panels.h"
#include "data/game.h"
#include "data/jobs.h"
#include "match/library_match.h"
#include "tests/test_util.h"

namespace {

struct LeftPanelTest : ::testing::Test {
    kbtest::TempDir dir;
    std::unique_ptr<kbtest::ScopedMenuDir> menu;
    FrameState st;

    void SetUp() override {
        resetJobGlobals();
        gLibraryMatchFinished = false;
        dummyGames.clear();
        aiPreview.clear();
        menu = std::make_unique<kbtest::ScopedMenuDir>(dir.path);
        createHeadlessContext();
    }
    void TearDown() override {
        shutdownJobs();
        destroyHeadlessContext();
        dummyGames.clear();
        aiPreview.clear();
        resetJobGlobals();
    }
    void frames(int n) {
        for (int i = 0; i < n; ++i) runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f);
    }
    static bool popupOpen(const std::string& part) {
        for (const ImGuiPopupData& p : GImGui->OpenPopupStack)
            if (p.Window && std::string(p.Window->Name).find(part) != std::string::npos) return true;
        return false;
    }
};

TEST_F(LeftPanelTest, LibraryMatchRunsWhileFramesDrawAndShowsItsSummary) {
    std::vector<kbtest::DbRow> rows;
    for (int i = 1; i <= 200; ++i) {
        kbtest::DbRow r;
        r.id = i;
        r.name = i % 2 ? "传送门" : "Portal " + std::to_string(i);
        rows.push_back(r);
    }
    kbtest::makeGamesDb(dir.path + "data.db", rows);
    std::string csv = "appid,name,name_cn,nickname\n";
    for (int i = 0; i < 5000; ++i) csv += std::to_string(1000 + i) + ",Game Number " + std::to_string(i) + ",,\n";
    csv += "400,Portal,传送门,\n";
    kbtest::writeFile(dir.path + "kbdata.csv", csv);
    ASSERT_TRUE(readDataAction());
    frames(1);

    ASSERT_TRUE(startLibraryMatch(st.opts));
    EXPECT_TRUE(gWaitState.active.load());
    for (int i = 0; i < 20000 && !popupOpen("本地库匹配结果"); ++i) {
        frames(1);
        if (gLocalMatchRunning.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(popupOpen("本地库匹配结果"));
    EXPECT_FALSE(gWaitState.active.load());
    EXPECT_EQ(dummyGames[0].matchMethod, "精确");
    std::lock_guard<std::mutex> lk(gMatchMsgMtx);
    EXPECT_EQ(gMatchDebug.rfind("本地库匹配完成\n命中: ", 0), 0u) << gMatchDebug;
}

}  // namespace
