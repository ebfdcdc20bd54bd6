// The asset download against one loopback server standing in for the store, the image CDN
// and the screenshot host, with real store answers; plus the start handler.
#include "steam/download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "steam/info_text.h"
#include "steam/store_api.h"
#include "tests/net_servers.h"
#include "tests/test_util.h"

using Files = std::set<std::string>;

namespace {

std::string fixture(const std::string& name) {
    return kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/download/" + name);
}

// Distinct picture bytes per address, large enough to arrive in several reads.
std::string imageBytes(const std::string& path) {
    std::string b = "\xFF\xD8\xFF\xE0";
    while (b.size() < 40000) b += path;
    return b;
}

Files filesIn(const std::string& dir) {
    Files names;
    std::error_code ec;  // a folder that is not there holds nothing
    for (const auto& e : std::filesystem::directory_iterator(pathFromUtf8(dir), ec))
        names.insert(e.path().filename().string());
    return names;
}

std::string dlMsg() {
    std::lock_guard<std::mutex> lk(gDlMtx);
    return gDlMsg;
}

// A ticked menu row; appid >= 0 gives it a network match on that appid (0 is no appid).
GameInfo row(const std::string& name, int32_t appid) {
    GameInfo g;
    g.name = name;
    g.ticked = true;
    if (appid >= 0) installCandidates(g, {MatchCandidate{appid, name, "", 0.9f}}, "网络匹配");
    return g;
}

class Download : public kbtest::JobTest {
protected:
    kbtest::TempDir menu;
    kbtest::ScopedMenuDir menuDir{menu.path};
    std::mutex mtx;  // guards the three below, read by the server's thread
    // Region -> details of appid 620; "" or none: success:false.
    std::map<std::string, std::string> details{{"cn", fixture("appdetails_620.json")}};
    int capsuleStatus = 0;                       // of appid 620's capsule: 0 = the picture; 200 = a video's head
    std::vector<int> firstAnswers;  // statuses the store answers first (a 429 asks for 300 s, a 200 is empty)
    std::atomic<int> storeRequests{0};
    kbtest::HttpServer server;  // last: it stops before the state above goes away
    std::unique_ptr<kbtest::ScopedHostMap> hostMap;

    void SetUp() override {
        JobTest::SetUp();
        server.handler = [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            std::lock_guard<std::mutex> lk(mtx);
            if (q.path != "/api/appdetails") {
                const bool fail = q.path == capsulePath(620) && capsuleStatus > 0;
                r.status = fail ? capsuleStatus : 200;
                return r.setContent(fail ? "....ftypmp42isom" : imageBytes(q.path), fail ? "text/plain" : "image/jpeg");
            }
            EXPECT_EQ(q.param("l"), "schinese");
            ++storeRequests;
            if (!firstAnswers.empty()) {
                r.status = firstAnswers.front();
                firstAnswers.erase(firstAnswers.begin());
                return r.setHeader("Retry-After", "300");
            }
            const std::string body = q.param("appids") == "620" ? details[q.param("cc")] : "";
            const std::string refused = "{\"" + q.param("appids") + "\":{\"success\":false}}";
            r.setContent(body.empty() ? refused : body, "application/json");
        };
        server.start();
        const std::string base = server.base();
        hostMap = std::make_unique<kbtest::ScopedHostMap>(std::string(kSteamStoreHost) + "=" + base + "," + kSteamCdnHost +
                                                          "=" + base + ",steamcdn-a.akamaihd.net=" + base);
    }
    std::string gameDir(const std::string& name) const { return menu.path + "media/" + name + "/"; }
};

// One game (one screenshot at most) per case: its files, outcome and block in the report.
TEST_F(Download, PerGameOutcomes) {
    const std::string body = fixture("appdetails_620.json"), capsule = capsulePath(620);
    std::string httpShot = body;
    httpShot.replace(httpShot.find("\"path_full\":\"https:"), 19, "\"path_full\":\"http:");
    const std::string info = buildInfoTxt(body, "G"), ss = "ss_01_1920x1080.jpg", cap = kCapsuleFileName;
    struct Case {
        const char* what;
        std::vector<int> firstAnswers;  // of the store, before the details
        int capsuleStatus;              // 0 = served; 200 = no picture; -1 = a folder stands in its place
        std::string cn, us;             // details per region; "" = success:false
        int status;
        std::string report;  // the game's block in the final message
        Files files;
    };
    const Case cases[] = {
        {"all there after one failure", {500}, 0, body, "", 0, "", {cap, "info.txt", ss}},
        {"capsule cannot be written", {}, -1, body, "", 1,
         "部分失败:\ncapsule: 重命名失败 errno=" + std::to_string(kbtest::kErr.renameOntoDir) + " path=" + gameDir("G") +
             cap + "（" + systemErrorReason(static_cast<unsigned long>(kbtest::kErr.renameOntoDir)) + "）\n",
         {cap, "info.txt", ss}},
        {"details fail twice, then in no region", {404, 200}, 0, body, "", 1,
         "部分失败:\nappdetails: cn=HTTP 404 | 重试: 响应为空 | us=" + std::string(kSuccessFalseError) + "\n", {cap}},
        {"capsule is no picture, details not JSON", {}, 200, body.substr(0, 200), "", 2,
         "完全失败:\ncapsule: 内容不是图片（Content-Type: text/plain）\n"
         "appdetails: JSON 解析失败: unterminated string\n",
         {}},
        // US data: a notice heads info.txt and no screenshot is fetched.
        {"US only", {}, 0, "", body, 0, "", {cap, "info.txt"}},
        {"screenshot over http", {}, 0, httpShot, "", 1,
         "部分失败:\nss #1: URL 不是 https: "
         "http://steamcdn-a.akamaihd.net/steam/apps/620/ss_f3f6787d74739d3b2ec8a484b5c994b\n",  // its first 80 bytes
         {cap, "info.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetJobGlobals();
        std::filesystem::remove_all(pathFromUtf8(gameDir("G")));
        if (c.capsuleStatus < 0) kbtest::makeDirs(gameDir("G") + cap);
        {
            std::lock_guard<std::mutex> lk(mtx);
            details = {{"cn", c.cn}, {"us", c.us}};
            capsuleStatus = c.capsuleStatus;
            firstAnswers = c.firstAnswers;
        }
        runDownloadJob({{620, "G"}}, 1);
        const std::string head = std::string("下载完成  完整:") + (c.status == 0 ? "1" : "0") +
                                 "  不全:" + (c.status == 1 ? "1" : "0") + "  失败:" + (c.status == 2 ? "1" : "0") +
                                 "  → media/";
        EXPECT_EQ(dlMsg(), c.report.empty() ? head : head + "\n[G] " + c.report);
        EXPECT_EQ(filesIn(gameDir("G")), c.files);
        if (c.files.count("info.txt")) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + "info.txt"), (c.cn.empty() ? kUsDataNotice : "") + info);
        }
        if (c.capsuleStatus == 0) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + cap), imageBytes(capsule));
        }
    }
}

