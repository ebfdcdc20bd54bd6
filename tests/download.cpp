// The asset download against one loopback server standing in for the store, the image CDN
// and the screenshot host, with real store answers; plus the start handler.
#include "steam/download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "steam/http.h"
#include "steam/info_text.h"
#include "steam/store_api.h"
#include "tests/net_servers.h"
#include "tests/test_util.h"

using Files = std::set<std::string>;
using kbtest::filesIn;

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
    int capsuleStatus = 0;  // of appid 620's capsule: 0 = the picture; 200 = a video's head; 201 = a page labelled a picture
    std::vector<int> firstAnswers;  // statuses the store answers first (a 429 asks for 300 s, a 200 is empty)
    std::atomic<int> storeRequests{0};
    int shotsPerGame = 0;      // details of appids other than 620: this many screenshots (0 = success:false)
    bool holdShots = false;    // screenshot answers wait until released
    std::condition_variable released;
    std::atomic<int> imagesInFlight{0}, mostImagesInFlight{0};
    kbtest::HttpServer server;  // last: it stops before the state above goes away
    std::unique_ptr<kbtest::ScopedHostMap> hostMap;

    void SetUp() override {
        JobTest::SetUp();
        server.keepAlive = true;
        server.handler = [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            if (q.path != "/api/appdetails") countImage(q.path);
            std::lock_guard<std::mutex> lk(mtx);
            if (q.path != "/api/appdetails") {
                const bool fail = q.path == capsulePath(620) && capsuleStatus > 0;
                r.status = 200;
                if (!fail) return r.setContent(imageBytes(q.path), "image/jpeg");
                if (capsuleStatus == 201) return r.setContent("<html><body>Access denied</body></html>", "image/jpeg");
                return r.setContent("....ftypmp42isom", "text/plain");
            }
            EXPECT_EQ(q.param("l"), "schinese");
            ++storeRequests;
            if (!firstAnswers.empty()) {
                r.status = firstAnswers.front();
                firstAnswers.erase(firstAnswers.begin());
                return r.setHeader("Retry-After", "300");
            }
            const std::string body = q.param("appids") == "620" ? details[q.param("cc")] : generatedDetails(q.param("appids"));
            const std::string refused = "{\"" + q.param("appids") + "\":{\"success\":false}}";
            r.setContent(body.empty() ? refused : body, "application/json");
        };
        server.start();
        const std::string base = server.base();
        hostMap = std::make_unique<kbtest::ScopedHostMap>(std::string(kSteamStoreHost) + "=" + base + "," + kSteamCdnHost +
                                                          "=" + base + ",steamcdn-a.akamaihd.net=" + base);
    }
    std::string gameDir(const std::string& name) const { return menu.path + "media/" + name + "/"; }

    // Images overlap for a while, so that the most in flight at once shows; screenshots wait
    // while held.
    void countImage(const std::string& path) {
        const int now = ++imagesInFlight;
        for (int most = mostImagesInFlight.load(); most < now && !mostImagesInFlight.compare_exchange_weak(most, now);) {
        }
        std::unique_lock<std::mutex> lk(mtx);
        released.wait_for(lk, std::chrono::milliseconds(20), [&] { return false; });
        released.wait(lk, [&] { return !holdShots || path.find("/ss_") == std::string::npos; });
        --imagesInFlight;
    }
    std::string generatedDetails(const std::string& appid) {
        if (shotsPerGame == 0) return "";
        std::string shots;
        for (int k = 1; k <= shotsPerGame; ++k)
            shots += std::string(k > 1 ? "," : "") + "{\"path_full\":\"https://steamcdn-a.akamaihd.net/ss_" + appid + "_" +
                     std::to_string(k) + ".jpg\"}";
        return "{\"" + appid + "\":{\"success\":true,\"data\":{\"name\":\"G\",\"screenshots\":[" + shots + "]}}}";
    }
    void release() {
        {
            std::lock_guard<std::mutex> lk(mtx);
            holdShots = false;
        }
        released.notify_all();
    }
    void TearDown() override {
        release();
        JobTest::TearDown();
    }
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
        std::string headNote = "";  // what stopped the job, in the first line before the counts
    };
    const Case cases[] = {
        {"all there after one failure", {500}, 0, body, "", 0, "", {cap, "info.txt", ss}},
        {"capsule cannot be written", {}, -1, body, "", 1,
         "部分失败:\ncapsule: 重命名失败 errno=" + std::to_string(kbtest::kErr.renameOntoDir) + " path=" + gameDir("G") +
             cap + "（" + systemErrorReason(static_cast<unsigned long>(kbtest::kErr.renameOntoDir)) + "）\n",
         {cap, "info.txt", ss}},
        {"details fail twice, then in no region", {404, 200}, 0, body, "", 1,
         "部分失败:\nappdetails: cn=HTTP 404 | 重试: 响应为空 | us=" + std::string(kSuccessFalseError) + "\n", {cap}},
        // Nothing written: no folder either.
        {"capsule is no picture, details not JSON", {}, 200, body.substr(0, 200), "", 2,
         "完全失败:\ncapsule: 内容不是图片（Content-Type: text/plain）\n"
         "appdetails: JSON 解析失败: unterminated string\n",
         {}},
        {"capsule is a page labelled a picture", {}, 201, body, "", 1,
         "部分失败:\ncapsule: 内容不是图片（Content-Type: image/jpeg）\n", {"info.txt", ss}},
        // US data: a notice heads info.txt and no screenshot is fetched.
        {"US only", {}, 0, "", body, 0, "", {cap, "info.txt"}},
        {"store refuses", {403, 403}, 0, body, "", 1,
         "部分失败:\nappdetails: " + std::string(kStoreRefusedError) + "\n", {cap},
         std::string("：") + kStoreRefusedError},
        {"screenshot over http", {}, 0, httpShot, "", 1,
         "部分失败:\nss #1: URL 不是 https: "
         "http://steamcdn-a.akamaihd.net/steam/apps/620/ss_f3f6787d74739d3b2ec8a484b5c994b\n",  // its first 80 bytes
         {cap, "info.txt"}},
    };
    throttleSetTestForbiddenPauseSec(0);
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
        const std::string head = "下载完成" + c.headNote + "  完整:" + (c.status == 0 ? "1" : "0") +
                                 "  不全:" + (c.status == 1 ? "1" : "0") + "  失败:" + (c.status == 2 ? "1" : "0") +
                                 "  → media/";
        EXPECT_EQ(dlMsg(), c.report.empty() ? head : head + "\n[G] " + c.report);
        EXPECT_EQ(filesIn(gameDir("G")), c.files);
        EXPECT_EQ(kbtest::fileExists(gameDir("G")), !c.files.empty());
        if (c.files.count("info.txt")) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + "info.txt"), (c.cn.empty() ? kUsDataNotice : "") + info);
        }
        if (c.capsuleStatus == 0) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + cap), imageBytes(capsule));
        }
    }
    throttleSetTestForbiddenPauseSec(-1);
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
    ASSERT_TRUE(kbtest::waitUntil([&] {  // in the store's pause, with the capsule (fetched beside it) written
        return storeRequests.load() > 0 && kbtest::fileExists(gameDir("A") + kCapsuleFileName);
    }));
    cancelDownloadJob();
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    EXPECT_EQ(dlMsg(), "下载已取消（商店限流暂停中）  完整:0  不全:1  失败:0  未开始:1  → media/\n[A] 部分失败:\n已取消\n");
    EXPECT_EQ(storeRequests.load(), 1);
    EXPECT_EQ(filesIn(gameDir("A")), Files{kCapsuleFileName});
}

