// Headless frames of the whole interface over real menu folders. ImGui's assertions are
// active in the library, so a misuse of the GUI API aborts the test run.
#include "app/frame.h"

#include "app/help.h"
#include "app/panels.h"
#include "app/progress_logic.h"
#include "app/table.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
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
    static ImGuiWindow* windowNamed(const std::string& part) {
        for (ImGuiWindow* w : GImGui->Windows)
            if (std::string(w->Name).find(part) != std::string::npos) return w;
        return nullptr;
    }
};

TEST_F(FrameTest, ReadDataTwiceGivesTheSameListAndEmptyPreviews) {
    makeMenu(120);
    kbtest::makeDirs(dir.path + "media/" + gameName(0));
    kbtest::writeFile(dir.path + "media/" + gameName(0) + "/a.png", "x");
    ASSERT_TRUE(readDataAction());
    frames(2);
    ASSERT_EQ(dummyGames.size(), 120u);
    EXPECT_EQ(gCategoryList, (std::vector<std::string>{"动作", "冒险"}));
    EXPECT_EQ(statusLine(takeProgressSnapshot()).text, "共 120 | 待处理 120 | 已匹配 0 | 无匹配 0");
    EXPECT_EQ(dummyGames[119].imageCount, 1);
    EXPECT_EQ(dummyGames[0].imageCount, 0);

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

TEST_F(FrameTest, LayoutFollowsTheWindowSizeAndHelpStaysCentred) {
    openWaitDialog("AI 生成中", "正在等待AI回复，请稍候...");
    for (const ImVec2 size : {ImVec2(1200, 800), ImVec2(900, 600), ImVec2(1600, 1000)}) {
        st.showHelp = true;
        frames(3, size.x, size.y);
        const ImGuiWindow* wait = windowNamed("##WaitDialog");
        ASSERT_NE(wait, nullptr);
        EXPECT_EQ(wait->Pos.x, size.x / 2 - 175);
        EXPECT_EQ(wait->Pos.y, size.y / 2 - 70);
        EXPECT_EQ(wait->Size.x, 350.0f);
        EXPECT_EQ(wait->Size.y, 140.0f);
        const ImGuiWindow* main = windowNamed("##KestrelboxMain");
        const ImGuiWindow* top = windowNamed("/TopBar_");
        const ImGuiWindow* left = windowNamed("/LeftPanel_");
        const ImGuiWindow* right = windowNamed("/RightPanel_");
        const ImGuiWindow* bottom = windowNamed("/ProgressBar_");
        const ImGuiWindow* help = windowNamed("使用帮助");
        ASSERT_TRUE(main && top && left && right && bottom && help);
        EXPECT_EQ(main->Size.x, size.x);
        EXPECT_EQ(main->Size.y, size.y);
        const float w = top->Size.x;
        EXPECT_EQ(top->Size.y, 44.0f);
        EXPECT_NEAR(left->Size.x, 0.58f * w, 1.0f);
        EXPECT_NEAR(right->Size.x, w - 0.58f * w - 8.0f, 1.0f);
        EXPECT_EQ(left->Size.y, right->Size.y);
        EXPECT_EQ(bottom->Size.x, w);
        EXPECT_TRUE(help->Active);
        EXPECT_EQ(help->Size.x, 800.0f);
        EXPECT_EQ(help->Size.y, 600.0f);
        EXPECT_NEAR(help->Pos.x + 400.0f, size.x / 2, 1.0f);
        EXPECT_NEAR(help->Pos.y + 300.0f, size.y / 2, 1.0f);
        st.showHelp = false;  // the close box
        frames(2, size.x, size.y);
        EXPECT_FALSE(help->Active);
    }
}

TEST_F(FrameTest, HelpTexts) {
    const std::vector<std::string>& p = helpParagraphs();
    ASSERT_EQ(p.size(), 9u);
    EXPECT_EQ(p[5].rfind("5. 【steam】匹配和【下载资源】时一定要保证您的电脑可以正常快速访问steam商店（https://store.steampowered.com/）。", 0), 0u);
    EXPECT_EQ(p[6].rfind("6. ", 0), 0u);
    EXPECT_NE(p[6].find("Valve Corporation"), std::string::npos);
    const std::string head = "8. 其它细节请自行摸索，或者到", tail = "获取我们的联系方式，一起交流。";
    ASSERT_EQ(p[8].rfind(head, 0), 0u);
    ASSERT_EQ(p[8].size(), head.size() + 17 + tail.size());
    EXPECT_EQ(p[8].substr(p[8].size() - tail.size()), tail);
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
    int matched = 0;
    for (const GameInfo& g : dummyGames) matched += g.candidates.size() == 2 && g.matchedName == "候选A";
    EXPECT_GT(matched, 0);
}

TEST_F(FrameTest, AJobStillRunningAtCloseIsCancelledAndJoined) {
    makeMenu(30);
    ASSERT_TRUE(readDataAction());
    gMatchState = 1;
    startJobThread(gMatchThread, [] { countingMatchJob(30); });
    frames(5);
    EXPECT_EQ(gMatchState.load(), 1);
    shutdownJobs();  // what the program does when its window closes
    EXPECT_FALSE(gMatchThread.joinable());
    EXPECT_EQ(gMatchState.load(), 2);
    shutdownJobs();
}

// Drives the real table with the mouse; positions come from the table's own columns.
struct TableMouse {
    FrameTest& t;
    static ImGuiTable* table() { return GImGui->Tables.GetByIndex(0); }
    static ImVec2 cell(int column, int row) {
        const ImGuiTable* tb = table();
        const ImGuiStyle& style = ImGui::GetStyle();
        const float header = ImGui::GetTextLineHeight() + 2 * style.CellPadding.y;
        const float rowH = ImGui::GetFrameHeight() + 2 * style.CellPadding.y;
        const ImGuiTableColumn& c = tb->Columns[column];
        const float x = column == 0 ? c.MinX + 8 : (c.MinX + c.MaxX) / 2;
        const float y = tb->OuterRect.Min.y + (row < 0 ? header / 2 : header + rowH * (static_cast<float>(row) + 0.5f));
        return ImVec2(x, y);
    }
    void click(ImVec2 at, int button = 0, bool shift = false) {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = at;
        io.AddKeyEvent(ImGuiMod_Shift, shift);
        t.frames(1);
        io.MouseDown[button] = true;
        t.frames(1);
        io.MouseDown[button] = false;
        t.frames(1);
        io.AddKeyEvent(ImGuiMod_Shift, false);
    }
};

std::vector<int32_t> idsOf(const std::vector<GameInfo>& games) {
    std::vector<int32_t> out;
    for (const GameInfo& g : games) out.push_back(g.id);
    return out;
}

TEST_F(FrameTest, HeaderClicksSortAscendingDescendingThenNot) {
    makeMenu(6);  // ids 1..6 with names in reverse order
    ASSERT_TRUE(readDataAction());
    frames(2);
    TableMouse m{*this};
    m.click(TableMouse::cell(2, -1));
    EXPECT_EQ(idsOf(dummyGames), (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));
    m.click(TableMouse::cell(2, -1));
    EXPECT_EQ(idsOf(dummyGames), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    m.click(TableMouse::cell(2, -1));  // third click: no sort, the order stays
    EXPECT_EQ(idsOf(dummyGames), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    m.click(TableMouse::cell(1, -1));  // 序号 descending after one more click
    m.click(TableMouse::cell(1, -1));
    EXPECT_EQ(idsOf(dummyGames), (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));

    gDlgRunning = true;  // header clicks are refused while a lookup runs
    m.click(TableMouse::cell(1, -1));
    gDlgRunning = false;
    frames(2);
    EXPECT_EQ(idsOf(dummyGames), (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));
}

TEST_F(FrameTest, TickBoxesContextMenuAndCandidateCombo) {
    makeMenu(8);
    ASSERT_TRUE(readDataAction());
    dummyGames[4].name.clear();
    dummyGames[3].id = dummyGames[2].id;  // a repeated id still gets its own controls
    installCandidates(dummyGames[2], {MatchCandidate{440, "甲", "", 0.97f}, MatchCandidate{570, "乙", "", 0.6f}},
                      "网络匹配");
    dummyGames[0].downloadState = 3;
    frames(2);
    TableMouse m{*this};

    m.click(TableMouse::cell(0, 1));
    m.click(TableMouse::cell(0, 3), 0, true);
    std::vector<bool> ticked;
    for (const GameInfo& g : dummyGames) ticked.push_back(g.ticked);
    EXPECT_EQ(ticked, (std::vector<bool>{0, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(dummyGames[0].downloadState, 0);
    EXPECT_EQ(g_lastClickedRow, 3);

    m.click(TableMouse::cell(2, 5));  // left click highlights
    EXPECT_EQ(gHlRow, 5);
    m.click(TableMouse::cell(2, 4), 1);  // empty name: highlight only, no menu
    EXPECT_EQ(gHlRow, 4);
    EXPECT_EQ(GImGui->OpenPopupStack.Size, 0);

    m.click(TableMouse::cell(2, 2), 1);
    EXPECT_EQ(gHlRow, 2);
    ASSERT_EQ(GImGui->OpenPopupStack.Size, 1);
    const ImGuiWindow* popup = GImGui->OpenPopupStack[0].Window;
    ASSERT_NE(popup, nullptr);
    const ImVec2 first(popup->Pos.x + 30, popup->Pos.y + ImGui::GetStyle().WindowPadding.y + ImGui::GetTextLineHeight() / 2);
    m.click(first);
    EXPECT_EQ(gDlgTargetRow, 2);
    EXPECT_EQ(std::string(gDlgInputName), dummyGames[2].name);
    EXPECT_TRUE(gOpenDlgQueryByName);
    EXPECT_EQ(GImGui->OpenPopupStack.Size, 0);
    gOpenDlgQueryByName = false;  // the lookup dialog itself is not under test here

    // Third item: 清除匹配.
    m.click(TableMouse::cell(2, 2), 1);
    ASSERT_EQ(GImGui->OpenPopupStack.Size, 1);
    popup = GImGui->OpenPopupStack[0].Window;
    const float item = ImGui::GetTextLineHeight() + ImGui::GetStyle().ItemSpacing.y;
    m.click(ImVec2(first.x, first.y + 2 * item));
    EXPECT_TRUE(dummyGames[2].candidates.empty());
    EXPECT_EQ(dummyGames[2].matchMethod, "");
    EXPECT_EQ(dummyGames[2].similarity, 0.0f);

    // The candidate combo: the second item becomes the chosen candidate.
    installCandidates(dummyGames[6], {MatchCandidate{10, "Alpha", "", 0.9f}, MatchCandidate{20, "Beta", "", 0.5f}},
                      "网络匹配");
    frames(1);
    m.click(TableMouse::cell(7, 6));
    frames(2);  // the list opens on release and is placed below the combo once it has a size
    ASSERT_EQ(GImGui->OpenPopupStack.Size, 1);
    const ImGuiWindow* list = GImGui->OpenPopupStack[0].Window;
    ASSERT_NE(list, nullptr);
    const float line = ImGui::GetTextLineHeight();
    m.click(ImVec2(list->Pos.x + 20, list->Pos.y + ImGui::GetStyle().WindowPadding.y + line * 1.5f +
                                         ImGui::GetStyle().ItemSpacing.y));
    EXPECT_EQ(dummyGames[6].selectedCandidate, 1);
    EXPECT_EQ(dummyGames[6].matchedName, "Beta");
    EXPECT_EQ(chosenAppid(dummyGames[6]), 20);

    gMatchState = 1;  // while a match runs the combo is refused
    m.click(TableMouse::cell(7, 6));
    EXPECT_EQ(GImGui->OpenPopupStack.Size, 0);
    gMatchState = 0;
}

}  // namespace
