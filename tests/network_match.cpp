// The batch network match against a loopback store: selection, ranking, per-game writes,
// failures, throttling, cancel and collection.
#include "steam/network_match.h"

#include "data/game.h"
#include "data/jobs.h"
#include "match/score.h"
#include "steam/http.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"

#include <gtest/gtest.h>

#include <map>

using kbtest::LoopbackHttp;
using kbtest::ScopedHostMap;

namespace {

GameInfo game(const std::string& name, bool matched = false, int images = 0, int texts = 0) {
    GameInfo g;
    g.name = name;
    g.imageCount = images;
    g.textCount = texts;
    if (matched) installCandidates(g, {MatchCandidate{1, "old", "", 0.5f}}, "网络匹配");
    return g;
}

std::string searchAnswer(const std::vector<StoreItem>& items) {
    std::string s = "{\"total\":" + std::to_string(items.size()) + ",\"items\":[";
    for (size_t i = 0; i < items.size(); ++i)
        s += (i ? "," : "") + std::string("{\"type\":\"app\",\"name\":\"") + items[i].name +
             "\",\"id\":" + std::to_string(items[i].appid) + "}";
    return s + "]}";
}

// A store whose search answers are decided per term by the test.
struct FakeStore {
    LoopbackHttp http;
    std::function<void(const std::string& term, kbtest::HttpResponse&)> answer;
    std::mutex mtx;
    std::vector<std::string> terms;  // in request order

    FakeStore() {
        http.svr.get("/api/storesearch/", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            const std::string term = q.param("term");
            {
                std::lock_guard<std::mutex> lk(mtx);
                terms.push_back(term);
            }
            EXPECT_EQ(q.param("l"), "schinese");
            EXPECT_EQ(q.param("cc"), "CN");
            answer(term, r);
        });
        http.start();
    }
    std::string hostMap() const { return std::string(kSteamStoreHost) + "=" + http.base(); }
    int count(const std::string& term) {
        std::lock_guard<std::mutex> lk(mtx);
        return static_cast<int>(std::count(terms.begin(), terms.end(), term));
    }
};

class NetworkMatch : public ::testing::Test {
protected:
    void SetUp() override {
        resetJobGlobals();
        dummyGames.clear();
    }
    void TearDown() override {
        if (gMatchThread.joinable()) gMatchThread.join();
        dummyGames.clear();
        resetJobGlobals();
    }
    static void runToEnd(const PanelOptions& opts = PanelOptions{}) {
        ASSERT_TRUE(startNetworkMatch(opts));
        while (gMatchState.load() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(pollNetworkMatchJob());
        EXPECT_EQ(gMatchState.load(), 0);
        EXPECT_EQ(progressTextCopy(), "");
    }
};

}  // namespace

