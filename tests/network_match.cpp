// The batch network match against a loopback store: selection, ranking and per-game
// writes, failures, throttling in a job, cancel and collection.
#include "steam/network_match.h"

#include "data/game.h"
#include "data/jobs.h"
#include "match/score.h"
#include "steam/http.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"

#include <gtest/gtest.h>

using kbtest::LoopbackHttp;
using kbtest::ScopedHostMap;
using kbtest::waitUntil;

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

// A store whose search answers are decided per term by the test; mapped for its lifetime.
struct FakeStore {
    LoopbackHttp http;
    std::function<void(const std::string& term, kbtest::HttpResponse&)> answer;
    std::mutex mtx;
    std::vector<std::string> terms;  // in request order
    std::unique_ptr<ScopedHostMap> map;

    explicit FakeStore(std::function<void(const std::string&, kbtest::HttpResponse&)> a) : answer(std::move(a)) {
        http.svr.get("/api/storesearch/", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            const std::string term = q.param("term");
            {
                std::lock_guard<std::mutex> lk(mtx);
                terms.push_back(term);
            }
            EXPECT_EQ(q.param("cc"), "CN");
            answer(term, r);
        });
        http.start();
        map = std::make_unique<ScopedHostMap>(std::string(kSteamStoreHost) + "=" + http.base());
    }
    int count(const std::string& term) {
        std::lock_guard<std::mutex> lk(mtx);
        return static_cast<int>(std::count(terms.begin(), terms.end(), term));
    }
};

class NetworkMatch : public kbtest::JobTest {
protected:
    static void runToEnd(const PanelOptions& opts = PanelOptions{}) {
        ASSERT_TRUE(startNetworkMatch(opts));
        ASSERT_TRUE(waitUntil([] { return gMatchState.load() == 2; }));
        EXPECT_TRUE(pollNetworkMatchJob());
        EXPECT_EQ(gMatchState.load(), 0);
    }
};

}  // namespace

TEST_F(NetworkMatch, SelectionFollowsTheOptions) {
    EXPECT_FALSE(startNetworkMatch(PanelOptions{}));
    EXPECT_EQ(gMatchMsg, "请先点击【读取数据】加载游戏。");
    const std::tuple<int, int, std::vector<int32_t>> cases[] = {
        {0, 0, {0, 3}}, {0, 1, {0, 1, 3}}, {1, 0, {0, 2, 3}}, {1, 1, {0, 1, 2, 3}}};
    for (const auto& [resourceMode, matchMode, want] : cases) {
        dummyGames = {game("plain"), game("matched", true), game("has media", false, 2, 1), game("images only", false, 3, 0)};
        PanelOptions opts;
        opts.existingResourceMode = resourceMode;
        opts.existingMatchMode = matchMode;
        std::vector<int32_t> rows;
        for (const NetMatchItem& w : selectNetworkMatchGames(opts)) {
            rows.push_back(w.row);
            EXPECT_TRUE(dummyGames[static_cast<size_t>(w.row)].candidates.empty());  // cleared for the run
        }
        EXPECT_EQ(rows, want);
    }
}

