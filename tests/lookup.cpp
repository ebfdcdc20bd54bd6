// Manual lookups against a loopback store: by name, by appid, validation, the limited
// title decoding of the by-appid answer, and collection.
#include "steam/lookup.h"

#include "data/jobs.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

using kbtest::LoopbackHttp;
using kbtest::ScopedHostMap;

namespace {

std::string readData(const std::string& name) {
    std::ifstream f(std::string(KB_TEST_DATA_DIR) + "/steam/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

GameInfo matchedGame(const std::string& name) {
    GameInfo g;
    g.name = name;
    installCandidates(g, {MatchCandidate{1, "old match", "", 0.8f}}, "网络匹配");
    return g;
}

class Lookup : public ::testing::Test {
protected:
    LoopbackHttp store;
    std::mutex mtx;
    std::string lastAppids;
    std::map<std::string, std::string> details;  // appid -> body
    std::string searchBody = "{\"items\":[]}";

    void SetUp() override {
        resetJobGlobals();
        gDlgTargetRow = -1;
        gDlgInputName[0] = gDlgInputAppid[0] = '\0';
        dummyGames = {matchedGame("Portal"), matchedGame("Dota")};
        store.svr.get("/api/storesearch/", [this](const kbtest::HttpRequest&, kbtest::HttpResponse& r) {
            r.setContent(searchBody, "application/json");
        });
        store.svr.get("/api/appdetails", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            const std::string id = q.param("appids");
            EXPECT_EQ(q.param("cc"), "cn");
            EXPECT_EQ(q.param("l"), "schinese");
            std::lock_guard<std::mutex> lk(mtx);
            lastAppids = id;
            auto it = details.find(id);
            r.setContent(it == details.end() ? "{\"" + id + "\":{\"success\":false}}" : it->second,
                          "application/json");
        });
        store.start();
    }
    void TearDown() override {
        if (gDlgThread.joinable()) gDlgThread.join();
        dummyGames.clear();
        resetJobGlobals();
    }
    // Waits for the lookup, returns its status, then collects it like the frame does.
    static std::string finish() {
        while (!gDlgDone.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::string status = dlgStatusCopy();
        EXPECT_TRUE(collectLookup());
        EXPECT_FALSE(gDlgRunning.load());
        EXPECT_EQ(dlgStatusCopy(), "");
        EXPECT_FALSE(gDlgThread.joinable());
        return status;
    }
    void setName(const char* s) { std::snprintf(gDlgInputName, sizeof gDlgInputName, "%s", s); }
    void setAppid(const char* s) { std::snprintf(gDlgInputAppid, sizeof gDlgInputAppid, "%s", s); }
    std::string hostMap() const { return std::string(kSteamStoreHost) + "=" + store.base(); }
};

}  // namespace

TEST_F(Lookup, ByNameWritesRankedCandidates) {
    ScopedHostMap map(hostMap());
    searchBody = "{\"items\":[{\"name\":\"Portal Knights\",\"id\":3},{\"name\":\"Portal\",\"id\":400},"
                 "{\"name\":\"Zzz\",\"id\":9}]}";
    gDlgTargetRow = 1;
    setName("Portal");  // searched as typed, not the row's own name
    ASSERT_TRUE(confirmLookupByName());
    EXPECT_TRUE(gDlgRunning.load());
    EXPECT_TRUE(rowJobRunning());
    EXPECT_FALSE(confirmLookupByName());  // no second lookup while one runs
    EXPECT_EQ(finish(), "完成，共 3 条");
    const GameInfo& g = dummyGames[1];
    ASSERT_EQ(g.candidates.size(), 3u);
    EXPECT_EQ(g.candidates[0].appid, 400);
    EXPECT_EQ(g.selectedCandidate, 0);
    EXPECT_EQ(g.similarity, 1.0f);
    EXPECT_EQ(g.matchMethod, "手动查询");
    EXPECT_GE(g.candidates[1].score, g.candidates[2].score);
    EXPECT_EQ(dummyGames[0].matchedName, "old match");
}

TEST_F(Lookup, ByNameWithoutHitsClearsTheRow) {
    ScopedHostMap map(hostMap());
    gDlgTargetRow = 0;
    setName("");
    EXPECT_FALSE(confirmLookupByName());
    EXPECT_FALSE(gDlgRunning.load());
    setName("nothing at all");
    ASSERT_TRUE(confirmLookupByName());
    EXPECT_EQ(finish(), "无结果");
    EXPECT_TRUE(dummyGames[0].candidates.empty());
    EXPECT_EQ(dummyGames[0].matchedName, "");
    EXPECT_EQ(dummyGames[0].matchMethod, "");
}

TEST_F(Lookup, AppidValidation) {
    ScopedHostMap map(hostMap());
    gDlgTargetRow = 0;
    for (const char* bad : {"0", "-5", "", "abc", "99999999999"}) {
        setDlgStatus("");
        setAppid(bad);
        EXPECT_FALSE(confirmLookupByAppid()) << bad;
        EXPECT_EQ(dlgStatusCopy(), "请输入有效的 appid (正整数)") << bad;
        EXPECT_FALSE(gDlgRunning.load());
    }
    gDlgTargetRow = -1;
    setAppid("570");
    EXPECT_FALSE(confirmLookupByAppid());

    struct Case {
        const char* text;
        int32_t value;
    };
    for (const Case& c : {Case{"570abc", 570}, Case{"  42", 42}, Case{"+7", 7}, Case{"-5", -5}, Case{"x1", 0},
                          Case{"2147483647", 2147483647}, Case{"2147483648", 0}})
        EXPECT_EQ(parseAppidInput(c.text), c.value) << c.text;
}

TEST_F(Lookup, ByAppidKnownUnknownAndEscapes) {
    ScopedHostMap map(hostMap());
    details["570"] =
        "{\"570\":{\"success\":true,\"data\":{\"type\":\"game\",\"name\":\"Dota \\u00e9 \\/ \\\"2\\\"\",\"steam_appid\":570}}}";
    details["377530"] = readData("appdetails_377530.json");
    details["11550"] = readData("appdetails_11550_unavailable.json");

    gDlgTargetRow = 1;
    setAppid("570abc");
    ASSERT_TRUE(confirmLookupByAppid());
    EXPECT_EQ(finish(), "完成");
    EXPECT_EQ(lastAppids, "570");
    ASSERT_EQ(dummyGames[1].candidates.size(), 1u);
    EXPECT_EQ(dummyGames[1].candidates[0].appid, 570);
    EXPECT_EQ(dummyGames[1].matchedName, "Dota \\u00e9 / \"2\"");
    EXPECT_EQ(dummyGames[1].matchMethod, "手动查询");

    setAppid("377530");
    ASSERT_TRUE(confirmLookupByAppid());
    EXPECT_EQ(finish(), "完成");
    EXPECT_EQ(dummyGames[1].matchedName, "\\u4fa0\\u5ba2\\u98ce\\u4e91\\u4f20(Tale of Wuxia)");

    gDlgTargetRow = 0;
    for (const char* unknown : {"11550", "123456"}) {
        setAppid(unknown);
        ASSERT_TRUE(confirmLookupByAppid());
        EXPECT_EQ(finish(), "未找到该编号或已下架") << unknown;
        EXPECT_TRUE(dummyGames[0].candidates.empty());
        EXPECT_EQ(dummyGames[0].matchedName, "");
    }
}

TEST_F(Lookup, TargetRowOutsideTheListIsNotWritten) {
    ScopedHostMap map(hostMap());
    details["570"] = "{\"570\":{\"success\":true,\"data\":{\"name\":\"Dota 2\"}}}";
    gDlgTargetRow = 7;
    setAppid("570");
    ASSERT_TRUE(confirmLookupByAppid());
    EXPECT_EQ(finish(), "完成");  // ranked against an empty name; nothing to write into
    setName("Portal");
    ASSERT_TRUE(confirmLookupByName());
    finish();
    EXPECT_EQ(dummyGames[0].matchedName, "old match");
    EXPECT_EQ(dummyGames[1].matchedName, "old match");
}

TEST(LookupTitle, LimitedEscapeDecoding) {
    struct Case {
        std::string body, title;
    };
    const Case CASES[] = {
        {"{\"1\":{\"data\":{\"name\": \t\"A\\u00e9\"}}}", "A\\u00e9"},
        {"{\"name\":\"outer\",\"1\":{\"data\":{\"name\":\"inner\"}}}", "inner"},
        {"{\"1\":{\"name\":\"no data\"}}", "no data"},
        {"{\"data\":{\"name\":\"a\\\"b\\/c\\\\d\\ne\\tf\\rg\"}}", "a\"b/c\\d\ne\tf\\rg"},
        {"{\"data\":{\"name\":\"cut", "cut"},
        {"{\"data\":{\"name\":\"end\\", "end\\"},
        {"{\"data\":{\"name\":42}}", ""},
        {"{\"data\":{\"name\"}}", ""},
        {"{\"success\":false}", ""},
        {"", ""},
    };
    for (const Case& c : CASES) EXPECT_EQ(extractAppDetailsTitle(c.body), c.title) << c.body;
}
