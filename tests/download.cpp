// The asset download against loopback stand-ins for the store, the image CDN and a
// screenshot host, with real store answers; plus the start handler and picture signatures.
#include "steam/download.h"

#include <gtest/gtest.h>

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
#include "tests/steam_servers.h"
#include "tests/test_util.h"

using kbtest::LoopbackHttp;
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
    std::vector<DirEntry> entries;
    std::string err;
    listDirUtf8(dir, entries, err);
    for (const DirEntry& e : entries) names.insert(e.name);
    return names;
}

std::string dlMsg() {
    std::lock_guard<std::mutex> lk(gDlMtx);
    return gDlMsg;
}

std::vector<DlBatchItem> results() {
    std::lock_guard<std::mutex> lk(gDlResultMtx);
    return gDlResults;
}

// A ticked menu row; appid > 0 gives it a network match on that appid.
GameInfo row(const std::string& name, int32_t appid) {
    GameInfo g;
    g.name = name;
    g.ticked = true;
    if (appid > 0) installCandidates(g, {MatchCandidate{appid, name, "", 0.9f}}, "网络匹配");
    return g;
}

class Download : public kbtest::JobTest {
protected:
    kbtest::TempDir menu;
    kbtest::ScopedMenuDir menuDir{menu.path};
    LoopbackHttp store, cdn;  // cdn also stands in for the screenshot host
    std::unique_ptr<kbtest::ScopedHostMap> hostMap;

    std::mutex mtx;  // guards everything below, written by the server threads
    std::map<std::string, std::string> details;  // "appid/cc" -> body
    std::map<std::string, int> failPaths;        // image path -> status
    std::vector<std::string> storeLog;           // "appid/cc" of each request
    std::vector<int> firstAnswers;  // statuses answered first, in order (429 waits 300 s, 200 is empty)

    void SetUp() override {
        JobTest::SetUp();
        store.svr.get("/api/appdetails", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            const std::string key = q.param("appids") + "/" + q.param("cc");
            EXPECT_EQ(q.param("l"), "schinese");
            std::lock_guard<std::mutex> lk(mtx);
            storeLog.push_back(key);
            if (!firstAnswers.empty()) {
                r.status = firstAnswers.front();
                firstAnswers.erase(firstAnswers.begin());
                r.setHeader("Retry-After", "300");
            } else if (auto it = details.find(key); it != details.end()) {
                r.setContent(it->second, "application/json");
            } else {
                r.setContent("{\"" + q.param("appids") + "\":{\"success\":false}}", "application/json");
            }
        });
        cdn.svr.get("/steam/apps/*", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
            std::lock_guard<std::mutex> lk(mtx);
            if (auto it = failPaths.find(q.path); it != failPaths.end()) {
                r.status = it->second;
                r.setContent("not here", "text/plain");
            } else {
                r.setContent(imageBytes(q.path), "image/jpeg");
            }
        });
        store.start();
        cdn.start();
        hostMap = std::make_unique<kbtest::ScopedHostMap>(std::string(kSteamStoreHost) + "=" + store.base() + "," +
                                                          kSteamCdnHost + "=" + cdn.base() +
                                                          ",steamcdn-a.akamaihd.net=" + cdn.base());
    }
    void serve(const std::string& key, const std::string& body) {
        std::lock_guard<std::mutex> lk(mtx);
        if (!body.empty()) details[key] = body;
    }
    size_t storeRequests() {
        std::lock_guard<std::mutex> lk(mtx);
        return storeLog.size();
    }
    std::string gameDir(const std::string& name) const { return menu.path + "media/" + name + "/"; }
};

