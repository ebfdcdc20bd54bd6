#include "app/progress_logic.h"

#include "data/jobs.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ProgressLogic, ResultsGoToEveryRowWithTheByteEqualName) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);  // an empty menu folder: no media yet
    std::vector<GameInfo> games = {{.id = 1, .name = "空洞骑士"}, {.id = 2, .name = "Celeste"},
                                   {.id = 3, .name = "空洞骑士"}, {.id = 4, .name = "celeste"}, {.id = 5, .name = "Ori"}};
    for (GameInfo& g : games) g.ticked = true;
    {
        std::lock_guard<std::mutex> lk(gDlResultMtx);
        gDlResults = {{"空洞骑士", 0}, {"Celeste", 1}, {"Ori", 2}, {"Ori", 7}, {"不存在", 0}};
    }
    gDlResultReady = true;
    const std::vector<DlBatchItem> taken = takeDownloadResults();
    EXPECT_TRUE(takeDownloadResults().empty());  // taken once

    mergeDownloadResults(games, taken);
    // Both 空洞骑士 rows share the result; names compare byte for byte (celeste).
    const int32_t want[] = {kRowDownloaded, kRowPartial, kRowDownloaded, kRowNotDownloaded, kRowDownloadFailed};
    for (size_t i = 0; i < games.size(); ++i) EXPECT_EQ(games[i].downloadState, want[i]) << i;
    EXPECT_FALSE(games[0].ticked || games[2].ticked);  // only a complete download unticks its rows
    EXPECT_TRUE(games[1].ticked);
    EXPECT_EQ(std::pair(games[2].imageCount, games[3].imageCount), std::pair(0, -1));  // only result rows rescanned
    resetJobGlobals();
}

// What the bottom line shows for a snapshot: the bar's fraction and overlay, the status text.
TEST(ProgressLogic, BarAndStatusLine) {
    struct Case {
        ProgressSnapshot s;
        float fraction;
        std::string overlay;
        StatusKind kind;
        std::string status;
    };
    const std::string twoLines = std::string(250, 'm') + "\n第二行";
    const Case CASES[] = {
        // The match's text is cut to 95 bytes, never inside a character (匹).
        {{.progress = 0.25f, .progressText = std::string(94, 'p') + "匹配", .total = 120, .pending = 119, .confirmed = 1},
         0.25f, std::string(94, 'p'), StatusKind::Counts, "共 120 | 待处理 119 | 已匹配 1 | 无匹配 0"},
        // A download: games reported / total; files done / known; the bar is the job's fraction,
        // where a game without its store details yet counts as the known games' average
        // (30 of 40 + 10 expected) and the bytes are those of the transfers in flight.
        {{.dlState = 1, .dlDone = 4, .dlTotal = 5, .dlFail = 1, .filesDone = 30, .filesKnown = 40, .gamesKnown = 4,
          .transfers = 2, .bytesDone = 524288},
         0.6f, "60%  传输中 512.0 KB", StatusKind::Download, "5/5 当前:-  文件:30/40  传输:2  完整:4 不全:0 失败:1"},
        // Before any details: two files a game expected; sizes shown when every transfer announced one.
        {{.dlState = 1, .dlTotal = 3, .filesDone = 2, .filesKnown = 2, .transfers = 1, .bytesDone = 1 << 20,
          .bytesTotal = 2 << 20, .curGame = "空洞骑士"},
         0.25f, "25%  传输中 1.0 MB/2.0 MB", StatusKind::Download,
         "0/3 当前:空洞骑士  文件:2/2  传输:1  完整:0 不全:0 失败:0"},
        {{.dlState = 1, .dlTotal = 2, .dlPartial = 2, .filesDone = 25, .filesKnown = 24, .gamesKnown = 2}, 1.0f, "100%",
         StatusKind::Download, "2/2 当前:-  文件:25/24  传输:0  完整:0 不全:2 失败:0"},
        {{.dlState = 2, .dlTotal = 4, .dlFail = 1, .msg = twoLines}, 1.0f, "完成 4 / 4", StatusKind::Message,
         std::string(200, 'm') + "...  ← 悬停看明细"},
        // An empty first line brings the counts back.
        {{.dlState = 2, .msg = "\n第二行"}, 0.0f, "", StatusKind::Counts, "共 0 | 待处理 0 | 已匹配 0 | 无匹配 0"},
    };
    for (const Case& c : CASES) {
        const ProgressView v = progressView(c.s);
        EXPECT_FLOAT_EQ(v.fraction, c.fraction) << c.overlay;
        EXPECT_EQ(v.overlay, c.overlay);
        const StatusLine st = statusLine(c.s);
        EXPECT_EQ(st.kind, c.kind) << c.status;
        EXPECT_EQ(st.text, c.status);
        EXPECT_EQ(st.warn, c.s.dlFail + c.s.dlPartial > 0 && c.kind != StatusKind::Counts) << c.status;
        EXPECT_EQ(st.tooltip, c.kind == StatusKind::Counts ? "" : c.s.msg) << c.status;
    }
}

}  // namespace
