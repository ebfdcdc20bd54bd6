// The batch network match against a loopback store: selection, per-game writes, failures
// and throttling in a job. (Its cancel is the window journey's.)
#include "steam/network_match.h"

#include "data/game.h"
#include "data/jobs.h"
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
    std::function<void(const std::string& term, kbtest::HttpResponse&)> answer;
    std::mutex mtx;
    std::vector<std::string> terms;  // in request order
    std::unique_ptr<ScopedHostMap> map;
    LoopbackHttp http;  // last: it stops before the rest goes away

    explicit FakeStore(std::function<void(const std::string&, kbtest::HttpResponse&)> a) : answer(std::move(a)) {
        http.svr.get("/api/storesearch/", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            EXPECT_EQ(q.param("cc"), "CN");
            {
                std::lock_guard<std::mutex> lk(mtx);
                terms.push_back(q.param("term"));
            }
            answer(q.param("term"), r);
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

// Each game gets the store's hits ranked, or nothing when the store had none or failed.
TEST_F(NetworkMatch, EachGameGetsItsHitsOrNone) {
    FakeStore store([&](const std::string& term, kbtest::HttpResponse& r) {
        if (term == "Dark Souls") r.setContent(searchAnswer({{3, "Dark Souls II"}, {7, "Dark Souls"}}), "application/json");
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
    // Every hit of "!!!" scores 0 and the best one still becomes the match.
    const int32_t best[] = {7, 1, 0, 0, 233450};
    for (size_t i = 0; i < std::size(best); ++i) {
        const GameInfo& g = dummyGames[i];
        EXPECT_EQ(g.candidates.empty() ? 0 : g.candidates[0].appid, best[i]) << g.name;
        EXPECT_EQ(g.matchMethod, best[i] ? "网络匹配" : "") << g.name;
    }
    EXPECT_EQ(gConfirmCount.load(), 3);
    EXPECT_EQ(gUnmatchCount.load(), 2);
    EXPECT_EQ(gMatchDone.load(), 5);
    EXPECT_EQ(store.count("broken"), 1);  // a plain failure is not retried
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