// One game (one screenshot at most) per case: its files, outcome and block in the report.
TEST_F(Download, PerGameOutcomes) {
    const std::string body = fixture("appdetails_620.json"), capsule = capsulePath(620);
    std::string httpShot = body;
    httpShot.replace(httpShot.find("\"path_full\":\"https:"), 19, "\"path_full\":\"http:");
    const std::string shot = "http://steamcdn-a.akamaihd.net/steam/apps/620/"
                             "ss_f3f6787d74739d3b2ec8a484b5c994b3d31ef325.1920x1080.jpg?t=1490208943";
    const std::string ssFalse = "success=false (区域不可用/地区封禁)";
    const std::string noDetails = "appdetails: cn=" + ssFalse + " | us=" + ssFalse + "\n";
    const std::string info = buildInfoTxt(body, "G"), ss = "ss_01_1920x1080.jpg", cap = kCapsuleFileName;
    struct Case {
        const char* what;
        int capsuleStatus;  // 0 = served; 200 = a text page; -1 = a folder stands in its place
        std::string cn, us;  // details per region; "" = success:false
        int status;
        std::string report;  // the game's block in the final message
        Files files;
        std::string infoTxt;  // "" = no info.txt
    };
    const Case cases[] = {
        {"all there", 0, body, "", 0, "", {cap, "info.txt", ss}, info},
        {"capsule 404", 404, body, "", 1, "部分失败:\ncapsule: HTTP 404\n", {"info.txt", ss}, info},
        {"capsule is no picture", 200, body, "", 1, "部分失败:\ncapsule: 内容不是图片（Content-Type: text/plain）\n",
         {"info.txt", ss}, info},
        {"capsule cannot be written", -1, body, "", 1,
         "部分失败:\ncapsule: 重命名失败 errno=" + std::to_string(kbtest::kErr.renameOntoDir) +
             " path=" + gameDir("G") + cap + "\n",
         {cap, "info.txt", ss}, info},
        {"details not JSON", 0, body.substr(0, 200), "", 1, "部分失败:\nappdetails: JSON 解析失败: unterminated string\n", {cap}, ""},
        {"details in no region", 0, "", "", 1, "部分失败:\n" + noDetails, {cap}, ""},
        {"nothing at all", 404, "", "", 2, "完全失败:\ncapsule: HTTP 404\n" + noDetails, {}, ""},
        // US data: a notice heads info.txt and no screenshot is fetched.
        {"US only", 0, "", body, 0, "", {cap, "info.txt"}, kUsDataNotice + info},
        {"screenshot over http", 0, httpShot, "", 1, "部分失败:\nss #1: URL 不是 https: " + shot.substr(0, 80) + "\n",
         {cap, "info.txt"}, info},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetJobGlobals();
        std::filesystem::remove_all(pathFromUtf8(gameDir("G")));
        {
            std::lock_guard<std::mutex> lk(mtx);
            details.clear();
            failPaths.clear();
            if (c.capsuleStatus > 0) failPaths[capsule] = c.capsuleStatus;
        }
        if (c.capsuleStatus < 0) kbtest::makeDirs(gameDir("G") + cap);
        serve("620/cn", c.cn);
        serve("620/us", c.us);
        runDownloadJob({{620, "G"}}, 1);
        const std::string head = std::string("下载完成  完整:") + (c.status == 0 ? "1" : "0") +
                                 "  不全:" + (c.status == 1 ? "1" : "0") + "  失败:" + (c.status == 2 ? "1" : "0") +
                                 "  → media/";
        EXPECT_EQ(dlMsg(), c.report.empty() ? head : head + "\n[G] " + c.report);
        ASSERT_EQ(results().size(), 1u);
        EXPECT_EQ(results()[0].status, c.status);
        EXPECT_EQ(filesIn(gameDir("G")), c.files);
        if (!c.infoTxt.empty()) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + "info.txt"), c.infoTxt);
        }
        if (c.capsuleStatus == 0) {
            EXPECT_EQ(kbtest::readFile(gameDir("G") + cap), imageBytes(capsule));
        }
    }
}

TEST_F(Download, NamesAreFoldersBelowMediaOrRefused) {
    serve("620/cn", fixture("appdetails_620.json"));
    const std::vector<std::string> names = {"..", "", "../escape", "/abs", "a/../b", "CON", "G."};
    DownloadWorkList work;
    for (const std::string& n : names) work.emplace_back(620, n);
    runDownloadJob(work, 2);
    EXPECT_EQ(gDlFail.load(), static_cast<int32_t>(names.size()));
    EXPECT_EQ(storeRequests(), 0u);
    const std::string msg = dlMsg();
    for (const std::string& n : names)
        EXPECT_NE(msg.find("[" + n + "] 完全失败:\n" + kMediaNameRefused + "\n"), std::string::npos) << n;
    // Nothing but the (empty) media folder was made in the menu folder.
    EXPECT_EQ(filesIn(menu.path), Files{"media"});
    EXPECT_TRUE(filesIn(menu.path + "media").empty());
    // Separators nest folders.
    runDownloadJob({{620, "Fate\\stay night"}}, 1);
    EXPECT_EQ(filesIn(gameDir("Fate/stay night")).size(), 3u);
}

