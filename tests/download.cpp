// The asset download against loopback stand-ins for the store, the image CDN and a
// screenshot host, with real store answers; plus the file helpers and the start handler.
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
#include "steam/http.h"
#include "steam/info_text.h"
#include "steam/store_api.h"
#include "tests/steam_servers.h"
#include "tests/test_util.h"

using kbtest::LoopbackHttp;
using kbtest::RawServer;
using kbtest::ScopedHostMap;

namespace {

// Host of the screenshot addresses in the 2017 answers.
constexpr char kShotHost[] = "steamcdn-a.akamaihd.net";
const std::string kSsFalse = "success=false (区域不可用/地区封禁)";

std::string fixture(const std::string& name) {
    return kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/download/" + name);
}

// Distinct picture bytes per address, large enough to arrive in several reads.
std::string imageBytes(const std::string& path) {
    std::string b = "\xFF\xD8\xFF\xE0";
    while (b.size() < 40000) b += path;
    return b;
}

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
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

// A menu row; appid > 0 gives it a network match on that appid.
GameInfo row(const std::string& name, bool ticked, int32_t appid, int32_t downloadState = 0) {
    GameInfo g;
    g.name = name;
    g.ticked = ticked;
    g.downloadState = downloadState;
    if (appid > 0) installCandidates(g, {MatchCandidate{appid, name, "", 0.9f}}, "网络匹配");
    return g;
}

class Download : public kbtest::JobTest {
protected:
    kbtest::TempDir menu;
    kbtest::ScopedMenuDir menuDir{menu.path};
    LoopbackHttp store, cdn;  // cdn also stands in for the screenshot host
    std::unique_ptr<ScopedHostMap> hostMap;

    std::mutex mtx;  // guards everything below, written by the server threads
    std::map<std::string, std::string> details;          // "appid/cc" -> body
    std::map<std::string, int> failPaths;                // image path -> status
    std::vector<std::string> storeLog, imageLog;         // requests seen
    std::vector<int> firstAnswers;  // statuses answered first, in order (429 waits 300 s, 200 is empty)

    void SetUp() override {
        JobTest::SetUp();
        store.svr.get("/api/appdetails", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) { answerDetails(q, r); });
        cdn.svr.get("/steam/apps/*", [this](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) { answerImage(q, r); });
        store.start();
        cdn.start();
        mapHosts(cdn.base());
    }
    void mapHosts(const std::string& cdnBase) {
        hostMap.reset();
        hostMap = std::make_unique<ScopedHostMap>(std::string(kSteamStoreHost) + "=" + store.base() + "," +
                                                  kSteamCdnHost + "=" + cdnBase + "," + kShotHost + "=" + cdn.base());
    }

    void answerDetails(const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        const std::string id = q.param("appids"), cc = q.param("cc");
        EXPECT_EQ(q.param("l"), "schinese");
        std::lock_guard<std::mutex> lk(mtx);
        storeLog.push_back(id + "/" + cc);
        if (!firstAnswers.empty()) {
            r.status = firstAnswers.front();
            firstAnswers.erase(firstAnswers.begin());
            r.setHeader("Retry-After", "300");
            return;
        }
        auto it = details.find(id + "/" + cc);
        r.setContent(it == details.end() ? "{\"" + id + "\":{\"success\":false}}" : it->second, "application/json");
    }
    void answerImage(const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        std::lock_guard<std::mutex> lk(mtx);
        imageLog.push_back(q.path);
        if (auto it = failPaths.find(q.path); it != failPaths.end()) {
            r.status = it->second;
            r.setContent("not here", "text/plain");
            return;
        }
        r.setContent(imageBytes(q.path), "image/jpeg");
    }
    void serve(int appid, const std::string& cc, const std::string& body) {
        std::lock_guard<std::mutex> lk(mtx);
        details[std::to_string(appid) + "/" + cc] = body;
    }
    size_t storeRequests() {
        std::lock_guard<std::mutex> lk(mtx);
        return storeLog.size();
    }
    std::string gameDir(const std::string& name) const { return menu.path + "media/" + name + "/"; }
};