TEST_F(NetworkMatch, SelectionFollowsTheOptions) {
    struct Case {
        int resourceMode, matchMode;
        std::vector<int32_t> rows;
    };
    const Case CASES[] = {
        {0, 0, {0, 3}},
        {0, 1, {0, 1, 3}},
        {1, 0, {0, 2, 3}},
        {1, 1, {0, 1, 2, 3}},
    };
    for (const Case& c : CASES) {
        dummyGames = {game("plain"), game("matched", true), game("has media", false, 2, 1), game("images only", false, 3, 0)};
        PanelOptions opts;
        opts.existingResourceMode = c.resourceMode;
        opts.existingMatchMode = c.matchMode;
        std::vector<NetMatchItem> work = selectNetworkMatchGames(opts);
        std::vector<int32_t> rows;
        for (const NetMatchItem& w : work) {
            rows.push_back(w.row);
            EXPECT_EQ(w.name, dummyGames[static_cast<size_t>(w.row)].name);
            EXPECT_TRUE(dummyGames[static_cast<size_t>(w.row)].candidates.empty());
            EXPECT_EQ(dummyGames[static_cast<size_t>(w.row)].matchMethod, "");
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(dummyGames[1].matchedName.empty(), c.matchMode == 1);
    }
}

TEST_F(NetworkMatch, EmptyListAsksToLoadFirst) {
    EXPECT_FALSE(startNetworkMatch(PanelOptions{}));
    EXPECT_TRUE(gMatchShowModal);
    EXPECT_EQ(gMatchMsg, "请先点击【读取数据】加载游戏。");
    EXPECT_EQ(gMatchState.load(), 0);
}

TEST_F(NetworkMatch, RanksHitsAndWritesEachGame) {
    std::vector<StoreItem> many;
    for (int i = 0; i < 25; ++i) many.push_back(StoreItem{100 + i, "Dark Souls " + std::string(static_cast<size_t>(i % 5), 'I') + " Edition " + std::to_string(i)});
    many.push_back(StoreItem{7, "Dark Souls"});
    many.erase(many.begin() + 5);  // 25 hits in all
    const std::vector<StoreItem> zeros = {{1, "Alpha"}, {2, "Beta"}, {3, "Gamma"}};
    FakeStore store;
    store.answer = [&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "Dark Souls") r.setContent(searchAnswer(many), "application/json");
        else if (term == "!!!") r.setContent(searchAnswer(zeros), "application/json");
        else if (term == "broken") r.status = 500;
        else if (term == "no items") r.setContent("{\"total\":0}", "application/json");
        else if (term == "监狱建筑师") r.setContent(searchAnswer({{9, "Prison"}, {233450, "监狱建筑师"}}), "application/json");
        else r.setContent(searchAnswer({}), "application/json");
    };
    ScopedHostMap map(store.hostMap());
    dummyGames = {game("Dark Souls"), game("!!!"), game("broken", true), game("no items", true), game("nothing"),
                  game("监狱建筑师 v2023.05.16 七项修改器")};  // a trainer catalogue title: searched cleaned
    PanelOptions opts;
    opts.existingMatchMode = 1;
    runToEnd(opts);

    const GameInfo& ds = dummyGames[0];
    ASSERT_EQ(ds.candidates.size(), 10u);
    EXPECT_EQ(ds.candidates[0].appid, 7);
    EXPECT_EQ(ds.similarity, ds.candidates[0].score);
    EXPECT_EQ(ds.matchedName, "Dark Souls");
    EXPECT_EQ(ds.matchMethod, "网络匹配");
    for (size_t i = 1; i < ds.candidates.size(); ++i) EXPECT_GE(ds.candidates[i - 1].score, ds.candidates[i].score);
    const std::vector<MatchCandidate> expected = rankStoreItems("Dark Souls", many);
    ASSERT_EQ(expected.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(ds.candidates[i].appid, expected[i].appid);

    // Every hit scores 0 and the best one still becomes the match.
    const GameInfo& z = dummyGames[1];
    ASSERT_EQ(z.candidates.size(), 3u);
    EXPECT_EQ(z.similarity, 0.0f);
    EXPECT_EQ(z.matchMethod, "网络匹配");
    EXPECT_FALSE(z.matchedName.empty());

    for (size_t row : {2u, 3u, 4u}) {
        const GameInfo& g = dummyGames[row];
        EXPECT_TRUE(g.candidates.empty()) << g.name;
        EXPECT_EQ(g.matchedName, "") << g.name;
        EXPECT_EQ(g.similarity, 0.0f) << g.name;
        EXPECT_EQ(g.matchMethod, "") << g.name;
    }
    EXPECT_EQ(dummyGames[5].candidates.at(0).appid, 233450);
    EXPECT_EQ(dummyGames[5].similarity, 1.0f);
    EXPECT_EQ(gConfirmCount.load(), 3);
    EXPECT_EQ(gUnmatchCount.load(), 3);
    EXPECT_EQ(gPendingCount.load(), 0);
    EXPECT_EQ(gTotalCount.load(), 6);
    EXPECT_EQ(gMatchDone.load(), 6);
    EXPECT_EQ(store.count("broken"), 1);  // a plain failure is not retried
}

TEST_F(NetworkMatch, CancelDuringTheThirdOfTenGames) {
    FakeStore store;
    std::atomic<bool> thirdReached{false}, release{false};
    store.answer = [&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "g3") {
            thirdReached = true;
            while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        r.setContent(searchAnswer({{30, term}}), "application/json");
    };
    ScopedHostMap map(store.hostMap());
    for (int i = 1; i <= 10; ++i) dummyGames.push_back(game("g" + std::to_string(i), true));
    PanelOptions opts;
    opts.existingMatchMode = 1;
    ASSERT_TRUE(startNetworkMatch(opts));
    while (!thirdReached.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));

    EXPECT_TRUE(rowJobRunning());  // the frame refuses sorting and 读取数据 meanwhile
    cancelNetworkMatch();
    EXPECT_FALSE(pollNetworkMatchJob());
    EXPECT_EQ(progressTextCopy(), "网络匹配 2/10 (取消中...)");
    release = true;
    while (gMatchState.load() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(pollNetworkMatchJob());
    EXPECT_FALSE(gMatchCancel.load());
    EXPECT_FALSE(rowJobRunning());

    EXPECT_EQ(gConfirmCount.load() + gUnmatchCount.load(), 3);
    EXPECT_EQ(gPendingCount.load(), 7);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(dummyGames[i].matchedName, dummyGames[i].name);
    for (size_t i = 3; i < 10; ++i) EXPECT_TRUE(dummyGames[i].candidates.empty()) << i;
    EXPECT_EQ(store.count("g4"), 0);
}

// 429 is waited out; a store that still refuses (403) after its one pause stops the run.
TEST_F(NetworkMatch, ThrottledGamesAreRetriedAndARefusingStoreStopsTheRun) {
    FakeStore store;
    std::atomic<int> busyCalls{0};
    store.answer = [&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "busy" && busyCalls++ < 2) {
            r.status = 429;
            r.setHeader("Retry-After", "0");
            return;
        }
        if (term == "blocked") {
            r.status = 403;
            return;
        }
        r.setContent(searchAnswer({{5, term}}), "application/json");
    };
    ScopedHostMap map(store.hostMap());
    dummyGames = {game("busy"), game("blocked"), game("after")};
    throttleSetTestForbiddenPauseSec(0);
    runToEnd();
    throttleSetTestForbiddenPauseSec(-1);
    EXPECT_EQ(dummyGames[0].matchedName, "busy");
    EXPECT_EQ(store.count("busy"), 3);
    EXPECT_EQ(store.count("blocked"), 2);
    EXPECT_EQ(store.count("after"), 0);
    EXPECT_EQ(gPendingCount.load(), 2);
    EXPECT_TRUE(gMatchShowModal);
    EXPECT_EQ(gMatchMsg, std::string("网络匹配已停止：") + kStoreRefusedError);
}