// 取消下载 ends the throttling pause at once; the game keeps its capsule and the rest never starts.
TEST_F(Download, CancelEndsTheJobAndSaysSo) {
    {
        std::lock_guard<std::mutex> lk(mtx);
        firstAnswers.assign(100, 429);
    }
    dummyGames = {row("A", 620), row("B", 570)};
    ASSERT_TRUE(startDownloadJob(PanelOptions{}));
    ASSERT_TRUE(kbtest::waitUntil([&] { return storeRequests() > 0; }));
    cancelDownloadJob();
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    EXPECT_EQ(dlMsg(), "下载已取消  完整:0  不全:1  失败:0  未开始:1  → media/\n[A] 部分失败:\n已取消\n");
    EXPECT_EQ(storeRequests(), 1u);
    EXPECT_EQ(filesIn(gameDir("A")), Files{kCapsuleFileName});
}

// Any failure but throttling gets one more request; the error names both.
TEST_F(Download, FetchAppDetailsRetriesOnceAfterAFailure) {
    const std::string okBody = "{\"5\":{\"success\": true,\"data\":{}}}";
    serve("5/cn", okBody);
    const std::pair<std::vector<int>, std::string> cases[] = {
        {{500}, ""}, {{500, 502}, "HTTP 500 | 重试: HTTP 502"}, {{404, 200}, "HTTP 404 | 重试: 响应为空"}};
    for (const auto& [answers, wantErr] : cases) {
        {
            std::lock_guard<std::mutex> lk(mtx);
            firstAnswers = answers;
            storeLog.clear();
        }
        std::string json, err;
        EXPECT_EQ(fetchAppDetails(5, "cn", json, err), wantErr.empty()) << wantErr;
        EXPECT_EQ(err, wantErr);
        EXPECT_EQ(json, wantErr.empty() ? okBody : "");
        EXPECT_EQ(storeRequests(), 2u);
    }
}

using DownloadStart = kbtest::JobTest;

TEST_F(DownloadStart, NothingToFetchStartsNothing) {
    dummyGames = {row("X", 10)};
    dummyGames[0].ticked = false;
    EXPECT_FALSE(startDownloadJob(PanelOptions{}));
    EXPECT_EQ(dlMsg(), "请先勾选要下载的行");
    dummyGames = {row("A", 0), dummyGames[0], row("B", 0)};
    installCandidates(dummyGames[2], {MatchCandidate{0, "B", "", 0.9f}}, "网络匹配");  // appid 0 is no match
    EXPECT_FALSE(startDownloadJob(PanelOptions{}));
    EXPECT_EQ(dlMsg(), "这些勾选的游戏还没匹配到 Steam appid：\n  - A\n  - B\n");
    EXPECT_EQ(gDlState.load(), 0);
    EXPECT_FALSE(gDlThread.joinable());
}

TEST(DownloadFiles, PictureSignatures) {
    using namespace std::string_literals;
    const std::pair<std::string, bool> cases[] = {
        {"\x89PNG\r\n\x1A\n\0"s, true}, {"GIF89a;"s, true}, {"BM6\0"s, true}, {"RIFF\0\0\0\0WEBPVP8 "s, true},
        {"\0\0\0\x20" "ftypmif1\0\0\0\0mif1avis"s, true}, {"\0\0\0\x18" "ftypmp42isom"s, false},
        {"RIFF\0\0\0\0WAVE"s, false}, {"\xFF\xD8"s, false},
    };
    for (const auto& [bytes, image] : cases) EXPECT_EQ(looksLikeImage(bytes), image) << bytes;
}

}  // namespace