TEST_F(Download, AllFilesFetchedGivesCompleteGamesAndOneLineReport) {
    const std::string portal = fixture("appdetails_620.json"), skul = fixture("appdetails_1147560_schinese.json");
    serve(620, "cn", portal);
    serve(1147560, "cn", skul);
    runDownloadJob({{620, "Portal 2"}, {1147560, "小骨"}}, 5);

    EXPECT_EQ(dlMsg(), "下载完成  完整:2  不全:0  失败:0  → media/");
    ASSERT_EQ(results().size(), 2u);
    EXPECT_EQ(results()[1].name, "小骨");

    const std::set<std::string> want = {"capsule_616x353.jpg", "info.txt", "ss_01_1920x1080.jpg", "ss_02_1920x1080.jpg",
                                        "ss_03_1920x1080.jpg", "ss_04_1920x1080.jpg", "ss_05_1920x1080.jpg"};
    EXPECT_EQ(filesIn(gameDir("Portal 2")), want);
    EXPECT_EQ(filesIn(gameDir("小骨")), want);
    EXPECT_EQ(kbtest::readFile(gameDir("Portal 2") + "capsule_616x353.jpg"), imageBytes(capsulePath(620)));
    EXPECT_EQ(kbtest::readFile(gameDir("小骨") + "info.txt"), buildInfoTxt(skul, "小骨"));
    // China region only, no retry; 7 file steps counted for the limit of 5.
    std::lock_guard<std::mutex> lk(mtx);
    EXPECT_EQ(storeLog, (std::vector<std::string>{"620/cn", "1147560/cn"}));
    EXPECT_EQ(gDlFileCount.load(), 7);
}

TEST_F(Download, PerGameProblemsAndOutcomes) {
    struct Case {
        const char* what;
        int capsuleStatus;   // 0 = served; 200 = a text page
        bool cn, us;         // which regions have the details
        int status;
        std::string report;  // the game's block in the final message
        size_t cut = std::string::npos;  // details served only up to here
    };
    const std::string ssFalseLine = "appdetails: cn=" + kSsFalse + " | us=" + kSsFalse + "\n";
    const Case CASES[] = {
        {"capsule 404", 404, true, false, 1, "[G] 部分失败:\ncapsule: HTTP 404\n"},
        {"capsule is no picture", 200, true, false, 1, "[G] 部分失败:\ncapsule: 内容不是图片（Content-Type: text/plain）\n"},
        {"details not JSON", 0, true, false, 1, "[G] 部分失败:\nappdetails: JSON 解析失败: eof\n", 200},
        {"details in no region", 0, false, false, 1, "[G] 部分失败:\n" + ssFalseLine},
        {"nothing at all", 404, false, false, 2, "[G] 完全失败:\ncapsule: HTTP 404\n" + ssFalseLine},
        {"US only", 0, false, true, 0, ""},
    };
    const std::string body = fixture("appdetails_520850.json");
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        resetJobGlobals();
        std::filesystem::remove_all(pathFromUtf8(gameDir("G")));
        {
            std::lock_guard<std::mutex> lk(mtx);
            details.clear();
            failPaths.clear();
            imageLog.clear();
            if (c.capsuleStatus) failPaths[capsulePath(520850)] = c.capsuleStatus;
        }
        if (c.cn) serve(520850, "cn", body.substr(0, c.cut));
        if (c.us) serve(520850, "us", body);
        runDownloadJob({{520850, "G"}}, 3);
        const std::string head = std::string("下载完成  完整:") + (c.status == 0 ? "1" : "0") +
                                 "  不全:" + (c.status == 1 ? "1" : "0") + "  失败:" + (c.status == 2 ? "1" : "0") +
                                 "  → media/";
        EXPECT_EQ(dlMsg(), c.report.empty() ? head : head + "\n" + c.report);
        ASSERT_EQ(results().size(), 1u);
        EXPECT_EQ(results()[0].status, c.status);
        const bool haveInfo = (c.cn || c.us) && c.cut == std::string::npos;
        EXPECT_EQ(kbtest::fileExists(gameDir("G") + "info.txt"), haveInfo);
        if (c.us && !c.cn) {
            // US data: the notice heads info.txt and no screenshot is asked for.
            EXPECT_EQ(kbtest::readFile(gameDir("G") + "info.txt"),
                      "(中国区不可用，此为 US 区数据；截图已自动跳过以避免成人内容)\n\n" + buildInfoTxt(body, "G"));
            std::lock_guard<std::mutex> lk(mtx);
            EXPECT_EQ(imageLog, std::vector<std::string>{capsulePath(520850)});
        }
    }
}

