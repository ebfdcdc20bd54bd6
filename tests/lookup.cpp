// Manual lookups against a loopback store: by name, by appid, input validation and the
// limited title decoding of the by-appid answer.
#include "steam/lookup.h"

#include "data/jobs.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"
#include "tests/test_util.h"

#include <gtest/gtest.h>

using kbtest::LoopbackHttp;
using kbtest::ScopedHostMap;

namespace {

GameInfo matchedGame(const std::string& name) {
    GameInfo g;
    g.name = name;
    installCandidates(g, {MatchCandidate{1, "old match", "", 0.8f}}, "网络匹配");
    return g;
}

class Lookup : public kbtest::JobTest {
protected:
    LoopbackHttp store;
    std::mutex mtx;                              // the server thread reads what the test sets
    std::map<std::string, std::string> details;  // appid -> body
    std::string searchBody = "{\"items\":[]}";
    std::unique_ptr<ScopedHostMap> map;

    void SetUp() override {
        JobTest::SetUp();
        gDlgInputName[0] = gDlgInputAppid[0] = '\0';
        dummyGames = {matchedGame("Portal"), matchedGame("Dota")};
        store.svr.get("/api/storesearch/", [this](const kbtest::HttpRequest&, kbtest::HttpResponse& r) {
            std::lock_guard<std::mutex> lk(mtx);
            r.setContent(searchBody, "application/json");
        });
        store.svr.get("/api/appdetails", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            const std::string id = q.param("appids");
            EXPECT_EQ(q.param("cc"), "cn");
            std::lock_guard<std::mutex> lk(mtx);
            auto it = details.find(id);
            r.setContent(it == details.end() ? "{\"" + id + "\":{\"success\":false}}" : it->second, "application/json");
        });
        store.start();
        map = std::make_unique<ScopedHostMap>(std::string(kSteamStoreHost) + "=" + store.base());
    }
    // Waits for the lookup, collects it like the frame does, and returns its status.
    void set(std::string& field, const std::string& value) {
        std::lock_guard<std::mutex> lk(mtx);
        field = value;
    }
    static std::string finish() {
        EXPECT_TRUE(kbtest::waitUntil([] { return gDlgDone.load(); }));
        const std::string status = dlgStatusCopy();
        EXPECT_TRUE(collectLookup());
        EXPECT_FALSE(gDlgRunning.load());
        return status;
    }
    static std::string byName(int row, const char* name) {
        gDlgTargetRow = row;
        std::snprintf(gDlgInputName, sizeof gDlgInputName, "%s", name);
        return confirmLookupByName() ? finish() : "refused";
    }
    static std::string byAppid(int row, const char* appid) {
        gDlgTargetRow = row;
        std::snprintf(gDlgInputAppid, sizeof gDlgInputAppid, "%s", appid);
        return confirmLookupByAppid() ? finish() : "refused: " + dlgStatusCopy();
    }
};

}  // namespace

TEST_F(Lookup, ByName) {
    set(searchBody, "{\"items\":[{\"name\":\"Portal Knights\",\"id\":3},{\"name\":\"Portal\",\"id\":400},"
                    "{\"name\":\"Zzz\",\"id\":9}]}");
    gDlgTargetRow = 1;
    std::snprintf(gDlgInputName, sizeof gDlgInputName, "Portal");  // searched as typed
    ASSERT_TRUE(confirmLookupByName());
    EXPECT_TRUE(rowJobRunning());
    EXPECT_FALSE(confirmLookupByName());  // no second lookup while one runs
    EXPECT_EQ(finish(), "完成，共 3 条");
    const GameInfo& g = dummyGames[1];
    ASSERT_EQ(g.candidates.size(), 3u);
    EXPECT_EQ(g.candidates[0].appid, 400);
    EXPECT_EQ(g.similarity, 1.0f);
    EXPECT_EQ(g.matchMethod, "手动查询");
    EXPECT_EQ(dummyGames[0].matchedName, "old match");

    EXPECT_EQ(byName(0, ""), "refused");
    set(searchBody, "{\"items\":[]}");
    EXPECT_EQ(byName(0, "nothing at all"), "无结果");
    EXPECT_TRUE(dummyGames[0].candidates.empty());
    EXPECT_EQ(dummyGames[0].matchMethod, "");
}

TEST_F(Lookup, ByAppid) {
    for (const char* bad : {"0", "-5", "abc", "99999999999"})
        EXPECT_EQ(byAppid(0, bad), "refused: 请输入有效的 appid (正整数)") << bad;
    EXPECT_EQ(parseAppidInput("  +42abc"), 42);
    EXPECT_EQ(parseAppidInput("2147483648"), 0);

    set(details["570"], "{\"570\":{\"success\":true,\"data\":{\"name\":\"Dota \\u00e9 \\/ \\\"2\\\"\"}}}");
    set(details["11550"], kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/steam/appdetails_11550_unavailable.json"));
    EXPECT_EQ(byAppid(1, "570abc"), "完成");
    ASSERT_EQ(dummyGames[1].candidates.size(), 1u);
    EXPECT_EQ(dummyGames[1].candidates[0].appid, 570);
    EXPECT_EQ(dummyGames[1].matchedName, "Dota \\u00e9 / \"2\"");
    EXPECT_EQ(dummyGames[1].matchMethod, "手动查询");
    EXPECT_EQ(byAppid(0, "11550"), "未找到该编号或已下架");
    EXPECT_TRUE(dummyGames[0].candidates.empty());
    // A row that left the list meanwhile is not written.
    EXPECT_EQ(byAppid(7, "570"), "完成");
    EXPECT_EQ(dummyGames[0].matchedName, "");
}

TEST(LookupTitle, LimitedEscapeDecoding) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"name\":\"outer\",\"1\":{\"data\":{\"name\": \t\"A\\u00e9\"}}}", "A\\u00e9"},
        {"{\"data\":{\"name\":\"a\\\"b\\/c\\\\d\\ne\\tf\\rg\"}}", "a\"b/c\\d\ne\tf\\rg"},
        {"{\"data\":{\"name\":42}}", ""},
    };
    for (const auto& [body, title] : cases) EXPECT_EQ(extractAppDetailsTitle(body), title) << body;
}
