// Headless frames of the whole interface over real menu folders. ImGui's assertions are
// active in the library, so a misuse of the GUI API aborts the test run.
#include "app/frame.h"

#include "app/panels.h"
#include "app/progress_logic.h"
#include "app/table.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "match/library_match.h"
#include "steam/lookup.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string gameName(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "游戏%05d", i);
    return buf;
}

struct FrameTest : ::testing::Test {
    kbtest::TempDir dir;
    std::unique_ptr<kbtest::ScopedMenuDir> menu;
    FrameState st;

    void SetUp() override {
        clearAll();
        menu = std::make_unique<kbtest::ScopedMenuDir>(dir.path);
        createHeadlessContext();
    }
    void TearDown() override {
        shutdownJobs();
        destroyHeadlessContext();
        clearAll();
    }
    static void clearAll() {
        resetJobGlobals();
        gLibraryMatchFinished = false;
        resetTableState();
        dummyGames.clear();
        aiPreview.clear();
        gCategoryList.clear();
        aiPromptText[0] = '\0';
    }
    void frames(int n, float w = 1200, float h = 800) {
        for (int i = 0; i < n; ++i) runHeadlessFrame(st, w, h, 1.0f / 60.0f);
    }
    // Games with ids 1..n in reverse name order, so a name sort visibly reorders them.
    void makeMenu(int n) {
        std::vector<kbtest::DbRow> rows;
        rows.reserve(static_cast<size_t>(n));
        for (int i = 1; i <= n; ++i) {
            kbtest::DbRow r;
            r.id = i;
            r.name = gameName(n - i);
            r.category = (i % 3 == 0) ? std::optional<std::string>("动作") : std::nullopt;
            rows.push_back(r);
        }
        kbtest::makeGamesDb(dir.path + "data.db", rows);
        kbtest::writeFile(dir.path + "set.ini", "[Categories]\ncategories=动作|冒险\n");
    }
};

TEST_F(FrameTest, ReadDataTwiceGivesTheSameListAndEmptyPreviews) {
    makeMenu(120);
    kbtest::makeDirs(dir.path + "media/" + gameName(0));
    kbtest::writeFile(dir.path + "media/" + gameName(0) + "/a.png", "x");
    ASSERT_TRUE(readDataAction());
    frames(2);
    ASSERT_EQ(dummyGames.size(), 120u);
    EXPECT_EQ(statusLine(takeProgressSnapshot()).text, "共 120 | 待处理 120 | 已匹配 0 | 无匹配 0");
    EXPECT_EQ(dummyGames[119].imageCount, 1);

    std::vector<std::string> firstNames;
    for (const GameInfo& g : dummyGames) firstNames.push_back(g.name);
    aiPreview[5] = "动作";
    dummyGames[5].ticked = true;
    installCandidates(dummyGames[6], {MatchCandidate{10, "A", "", 0.9f}, MatchCandidate{11, "B", "", 0.4f}}, "网络匹配");
    gConfirmCount = 1;
    frames(2);

    ASSERT_TRUE(readDataAction());
    frames(2);
    ASSERT_EQ(dummyGames.size(), 120u);
    for (size_t i = 0; i < dummyGames.size(); ++i) EXPECT_EQ(dummyGames[i].name, firstNames[i]);
    EXPECT_EQ(aiPreview, std::vector<std::string>(120));
    EXPECT_FALSE(dummyGames[5].ticked);
    EXPECT_TRUE(dummyGames[6].candidates.empty());
    EXPECT_EQ(gConfirmCount.load(), 0);
}

TEST_F(FrameTest, ReadDataIsRefusedWhileARowJobRuns) {
    makeMenu(10);
    ASSERT_TRUE(readDataAction());
    dummyGames[0].ticked = true;
    struct Flag {
        const char* what;
        void (*set)(bool);
    };
    const Flag FLAGS[] = {
        {"network match", [](bool on) { gMatchState = on ? 1 : 0; }},
        {"finished match not collected", [](bool on) { gMatchState = on ? 2 : 0; }},
        {"local library match", [](bool on) { gLocalMatchRunning = on; }},
        {"lookup", [](bool on) { gDlgRunning = on; }},
    };
    for (const Flag& f : FLAGS) {
        f.set(true);
        EXPECT_FALSE(readDataAction()) << f.what;
        EXPECT_TRUE(dummyGames[0].ticked) << f.what;
        f.set(false);
    }
    EXPECT_TRUE(readDataAction());
    EXPECT_FALSE(dummyGames[0].ticked);
}