TEST_F(Download, HttpScreenshotAddressIsRefused) {
    std::string body = fixture("appdetails_620.json");
    const std::string from = "\"path_full\":\"https:";
    body.replace(body.find(from), from.size(), "\"path_full\":\"http:");
    serve(620, "cn", body);
    runDownloadJob({{620, "Portal 2"}}, 3);
    const std::string addr = "http://steamcdn-a.akamaihd.net/steam/apps/620/ss_f3f6787d74739d3b2ec8a484b5c994b3d31ef325.1920x1080.jpg?t=1490208943";
    EXPECT_EQ(dlMsg(), "下载完成  完整:0  不全:1  失败:0  → media/\n[Portal 2] 部分失败:\nss #1: URL 不是 https: " +
                           addr.substr(0, 80) + "\n");
    EXPECT_FALSE(filesIn(gameDir("Portal 2")).count("ss_01_1920x1080.jpg"));
}

TEST_F(Download, ConnectionCutMidImageFailsThatFileAndLeavesNoFile) {
    RawServer cut;
    cut.reply = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n" +
                std::string(3000, 'x');
    cut.start();
    mapHosts(cut.base());
    serve(620, "cn", fixture("appdetails_620.json"));
    runDownloadJob({{620, "Portal 2"}}, 2);
    const std::string msg = dlMsg();
    EXPECT_EQ(msg.rfind("下载完成  完整:0  不全:1  失败:0  → media/\n[Portal 2] 部分失败:\ncapsule: ", 0), 0u) << msg;
    EXPECT_EQ(std::count(msg.begin(), msg.end(), '\n'), 3) << msg;
    EXPECT_EQ(filesIn(gameDir("Portal 2")),
              (std::set<std::string>{"info.txt", "ss_01_1920x1080.jpg", "ss_02_1920x1080.jpg"}));
}

TEST_F(Download, FilesThatCannotBeWrittenAreReportedPerFile) {
    // A folder where the capsule should go: its write fails, the rest still arrives.
    kbtest::makeDirs(gameDir("Portal 2") + "capsule_616x353.jpg");
    serve(620, "cn", fixture("appdetails_620.json"));
    runDownloadJob({{620, "Portal 2"}}, 1);
    const std::string path = gameDir("Portal 2") + "capsule_616x353.jpg";
    EXPECT_EQ(dlMsg(), "下载完成  完整:0  不全:1  失败:0  → media/\n[Portal 2] 部分失败:\ncapsule: 重命名失败 errno=" +
                           std::to_string(kbtest::kErr.renameOntoDir) + " path=" + path + "\n");
    EXPECT_EQ(filesIn(gameDir("Portal 2")),
              (std::set<std::string>{"capsule_616x353.jpg", "info.txt", "ss_01_1920x1080.jpg"}));
    EXPECT_TRUE(isDirUtf8(path));
}