TEST_F(NetworkMatch, RanksHitsAndWritesEachGame) {
    std::vector<StoreItem> many;
    for (int i = 0; i < 24; ++i) many.push_back(StoreItem{100 + i, "Dark Souls " + std::string(static_cast<size_t>(i % 5), 'I') + " Edition " + std::to_string(i)});
    many.push_back(StoreItem{7, "Dark Souls"});
    FakeStore store([&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "Dark Souls") r.setContent(searchAnswer(many), "application/json");
        else if (term == "!!!") r.setContent(searchAnswer({{1, "Alpha"}, {2, "Beta"}}), "application/json");
        else if (term == "broken") r.status = 500;
        else if (term == "监狱建筑师") r.setContent(searchAnswer({{9, "Prison"}, {233450, "监狱建筑师"}}), "application/json");
        else r.setContent("{\"total\":0}", "application/json");
    });
    dummyGames = {game("Dark Souls"), game("!!!"), game("broken", true), game("nothing", true),
                  game("监狱建筑师 v2023.05.16 七项修改器")};  // a trainer catalogue title: searched cleaned
    PanelOptions opts;
    opts.existingMatchMode = 1;
    runToEnd(opts);

    const GameInfo& ds = dummyGames[0];
    const std::vector<MatchCandidate> expected = rankStoreItems("Dark Souls", many);
    ASSERT_EQ(ds.candidates.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(ds.candidates[i].appid, expected[i].appid);
    EXPECT_EQ(ds.matchedName, "Dark Souls");
    EXPECT_EQ(ds.matchMethod, "网络匹配");
    // Every hit scores 0 and the best one still becomes the match.
    EXPECT_EQ(dummyGames[1].similarity, 0.0f);
    EXPECT_EQ(dummyGames[1].matchMethod, "网络匹配");
    for (size_t row : {2u, 3u}) {
        EXPECT_TRUE(dummyGames[row].candidates.empty()) << row;
        EXPECT_EQ(dummyGames[row].matchMethod, "") << row;
    }
    EXPECT_EQ(dummyGames[4].candidates.at(0).appid, 233450);
    EXPECT_EQ(gConfirmCount.load(), 3);
    EXPECT_EQ(gUnmatchCount.load(), 2);
    EXPECT_EQ(gMatchDone.load(), 5);
    EXPECT_EQ(store.count("broken"), 1);  // a plain failure is not retried
}

TEST_F(NetworkMatch, CancelDuringTheThirdOfTenGames) {
    std::atomic<bool> thirdReached{false}, release{false};
    FakeStore store([&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "g3") {
            thirdReached = true;
            waitUntil([&] { return release.load(); });
        }
        r.setContent(searchAnswer({{30, term}}), "application/json");
    });
    for (int i = 1; i <= 10; ++i) dummyGames.push_back(game("g" + std::to_string(i), true));
    PanelOptions opts;
    opts.existingMatchMode = 1;
    ASSERT_TRUE(startNetworkMatch(opts));
    ASSERT_TRUE(waitUntil([&] { return thirdReached.load(); }));
    EXPECT_TRUE(rowJobRunning());  // the frame refuses sorting and 读取数据 meanwhile
    cancelNetworkMatch();
    EXPECT_FALSE(pollNetworkMatchJob());
    EXPECT_EQ(progressTextCopy(), "网络匹配 2/10 (取消中...)");
    release = true;
    ASSERT_TRUE(waitUntil([] { return gMatchState.load() == 2; }));
    EXPECT_TRUE(pollNetworkMatchJob());
    EXPECT_FALSE(rowJobRunning());
    EXPECT_EQ(gPendingCount.load(), 7);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(dummyGames[i].matchedName, dummyGames[i].name);
    for (size_t i = 3; i < 10; ++i) EXPECT_TRUE(dummyGames[i].candidates.empty()) << i;
    EXPECT_EQ(store.count("g4"), 0);
}

// 429 is waited out; a store that still refuses (403) after its one pause stops the run.
TEST_F(NetworkMatch, ThrottledGamesAreRetriedAndARefusingStoreStopsTheRun) {
    std::atomic<int> busyCalls{0};
    FakeStore store([&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "busy" && busyCalls++ < 2) {
            r.status = 429;
            r.setHeader("Retry-After", "0");
        } else if (term == "blocked") {
            r.status = 403;
        } else {
            r.setContent(searchAnswer({{5, term}}), "application/json");
        }
    });
    dummyGames = {game("busy"), game("blocked"), game("after")};
    throttleSetTestForbiddenPauseSec(0);
    runToEnd();
    throttleSetTestForbiddenPauseSec(-1);
    EXPECT_EQ(dummyGames[0].matchedName, "busy");
    EXPECT_EQ(store.count("busy"), 3);
    EXPECT_EQ(store.count("blocked"), 2);
    EXPECT_EQ(store.count("after"), 0);
    EXPECT_EQ(gPendingCount.load(), 2);
    EXPECT_EQ(gMatchMsg, std::string("网络匹配已停止：") + kStoreRefusedError);
    EXPECT_EQ(networkMatchProgressText(0, 5, false, 60), "网络匹配 0/5 (商店限流，60 秒后重试)");
}