TEST_F(FrameTest, PendingSortWaitsForALoadAndForRowJobs) {
    frames(1);  // the table's first sort specs (no sort) are taken
    gTableSort = SortRequest{true, true, kSortName, false};
    frames(2);  // empty list: nothing to sort, the request stays
    EXPECT_TRUE(gTableSort.pending);

    makeMenu(50);
    ASSERT_TRUE(readDataAction());
    EXPECT_EQ(dummyGames.front().id, 1);
    gLocalMatchRunning = true;
    frames(2);
    EXPECT_TRUE(gTableSort.pending);  // refused while a row job runs
    EXPECT_EQ(dummyGames.front().id, 1);
    gLocalMatchRunning = false;
    frames(1);
    EXPECT_FALSE(gTableSort.pending);
    EXPECT_EQ(dummyGames.front().name, gameName(0));
    EXPECT_EQ(dummyGames.front().id, 50);

    ASSERT_TRUE(readDataAction());  // a load brings back id order
    frames(1);
    EXPECT_EQ(dummyGames.front().id, 1);
}

TEST_F(FrameTest, FontLoadingSkipsMissingAndBrokenFiles) {
    kbtest::writeFile(dir.path + "broken.ttf", "this is not a font at all");
    kbtest::writeFile(dir.path + "short.ttc", "ttcf");
    const std::vector<std::string> bad = {dir.path + "missing.ttc", dir.path + "broken.ttf", dir.path + "short.ttc"};
    EXPECT_EQ(loadChineseFont(bad), "");
    ImGui::GetIO().Fonts->Clear();
    ImGui::GetIO().Fonts->AddFontDefault();

    std::string system;
    for (const std::string& f : fontCandidates())
        if (kbtest::fileExists(f)) system = f;
    if (system.empty()) {
        GTEST_SKIP() << "no Chinese font installed";
    }
    std::vector<std::string> withSystem = bad;
    withSystem.push_back(system);
    EXPECT_EQ(loadChineseFont(withSystem), system);
    ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
    EXPECT_EQ(font->LegacySize, 16.0f);
    // No glyph ranges: titles' Hangul, kana and symbols come from the font as well.
    for (ImWchar c : {0x6E38, 0xD55C, 0x30A2, 0x2122, 0x2162, 0x2460})  // 游 한 ア ™ Ⅲ ①
        EXPECT_TRUE(font->IsGlyphInFont(c)) << std::hex << c;
    frames(2);
}

// A stand-in for the match job: installs candidates row by row under gMatchMtx.
void countingMatchJob(size_t rows) {
    for (size_t i = 0; !gMatchCancel.load(); i = (i + 1) % rows) {
        {
            std::lock_guard<std::mutex> lk(gMatchMtx);
            installCandidates(dummyGames[i],
                              {MatchCandidate{static_cast<int32_t>(i), "候选A", "", 0.96f},
                               MatchCandidate{7, "Candidate B", "", 0.3f}},
                              "网络匹配");
        }
        gMatchDone.fetch_add(1);
        gConfirmCount.fetch_add(1);
        setProgressText("匹配中 " + std::to_string(i));
    }
    gMatchState.store(2);
}

