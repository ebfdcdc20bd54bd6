// The store's search jobs against a loopback store: the batch network match (per-game writes,
// failures, throttling and cancel; which games it takes is the skip rule of the library match's
// tests) and the manual lookups by name and by appid.
#include "steam/network_match.h"

#include "data/game.h"
#include "data/jobs.h"
#include "steam/http.h"
#include "steam/lookup.h"
#include "steam/store_api.h"
#include "tests/net_servers.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <set>

using kbtest::waitUntil;

namespace {

GameInfo game(const std::string& name, bool matched = false) {
    GameInfo g;
    g.name = name;
    if (matched) installCandidates(g, {MatchCandidate{1, "old", "", 0.5f}}, "网络匹配");
    return g;
}

const std::string kDotaDetails = "{\"570\":{\"success\":true,\"data\":{\"name\":\"Dota \\u00e9 \\/ \\\"2\\\"\"}}}";

// A store whose answers depend on the term or appid asked; it records every search term.
class StoreJobs : public kbtest::JobTest {
protected:
    std::mutex mtx;
    std::multiset<std::string> terms;  // guarded by mtx
    std::atomic<bool> holding{false}, release{false};  // the search for "hold" waits for release
    const std::string unavailable =
        kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/steam/appdetails_11550_unavailable.json");
    kbtest::HttpServer store;  // last but one: it stops before the state above goes away
    std::unique_ptr<kbtest::ScopedHostMap> map;

    void SetUp() override {
        JobTest::SetUp();
        store.handler = [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            if (q.path == "/api/appdetails") {
                EXPECT_EQ(q.param("cc"), "cn");
                return r.setContent(q.param("appids") == "11550" ? unavailable : kDotaDetails, "application/json");
            }
            EXPECT_EQ(q.path, "/api/storesearch/");
            const std::string term = q.param("term");
            EXPECT_EQ(q.param("cc"), "CN");
            if (term == "hold") {
                holding = true;
                waitUntil([this] { return release.load(); });
            }
            std::lock_guard<std::mutex> lk(mtx);
            terms.insert(term);
            if (term == "busy" && terms.count(term) <= 2) {
                r.status = 429;
                r.setHeader("Retry-After", "0");
            } else if (term == "broken" || term == "blocked") {
                r.status = term == "broken" ? 500 : 403;
            } else if (term == "nothing") {
                r.setContent("{\"total\":0}", "application/json");
            } else {
                std::string items = R"({"name":")" + term + R"(","id":5})";
                if (term == "Dark Souls") items = R"({"name":"Dark Souls II","id":3},{"name":"Dark Souls","id":7})";
                // All score 0: the best is still a match.
                if (term == "!!!") items = R"({"name":"Alpha","id":1},{"name":"Beta","id":2})";
                if (term == "监狱建筑师") items = R"({"name":"Prison","id":9},{"name":"监狱建筑师","id":233450})";
                if (term == "Portal")
                    items = R"({"name":"Portal Knights","id":3},{"name":"Portal","id":400},{"name":"Zzz","id":9})";
                r.setContent("{\"items\":[" + items + "]}", "application/json");
            }
        };
        store.keepAlive = true;
        store.start();
        map = std::make_unique<kbtest::ScopedHostMap>(std::string(kSteamStoreHost) + "=" + store.base());
    }
};

}  // namespace

// One run over every kind of store answer: each game gets its best hit or nothing; 429 is
// waited out, and a store that still refuses (403) after its one pause stops the run.
TEST_F(StoreJobs, NetworkMatchOverEveryKindOfAnswer) {
    EXPECT_FALSE(startNetworkMatch(PanelOptions{}));
    EXPECT_EQ(gMatchMsg, kLoadGamesFirstMessage);
    // A trainer catalogue title is searched cleaned, never as it is.
    dummyGames = {game("busy"), game("Dark Souls"), game("!!!"), game("broken", true), game("nothing", true),
                  game("监狱建筑师 v2023.05.16 七项修改器"), game("blocked"), game("after")};
    const std::pair<int32_t, size_t> want[] = {{5, 3}, {7, 1}, {1, 1}, {0, 1}, {0, 1}, {233450, 0}, {0, 2}, {0, 0}};
    PanelOptions opts;
    opts.existingMatchMode = 1;
    throttleSetTestForbiddenPauseSec(0);
    ASSERT_TRUE(startNetworkMatch(opts));
    ASSERT_TRUE(waitUntil([] { return gMatchState.load() == 2; }));
    EXPECT_TRUE(pollNetworkMatchJob());
    throttleSetTestForbiddenPauseSec(-1);
    std::lock_guard<std::mutex> lk(mtx);
    for (size_t i = 0; i < std::size(want); ++i) {
        const GameInfo& g = dummyGames[i];
        EXPECT_EQ(g.candidates.empty() ? 0 : g.candidates[0].appid, want[i].first) << g.name;
        EXPECT_EQ(g.matchMethod, want[i].first ? "网络匹配" : "") << g.name;
        EXPECT_EQ(terms.count(g.name), want[i].second) << g.name;  // a plain failure is not retried
    }
    EXPECT_EQ(gConfirmCount.load(), 4);
    EXPECT_EQ(gUnmatchCount.load(), 2);
    EXPECT_EQ(gPendingCount.load(), 2);
    EXPECT_EQ(gMatchMsg, std::string("网络匹配已停止：") + kStoreRefusedError);
    EXPECT_EQ(networkMatchProgressText(0, 5, false, 60), "网络匹配 0/5 (商店限流，60 秒后重试)");
    // The run keeps its connection to the store (Wine's transport drops it after an error answer).
    EXPECT_LE(store.connections.load() * 2, static_cast<int>(terms.size()));
}

