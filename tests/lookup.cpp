// Manual lookups against a loopback store: by name and by appid, what each writes into its
// row, input validation and the limited title decoding of the by-appid answer.
#include "steam/lookup.h"

#include "data/jobs.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

namespace {

GameInfo matchedGame(const std::string& name) {
    GameInfo g;
    g.name = name;
    installCandidates(g, {MatchCandidate{1, "old match", "", 0.8f}}, "网络匹配");
    return g;
}

using Lookup = kbtest::JobTest;

TEST_F(Lookup, WhatEachLookupWritesIntoItsRow) {
    const std::string unavailable =
        kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/steam/appdetails_11550_unavailable.json");
    kbtest::LoopbackHttp store;
    store.svr.get("/api/storesearch/", [](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        r.setContent(q.param("term") != "Portal" ? "{\"items\":[]}"
                                                 : "{\"items\":[{\"name\":\"Portal Knights\",\"id\":3},"
                                                   "{\"name\":\"Portal\",\"id\":400},{\"name\":\"Zzz\",\"id\":9}]}",
                     "application/json");
    });
    store.svr.get("/api/appdetails", [&](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        EXPECT_EQ(q.param("cc"), "cn");
        r.setContent(q.param("appids") == "11550" ? unavailable
                                                  : "{\"570\":{\"success\":true,\"data\":{\"name\":\"Dota \\u00e9 "
                                                    "\\/ \\\"2\\\"\"}}}",
                     "application/json");
    });
    store.start();
    kbtest::ScopedHostMap map(std::string(kSteamStoreHost) + "=" + store.base());
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
        {true, 1, "", "", 1, "old match"},
        {true, 1, "nothing at all", "无结果", 0, ""},
        {false, 1, "570abc", "完成", 570, "Dota \\u00e9 / \"2\""},
        {false, 1, "11550", "未找到该编号或已下架", 0, ""},
        {false, 7, "570", "完成", 1, "old match"},  // a row that left the list meanwhile
        {false, 1, "0", badAppid, 1, "old match"},
        {false, 1, "-5", badAppid, 1, "old match"},
        {false, 1, "abc", badAppid, 1, "old match"},
        {false, 1, "99999999999", badAppid, 1, "old match"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        dummyGames = {matchedGame("Portal"), matchedGame("Dota")};
        gDlgTargetRow = c.row;
        std::snprintf(c.byName ? gDlgInputName : gDlgInputAppid, 64, "%s", c.input);
        auto confirm = c.byName ? confirmLookupByName : confirmLookupByAppid;
        if (confirm()) {
            EXPECT_TRUE(rowJobRunning());
            EXPECT_FALSE(confirm());  // no second lookup while one runs
            EXPECT_TRUE(kbtest::waitUntil([] { return gDlgDone.load(); }));
            EXPECT_EQ(dlgStatusCopy(), c.status);
            EXPECT_TRUE(collectLookup());
            EXPECT_FALSE(gDlgRunning.load());
        } else {
            EXPECT_EQ(dlgStatusCopy(), c.byName ? "" : badAppid);
        }
        const GameInfo& g = dummyGames[1];
        EXPECT_EQ(g.candidates.empty() ? 0 : g.candidates[0].appid, c.appid);
        EXPECT_EQ(g.matchedName, c.matchedName);
        EXPECT_EQ(g.matchMethod, c.appid == 1 ? "网络匹配" : c.appid ? "手动查询" : "");
        EXPECT_EQ(dummyGames[0].matchedName, "old match");
    }
}

TEST(LookupInput, AppidAndTitleDecoding) {
    EXPECT_EQ(parseAppidInput("  +42abc"), 42);
    EXPECT_EQ(parseAppidInput("2147483648"), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"{\"name\":\"outer\",\"1\":{\"data\":{\"name\": \t\"A\\u00e9\"}}}", "A\\u00e9"},
        {"{\"data\":{\"name\":\"a\\\"b\\/c\\\\d\\ne\\tf\\rg\"}}", "a\"b/c\\d\ne\tf\\rg"},
        {"{\"data\":{\"name\":42}}", ""},
    };
    for (const auto& [body, title] : cases) EXPECT_EQ(extractAppDetailsTitle(body), title) << body;
}

}  // namespace