// A stand-in for the download job: posts per-game results and file progress.
void postingDownloadJob(std::vector<std::string> names) {
    int i = 0;
    for (const std::string& name : names) {
        {
            std::lock_guard<std::mutex> lk(gDlMtx);
            gDlCurGame = name;
            gDlFileName = "screenshot_" + std::to_string(i) + ".jpg";
        }
        gDlFileBytesTotal = (i % 2) ? 0 : 4096;
        gDlFileBytesDone = 1024 * (i % 5);
        {
            std::lock_guard<std::mutex> lk(gDlResultMtx);
            gDlResults.push_back({name, i % 3});
        }
        gDlResultReady = true;
        (i % 3 == 0 ? gDlDone : i % 3 == 1 ? gDlPartial : gDlFail).fetch_add(1);
        ++i;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    {
        std::lock_guard<std::mutex> lk(gDlMtx);
        gDlMsg = "下载完成\n明细";
    }
    gDlState.store(2);
}

TEST_F(FrameTest, TwentyThousandGamesWithJobsRunning) {
    makeMenu(20000);
    ASSERT_TRUE(readDataAction());
    ASSERT_EQ(dummyGames.size(), 20000u);

    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) names.push_back(gameName(i * 50));
    gMatchState = 1;
    gMatchTotal = 20000;
    openWaitDialog("本地库匹配中", "正在匹配游戏库，请稍候...");
    startJobThread(gMatchThread, [] { countingMatchJob(20000); });
    gDlState = 1;
    gDlTotal = static_cast<int32_t>(names.size());
    startJobThread(gDlThread, [names] { postingDownloadJob(names); });

    ImGuiIO& io = ImGui::GetIO();
    for (int f = 0; f < 240; ++f) {
        // Scroll the table down and back so different rows are drawn and clipped.
        io.MousePos = ImVec2(300, 400);
        io.MouseWheel = f < 120 ? -20.0f : 15.0f;
        st.showHelp = (f / 40) % 2 == 1;
        if (f == 200) gWaitState.active = false;
        frames(1, f % 60 < 30 ? 1200.0f : 1000.0f, 800.0f);
        if (f == 100) {
            EXPECT_FALSE(readDataAction());
        }
    }
    gMatchCancel = true;
    if (gMatchThread.joinable()) gMatchThread.join();
    if (gDlThread.joinable()) gDlThread.join();
    frames(3);
    int merged = 0;
    for (const GameInfo& g : dummyGames) merged += g.downloadState != 0;
    EXPECT_EQ(merged, 400);
}

TEST_F(FrameTest, AJobStillRunningAtCloseIsCancelledAndJoined) {
    makeMenu(30);
    ASSERT_TRUE(readDataAction());
    gMatchState = 1;
    startJobThread(gMatchThread, [] { countingMatchJob(30); });
    frames(5);
    shutdownJobs();  // what the program does when its window closes
    EXPECT_FALSE(gMatchThread.joinable());
    EXPECT_EQ(gMatchState.load(), 2);
}

// The local library match as the user runs it: the frame keeps drawing while the job works,
// and the summary pops up at its end.
TEST_F(FrameTest, LibraryMatchRunsWhileFramesDrawAndShowsItsSummary) {
    std::vector<kbtest::DbRow> rows;
    for (int i = 1; i <= 200; ++i) rows.push_back({i, i % 2 ? "传送门" : "Portal " + std::to_string(i), {}, {}});
    kbtest::makeGamesDb(dir.path + "data.db", rows);
    std::string csv = "appid,name,name_cn,nickname\n";
    for (int i = 0; i < 5000; ++i) csv += std::to_string(1000 + i) + ",Game Number " + std::to_string(i) + ",,\n";
    kbtest::writeFile(dir.path + "kbdata.csv", csv + "400,Portal,传送门,\n");
    ASSERT_TRUE(readDataAction());
    frames(1);
    ASSERT_TRUE(startLibraryMatch(st.opts));
    EXPECT_TRUE(gWaitState.active.load());
    auto summaryOpen = [] {
        for (const ImGuiPopupData& p : GImGui->OpenPopupStack)
            if (p.Window && std::string(p.Window->Name).find("本地库匹配结果") != std::string::npos) return true;
        return false;
    };
    for (int i = 0; i < 20000 && !summaryOpen(); ++i) {
        frames(1);
        if (gLocalMatchRunning.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(summaryOpen());
    EXPECT_FALSE(gWaitState.active.load());
    EXPECT_EQ(dummyGames[0].matchMethod, "精确");
    std::lock_guard<std::mutex> lk(gMatchMsgMtx);
    EXPECT_EQ(gMatchDebug.rfind("本地库匹配完成\n命中: ", 0), 0u) << gMatchDebug;
}

}  // namespace