// Cancelled while the third of ten searches is in flight: that game still gets its answer, the
// other seven are left untouched and never searched.
TEST_F(StoreJobs, CancelDuringTheThirdOfTenGames) {
    for (int i = 1; i <= 10; ++i) dummyGames.push_back(game(i == 3 ? "hold" : "g" + std::to_string(i)));
    ASSERT_TRUE(startNetworkMatch(PanelOptions{}));
    ASSERT_TRUE(waitUntil([this] { return holding.load(); }));
    EXPECT_TRUE(rowJobRunning());  // the frame refuses sorting and 读取数据 meanwhile
    cancelNetworkMatch();
    EXPECT_FALSE(pollNetworkMatchJob());
    EXPECT_EQ(progressTextCopy(), "网络匹配 2/10 (取消中...)");
    release = true;
    ASSERT_TRUE(waitUntil([] { return gMatchState.load() == 2; }));
    EXPECT_TRUE(pollNetworkMatchJob());
    EXPECT_FALSE(rowJobRunning());
    EXPECT_EQ(gPendingCount.load(), 7);
    for (size_t i = 0; i < dummyGames.size(); ++i) EXPECT_EQ(dummyGames[i].candidates.empty(), i >= 3) << i;
    std::lock_guard<std::mutex> lk(mtx);
    EXPECT_EQ(terms.count("g4"), 0u);
}

TEST_F(StoreJobs, LookupsWriteIntoTheirRow) {
    struct Case {
        bool byName;
        int32_t row;
        const char* input;
        std::string status;  // "" = refused before any request
        int32_t appid;       // the row's first candidate afterwards, 0 = none
        std::string matchedName;
    };
    const std::string badAppid = "请输入有效的 appid (正整数)";
    const Case cases[] = {
        {true, 1, "Portal", "完成，共 3 条", 400, "Portal"},  // searched as typed
        {true, 1, "", "", 1, "old"},
        {true, 1, "nothing", "无结果", 0, ""},
        {false, 1, "  +570abc", "完成", 570, "Dota \\u00e9 / \"2\""},
        {false, 1, "11550", "未找到该编号或已下架", 0, ""},
        {false, 7, "570", "完成", 1, "old"},  // a row that left the list meanwhile
        {false, 1, "99999999999", badAppid, 1, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        dummyGames = {game("Portal", true), game("Dota", true)};
        gDlgTargetRow = c.row;
        std::snprintf(c.byName ? gDlgInputName : gDlgInputAppid, 64, "%s", c.input);
        auto confirm = c.byName ? confirmLookupByName : confirmLookupByAppid;
        if (confirm()) {
            EXPECT_TRUE(rowJobRunning());
            EXPECT_FALSE(confirm());  // no second lookup while one runs
            EXPECT_TRUE(waitUntil([] { return gDlgDone.load(); }));
            EXPECT_EQ(dlgStatusCopy(), c.status);
            EXPECT_TRUE(collectLookup());
        } else {
            EXPECT_EQ(dlgStatusCopy(), c.byName ? "" : badAppid);
        }
        const GameInfo& g = dummyGames[1];
        EXPECT_EQ(g.candidates.empty() ? 0 : g.candidates[0].appid, c.appid);
        EXPECT_EQ(g.matchedName, c.matchedName);
        EXPECT_EQ(g.matchMethod, c.appid == 1 ? "网络匹配" : c.appid ? "手动查询" : "");
        EXPECT_EQ(dummyGames[0].matchedName, "old");
    }
}