TEST_F(NetworkMatch, CancelEndsAThrottlePause) {
    FakeStore store;
    store.answer = [&](const std::string&, kbtest::HttpResponse& r) {
        r.status = 429;
        r.setHeader("Retry-After", "200");
    };
    ScopedHostMap map(store.hostMap());
    dummyGames = {game("a"), game("b")};
    ASSERT_TRUE(startNetworkMatch(PanelOptions{}));
    while (gMatchWaitSeconds.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(pollNetworkMatchJob());
    EXPECT_EQ(progressTextCopy(), "网络匹配 0/2 (商店限流，200 秒后重试)");
    cancelNetworkMatch();
    while (gMatchState.load() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(pollNetworkMatchJob());
    EXPECT_EQ(gPendingCount.load(), 2);  // the paused game was never answered
    EXPECT_EQ(gMatchDone.load(), 0);
    EXPECT_EQ(store.count("b"), 0);
}

TEST_F(NetworkMatch, RowThatNoLongerExistsIsSkipped) {
    FakeStore store;
    store.answer = [&](const std::string& term, kbtest::HttpResponse& r) {
        r.setContent(searchAnswer({{5, term}}), "application/json");
    };
    ScopedHostMap map(store.hostMap());
    dummyGames = {game("only")};
    gPendingCount = 1;
    runNetworkMatch({NetMatchItem{4, "gone"}, NetMatchItem{-1, "negative"}});
    EXPECT_EQ(gMatchState.load(), 2);
    EXPECT_EQ(gMatchDone.load(), 2);
    EXPECT_EQ(gConfirmCount.load() + gUnmatchCount.load(), 0);
    EXPECT_EQ(gPendingCount.load(), 0);
    EXPECT_TRUE(dummyGames[0].candidates.empty());
}

TEST(NetworkMatchText, ProgressText) {
    EXPECT_EQ(networkMatchProgressText(3, 10, false, 0), "网络匹配 3/10");
    EXPECT_EQ(networkMatchProgressText(3, 10, true, 0), "网络匹配 3/10 (取消中...)");
    EXPECT_EQ(networkMatchProgressText(0, 5, false, 60), "网络匹配 0/5 (商店限流，60 秒后重试)");
    EXPECT_EQ(networkMatchProgressText(0, 5, true, 60), "网络匹配 0/5 (取消中...)");
}