TEST_F(Download, NamesAreFoldersBelowMediaOrRefused) {
    serve(620, "cn", fixture("appdetails_620.json"));
    const std::vector<std::string> NAMES = {"..", "", "../escape", "/abs", "a/../b", "CON", "G."};
    DownloadWorkList work;
    for (const std::string& n : NAMES) work.emplace_back(620, n);
    runDownloadJob(work, 2);
    EXPECT_EQ(gDlFail.load(), static_cast<int32_t>(NAMES.size()));
    EXPECT_EQ(storeRequests(), 0u);
    const std::string msg = dlMsg();
    for (const std::string& n : NAMES)
        EXPECT_NE(msg.find("[" + n + "] 完全失败:\n" + kMediaNameRefused + "\n"), std::string::npos) << n;
    // Nothing but the (empty) media folder was made in the menu folder.
    EXPECT_EQ(filesIn(menu.path), std::set<std::string>{"media"});
    EXPECT_TRUE(filesIn(menu.path + "media").empty());
    // Separators nest folders.
    runDownloadJob({{620, "Fate\\stay night"}}, 1);
    EXPECT_EQ(filesIn(gameDir("Fate/stay night")).size(), 3u);
}

// 取消下载 ends the pause at once; the game keeps its capsule and the rest never starts.
TEST_F(Download, CancelEndsTheJobAndSaysSo) {
    {
        std::lock_guard<std::mutex> lk(mtx);
        firstAnswers.assign(100, 429);
    }
    dummyGames = {row("A", true, 620), row("B", true, 570)};
    ASSERT_TRUE(startDownloadJob(PanelOptions{}));
    ASSERT_TRUE(kbtest::waitUntil([&] { return storeRequests() > 0; }));
    cancelDownloadJob();
    ASSERT_TRUE(kbtest::waitUntil([] { return pollDownloadJob(); }));
    EXPECT_EQ(dlMsg(), "下载已取消  完整:0  不全:1  失败:0  未开始:1  → media/\n[A] 部分失败:\n已取消\n");
    EXPECT_EQ(storeRequests(), 1u);
    ASSERT_EQ(results().size(), 1u);
    EXPECT_EQ(results()[0].status, 1);
    EXPECT_EQ(filesIn(gameDir("A")), std::set<std::string>{"capsule_616x353.jpg"});
}

TEST_F(Download, FetchAppDetailsRetriesOnceAfterAFailure) {
    const std::string okBody = "{\"5\":{\"success\": true,\"data\":{}}}";
    serve(5, "cn", okBody);
    const std::tuple<std::vector<int>, std::string> cases[] = {
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

TEST_F(DownloadStart, ValidationMessagesAndWorkList) {
    PanelOptions opts;
    dummyGames = {row("X", false, 10)};
    EXPECT_FALSE(startDownloadJob(opts));
    EXPECT_EQ(dlMsg(), "请先勾选要下载的行");
    dummyGames = {row("A", true, 0), row("X", false, 10), row("B", true, 0)};
    installCandidates(dummyGames[2], {MatchCandidate{0, "B", "", 0.9f}}, "网络匹配");  // appid 0 is no match
    EXPECT_FALSE(startDownloadJob(opts));
    EXPECT_EQ(dlMsg(), "这些勾选的游戏还没匹配到 Steam appid：\n  - A\n  - B\n");
    EXPECT_EQ(gDlState.load(), 0);
    EXPECT_FALSE(gDlThread.joinable());
}

TEST(DownloadFiles, PictureSignatures) {
    using namespace std::string_literals;
    const std::pair<std::string, bool> CASES[] = {
        {"\x89PNG\r\n\x1A\n\0"s, true}, {"GIF89a;"s, true}, {"BM6\0"s, true}, {"RIFF\0\0\0\0WEBPVP8 "s, true},
        {"\0\0\0\x20" "ftypmif1\0\0\0\0mif1avis"s, true}, {"\0\0\0\x18" "ftypmp42isom"s, false},
        {"RIFF\0\0\0\0WAVE"s, false}, {"\xFF\xD8"s, false},
    };
    for (const auto& [bytes, image] : CASES) EXPECT_EQ(looksLikeImage(bytes), image) << bytes;
}

}  // namespace