// A name the media rule refuses fails before any request; separators nest folders.
TEST_F(Download, NamesAreFoldersBelowMediaOrRefused) {
    runDownloadJob({{620, "../escape"}, {620, "Fate\\stay night"}}, 1);
    EXPECT_EQ(dlMsg(), "下载完成  完整:1  不全:0  失败:1  → media/\n[../escape] 完全失败:\n" +
                           std::string(kMediaNameRefused) + "\n");
    EXPECT_EQ(storeRequests.load(), 1);
    EXPECT_EQ(filesIn(menu.path), Files{"media"});
    EXPECT_EQ(filesIn(menu.path + "media"), Files{"Fate"});
    EXPECT_EQ(filesIn(gameDir("Fate/stay night")).size(), 3u);
}

// Ticked rows without an appid are named and nothing starts; 取消下载 ends the throttling
// pause at once, the game keeps its capsule and the rest never starts.
TEST_F(Download, StartAndCancel) {
    dummyGames = {row("A", -1), row("X", 10), row("B", 0)};
    dummyGames[1].ticked = false;
    EXPECT_FALSE(startDownloadJob(PanelOptions{}));
    EXPECT_EQ(dlMsg(), "这些勾选的游戏还没匹配到 Steam appid：\n  - A\n  - B\n");
    dummyGames = {dummyGames[1]};
    EXPECT_FALSE(startDownloadJob(PanelOptions{}));
    EXPECT_EQ(dlMsg(), "请先勾选要下载的行");

    {
        std::lock_guard<std::mutex> lk(mtx);
        firstAnswers.assign(100, 429);
    }
    dummyGames = {row("A", 620), row("B", 570)};
    ASSERT_TRUE(startDownloadJob(PanelOptions{}));
    ASSERT_TRUE(kbtest::waitUntil([&] { return storeRequests.load() > 0; }));
    cancelDownloadJob();
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    EXPECT_EQ(dlMsg(), "下载已取消  完整:0  不全:1  失败:0  未开始:1  → media/\n[A] 部分失败:\n已取消\n");
    EXPECT_EQ(storeRequests.load(), 1);
    EXPECT_EQ(filesIn(gameDir("A")), Files{kCapsuleFileName});
}

}  // namespace
