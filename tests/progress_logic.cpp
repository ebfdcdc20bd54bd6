#include "app/progress_logic.h"

#include "data/jobs.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ProgressLogic : ::testing::Test {
    void SetUp() override { resetJobGlobals(); }
    void TearDown() override { resetJobGlobals(); }
};

GameInfo named(int32_t id, const std::string& name) {
    GameInfo g;
    g.id = id;
    g.name = name;
    return g;
}

TEST_F(ProgressLogic, ResultsGoToTheFirstRowWithTheByteEqualName) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    kbtest::makeDirs(dir.path + "media/空洞骑士");
    kbtest::writeFile(dir.path + "media/空洞骑士/capsule.jpg", "x");
    kbtest::writeFile(dir.path + "media/空洞骑士/info.txt", "x");

    std::vector<GameInfo> games = {named(1, "空洞骑士"), named(2, "Celeste"), named(3, "空洞骑士"),
                                   named(4, "celeste"), named(5, "Ori")};
    for (GameInfo& g : games) g.ticked = true;
    {
        std::lock_guard<std::mutex> lk(gDlResultMtx);
        gDlResults = {{"空洞骑士", 0}, {"Celeste", 1}, {"Ori", 2}, {"Ori", 7}, {"不存在", 0}};
    }
    gDlResultReady = true;
    const std::vector<DlBatchItem> taken = takeDownloadResults();
    EXPECT_EQ(taken.size(), 5u);
    EXPECT_TRUE(takeDownloadResults().empty());

    mergeDownloadResults(games, taken);
    EXPECT_EQ(games[0].downloadState, 1);
    EXPECT_FALSE(games[0].ticked);  // a complete download unticks its row
    EXPECT_EQ(games[0].imageCount, 1);
    EXPECT_EQ(games[0].textCount, 1);
    EXPECT_EQ(games[2].downloadState, 0);  // the second row of that name is left alone
    EXPECT_EQ(games[1].downloadState, 2);
    EXPECT_TRUE(games[1].ticked);
    EXPECT_EQ(games[3].downloadState, 0);  // names compare byte for byte
    EXPECT_EQ(games[4].downloadState, 3);
}

TEST_F(ProgressLogic, OverlayAndFraction) {
    struct Case {
        const char* what;
        ProgressSnapshot s;
        float fraction;
        std::string overlay;
    };
    auto snap = [](int32_t state, int32_t total, int64_t done, int64_t size, const char* file) {
        ProgressSnapshot s;
        s.dlState = state;
        s.dlTotal = total;
        s.bytesDone = done;
        s.bytesTotal = size;
        s.fileName = file;
        return s;
    };
    ProgressSnapshot matchText;
    matchText.progress = 0.25f;
    matchText.progressText = std::string(120, 'p');
    ProgressSnapshot matchChinese;
    matchChinese.progressText = std::string(94, 'p') + "匹配";  // cut must not split 匹
    const Case CASES[] = {
        {"match progress text cut to 95 bytes", matchText, 0.25f, std::string(95, 'p')},
        {"utf-8 safe cut", matchChinese, 0.0f, std::string(94, 'p')},
        {"unannounced size", snap(1, 3, 524288, 0, "shot1.jpg"), 0.0f, "shot1.jpg  512.0 KB"},
        {"announced size", snap(1, 3, 1024, 2048, "capsule.jpg"), 0.5f, "capsule.jpg  1.0 KB/2.0 KB (50%)"},
        {"overshoot clamps", snap(1, 3, 3 * 1048576, 1048576, ""), 1.0f, "...  3.0 MB/1.0 MB (100%)"},
        {"finished", snap(2, 4, 0, 0, ""), 1.0f, "完成 4 / 4"},
    };
    for (const Case& c : CASES) {
        const ProgressView v = progressView(c.s);
        EXPECT_FLOAT_EQ(v.fraction, c.fraction) << c.what;
        EXPECT_EQ(v.overlay, c.overlay) << c.what;
    }
}

TEST_F(ProgressLogic, StatusLineForms) {
    ProgressSnapshot s;
    s.dlState = 1;
    s.dlTotal = 5;
    s.dlDone = 4;
    s.dlFail = 1;
    s.fileIdx = 2;
    s.fileCount = 9;
    s.msg = "准备";
    StatusLine st = statusLine(s);
    EXPECT_EQ(st.kind, StatusKind::Download);
    EXPECT_EQ(st.text, "5/5 当前:-  文件:2/9  完整:4 不全:0 失败:1");  // current game capped at the total
    EXPECT_TRUE(st.warn);
    EXPECT_EQ(st.tooltip, "准备");

    const std::string longLine(250, 'm');
    s.dlState = 2;
    s.msg = longLine + "\n第二行";
    st = statusLine(s);
    EXPECT_EQ(st.kind, StatusKind::Message);
    EXPECT_EQ(st.text, std::string(200, 'm') + "...  ← 悬停看明细");
    EXPECT_EQ(st.tooltip, s.msg);

    s.dlFail = 0;
    s.msg = "\n只有第二行";  // empty first line: the counts come back
    st = statusLine(s);
    EXPECT_EQ(st.kind, StatusKind::Counts);
    EXPECT_FALSE(st.warn);

    EXPECT_EQ(messageFirstLine(std::string(200, 'a')), std::string(200, 'a'));
    EXPECT_EQ(messageFirstLine(std::string(199, 'a') + "空"), std::string(199, 'a') + "...");
}

}  // namespace