// Rows that share a name share one folder and one fetch (its result reaches every row: the
// merge's own test).
TEST_F(Download, RowsSharingANameShareOneFetch) {
    dummyGames = {row("A", 620), row("B", -1), row("A", 620)};
    dummyGames[1].ticked = false;
    ASSERT_TRUE(startDownloadJob(PanelOptions{}));
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    EXPECT_EQ(dlMsg(), "下载完成  完整:1  不全:0  失败:0  → media/");
    EXPECT_EQ(storeRequests.load(), 1);
}

// Pictures come four at a time across games, each fetcher and the store on a connection
// of their own kept for the job; the files, the report in game order and the figures of
// the whole job are those of one game after the other.
TEST_F(Download, GamesSideBySideOnKeptConnections) {
    shotsPerGame = 6;
    DownloadWorkList work;
    for (int i = 1; i <= 8; ++i) work.emplace_back(i, "G" + std::to_string(i));
    runDownloadJob(work, 999999);
    EXPECT_EQ(dlMsg(), "下载完成  完整:8  不全:0  失败:0  → media/");
    for (const auto& [appid, name] : work) {
        EXPECT_EQ(filesIn(gameDir(name)).size(), 8u) << name;
        EXPECT_EQ(kbtest::readFile(gameDir(name) + "ss_06_1920x1080.jpg"),
                  imageBytes("/ss_" + std::to_string(appid) + "_6.jpg"));
    }
    EXPECT_EQ(storeRequests.load(), 8);
    EXPECT_LE(server.connections.load(), kDlTransferSlots);  // of 72 requests
    EXPECT_GT(mostImagesInFlight.load(), 1);
    EXPECT_LE(mostImagesInFlight.load(), kDlImageTransfers);
    EXPECT_EQ(std::tuple(gDlFilesDone.load(), gDlFilesKnown.load(), gDlGamesKnown.load()), std::tuple(64, 64, 8));
    std::vector<std::string> order;
    for (const DlBatchItem& r : gDlResults) order.push_back(r.name);
    EXPECT_EQ(order, (std::vector<std::string>{"G1", "G2", "G3", "G4", "G5", "G6", "G7", "G8"}));
}

// 取消下载 ends the transfers in flight (they would otherwise wait for answers that never
// come), writes none of their files, and counts each game begun by what it got.
TEST_F(Download, CancelEndsTheTransfersInFlight) {
    holdShots = true;
    dummyGames = {row("A", 620), row("B", 620), row("C", 620), row("D", 620)};
    PanelOptions oneShot;
    oneShot.imageLimitIndex = 1;
    ASSERT_TRUE(startDownloadJob(oneShot));
    ASSERT_TRUE(kbtest::waitUntil([&] {  // the three screenshots held, all else of A, B and C written
        int files = 0;
        for (const char* name : {"A", "B", "C"}) files += static_cast<int>(filesIn(gameDir(name)).size());
        return files == 6 && imagesInFlight.load() == 3;
    }));
    cancelDownloadJob();
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    release();
    EXPECT_EQ(dlMsg(), "下载已取消  完整:0  不全:3  失败:0  未开始:1  → media/\n[A] 部分失败:\n已取消\n"
                       "[B] 部分失败:\n已取消\n[C] 部分失败:\n已取消\n");
    for (const char* name : {"A", "B", "C"}) EXPECT_EQ(filesIn(gameDir(name)), (Files{kCapsuleFileName, "info.txt"}));
    EXPECT_FALSE(kbtest::fileExists(gameDir("D")));
}

}  // namespace
