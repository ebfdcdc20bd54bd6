#include "steam/download.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "steam/http.h"
#include "steam/info_text.h"
#include "steam/json.h"
#include "steam/store_api.h"

namespace {

constexpr char kAppDetailsLabel[] = "appdetails (JSON)";

// Screenshot limit of the panel: the combo's number, 999999 for index 0 ("不限").
int32_t screenshotLimit(int32_t imageLimitIndex) { return imageLimitIndex == 0 ? 999999 : imageLimitIndex; }

// The work of one game whose folder exists: capsule, store details with info.txt, screenshots.
// Appends one line per problem to log; returns whether at least one file was written.
// access: the run's store rule (see httpsGetWithThrottle).
bool downloadSteamAssetsProd(int32_t appid, const std::string& gameDir, const std::string& name,
                             int32_t maxScreenshots, std::string& log, StoreAccess* access = nullptr);

// Store details of appid for region cc ("cn" or "us") into json. Throttled answers are
// handled by httpsGetWithThrottle; any other failure or an empty body gets one retry after
// 500 ms. The answer counts only when its raw text says "success":true.
bool fetchAppDetails(int32_t appid, const std::string& cc, std::string& json, std::string& err,
                     StoreAccess* access = nullptr);

// True when the bytes begin with a JPEG, PNG, WebP, GIF, BMP or AVIF signature.
bool looksLikeImage(const std::string& bytes);

// Every "path_full" value of the raw answer text, in document order, with \/ \" \\ undone.
std::vector<std::string> extractScreenshotUrls(const std::string& json);

void setDlText(std::string& target, const std::string& value) {
    std::lock_guard<std::mutex> lk(gDlMtx);
    target = value;
}

bool cancelled() { return gDlCancel.load(); }

// Waits ms, in short slices so a shutdown does not wait for it; false when cancelled.
bool cancellableSleep(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (cancelled()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !cancelled();
}

void beginFileStep(const std::string& label) {
    gDlFileIdx.fetch_add(1);
    gDlFileBytesDone.store(0);
    gDlFileBytesTotal.store(0);
    setDlText(gDlFileName, label);
}

// Images: only bytes that are a picture count, whatever the status said (a CDN may answer
// 200 with an HTML error page).
bool fetchImage(const std::string& host, const std::string& path, std::string& body, std::string& err,
                const std::atomic<bool>* cancel = &gDlCancel) {
    HttpMeta meta;
    if (!httpsGetBinary(host, path, body, err, &meta, cancel)) return false;
    if (body.empty()) {
        err = "响应为空";
        return false;
    }
    if (!looksLikeImage(body)) {
        err = "内容不是图片（Content-Type: " + (meta.contentType.empty() ? "未给出" : meta.contentType) + "）";
        return false;
    }
    return true;
}

bool fetchAndWrite(const std::string& host, const std::string& path, const std::string& file, std::string& err,
                   bool& writeFailed) {
    std::string body;
    writeFailed = false;
    if (!fetchImage(host, path, body, err)) return false;
    if (writeFileBinaryUtf8(file, body, err)) return true;
    writeFailed = true;
    return false;
}

// While the store throttles, the status line shows the pause after the game's name.
// throttled tells that the last answer was still a throttling one (the waits are used up).
bool getAppDetailsOnce(const std::string& path, std::string& body, std::string& err, bool& throttled,
                       StoreAccess* access) {
    std::string name;
    {
        std::lock_guard<std::mutex> lk(gDlMtx);
        name = gDlCurGame;
    }
    throttled = false;
    auto get = [&](std::string& out, std::string& e, HttpMeta& meta) {
        const bool ok = httpsGetBinary(kSteamStoreHost, path, out, e, &meta, &gDlCancel);
        throttled = !ok && isThrottleStatus(meta.status);
        return ok;
    };
    auto onWait = [&](int secondsLeft) {
        setDlText(gDlCurGame, secondsLeft > 0 ? name + " (商店限流，" + std::to_string(secondsLeft) + " 秒后重试)" : name);
    };
    if (!httpsGetWithThrottle(get, body, err, &gDlCancel, onWait, nullptr, access)) return false;
    if (body.empty()) {
        err = "响应为空";
        return false;
    }
    return true;
}

bool capsuleStep(int32_t appid, const std::string& gameDir, std::string& log) {
    beginFileStep(kCapsuleFileName);
    std::string err;
    bool writeFailed = false;
    if (!ensureDirUtf8(gameDir, err) ||
        !fetchAndWrite(kSteamCdnHost, capsulePath(appid), gameDir + "/" + kCapsuleFileName, err, writeFailed)) {
        if (!cancelled()) log += "capsule: " + err + "\n";
        return false;
    }
    return true;
}

bool splitHttpsUrl(const std::string& url, std::string& host, std::string& path, std::string& err) {
    static const std::string kScheme = "https://";
    if (url.compare(0, kScheme.size(), kScheme) != 0) {
        err = "URL 不是 https: " + url.substr(0, 80);
        return false;
    }
    const size_t slash = url.find('/', kScheme.size());
    host = url.substr(kScheme.size(), slash == std::string::npos ? std::string::npos : slash - kScheme.size());
    path = slash == std::string::npos ? "/" : url.substr(slash);
    return true;
}

std::string screenshotFileName(int k) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "ss_%02d_1920x1080.jpg", k);
    return buf;
}

bool screenshotSteps(const std::string& json, const std::string& gameDir, int32_t maxScreenshots, std::string& log) {
    const std::vector<std::string> urls = extractScreenshotUrls(json);
    const size_t n = urls.size();
    const size_t count = maxScreenshots >= 1 && static_cast<size_t>(maxScreenshots) < n ? static_cast<size_t>(maxScreenshots) : n;
    bool any = false;
    for (size_t k = 1; k <= count && !cancelled(); ++k) {
        const std::string file = screenshotFileName(static_cast<int>(k));
        beginFileStep(file);
        const std::string tag = "ss #" + std::to_string(k);
        std::string host, path, err;
        bool writeFailed = false;
        if (!splitHttpsUrl(urls[k - 1], host, path, err) ||
            !fetchAndWrite(host, path, gameDir + "/" + file, err, writeFailed)) {
            if (!cancelled()) log += tag + (writeFailed ? " 写入: " : ": ") + err + "\n";
            continue;
        }
        any = true;
    }
    return any;
}

// Store details, info.txt and (from China-region details only) the screenshots.
bool detailsSteps(int32_t appid, const std::string& gameDir, const std::string& name, int32_t maxScreenshots,
                  std::string& log, StoreAccess* access) {
    beginFileStep(kAppDetailsLabel);
    std::string json, errCn, errUs;
    bool usedUsData = false;
    if (!fetchAppDetails(appid, "cn", json, errCn, access)) {
        if (cancelled()) return false;
        if (access && access->refused) {
            log += "appdetails: " + std::string(kStoreRefusedError) + "\n";
            return false;
        }
        if (!fetchAppDetails(appid, "us", json, errUs, access)) {
            if (!cancelled()) log += "appdetails: cn=" + errCn + " | us=" + errUs + "\n";
            return false;
        }
        usedUsData = true;
    }
    // An answer that is no JSON would give an info.txt of nothing but a parse note.
    JsonParser parser(json);
    parser.skipWhitespace();
    JsonValue root;
    if (!parser.parseValue(root)) {
        log += "appdetails: JSON 解析失败: " + parser.error + "\n";
        return false;
    }
    bool any = false;
    std::string text = buildInfoTxt(json, name);
    if (usedUsData) text = kUsDataNotice + text;
    std::string err;
    if (writeFileBinaryUtf8(gameDir + "/info.txt", text, err)) any = true;
    else log += "info.txt 写入: " + err + "\n";
    if (!usedUsData && screenshotSteps(json, gameDir, maxScreenshots, log)) any = true;
    return any;
}

void postResult(int32_t appid, const std::string& name, int32_t status) {
    std::lock_guard<std::mutex> lk(gDlResultMtx);
    gDlResults.push_back(DlBatchItem{name, status, appid});
}

// One game from its folder to its outcome; appends its report block to summary. A cancel
// drops the file in flight; the game is then judged by the files it got.
void downloadOneGame(int32_t appid, const std::string& name, int32_t maxScreenshots, std::string& summary,
                     StoreAccess& access) {
    setDlText(gDlCurGame, name);
    std::string log, rel;
    bool anyFileWritten = false;
    if (!mediaRelativePath(name, rel)) {
        log = std::string(kMediaNameRefused) + "\n";
    } else {
        const std::string gameDir = mediaRoot() + rel;
        std::string err;
        if (!ensureDirUtf8(gameDir, err)) log = "创建目录失败: " + err + "\n";
        else anyFileWritten = downloadSteamAssetsProd(appid, gameDir, name, maxScreenshots, log, &access);
    }
    if (cancelled()) log += "已取消\n";
    int32_t status = kDlComplete;
    if (!anyFileWritten) {
        status = kDlFailed;
        gDlFail.fetch_add(1);
        summary += "[" + name + "] 完全失败:\n" + log;
    } else if (!log.empty()) {
        status = kDlPartial;
        gDlPartial.fetch_add(1);
        summary += "[" + name + "] 部分失败:\n" + log;
    } else {
        gDlDone.fetch_add(1);
    }
    postResult(appid, name, status);
}


// Ticked rows with an appid go to work; other ticked rows are named in unmatched.
void collectDownloadWork(DownloadWorkList& work, std::vector<std::string>& unmatched) {
    std::lock_guard<std::mutex> lk(gMatchMtx);
    for (const GameInfo& g : dummyGames) {
        if (!g.ticked) continue;
        const int32_t appid = chosenAppid(g);
        if (appid > 0) work.emplace_back(appid, g.name);
        else unmatched.push_back(g.name);
    }
}

void resetDownloadState(int32_t total) {
    {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        for (GameInfo& g : dummyGames) g.downloadState = kRowNotDownloaded;
    }
    {
        std::lock_guard<std::mutex> lk(gDlResultMtx);
        gDlResults.clear();
    }
    gDlResultReady.store(false);
    gDlCancel.store(false);
    gDlState.store(kJobRunning);
    gDlTotal.store(total);
    gDlDone = gDlFail = gDlPartial = gDlFileIdx = gDlFileCount = 0;
    gDlFileBytesDone = gDlFileBytesTotal = 0;
    std::lock_guard<std::mutex> lk(gDlMtx);
    gDlMsg.clear();
    gDlCurGame.clear();
    gDlFileName.clear();
}

}  // namespace

bool startDownloadJob(const PanelOptions& opts) {
    if (gDlState.load() == kJobRunning) return false;
    DownloadWorkList work;
    std::vector<std::string> unmatched;
    collectDownloadWork(work, unmatched);
    if (work.empty()) {
        std::string msg = "请先勾选要下载的行";
        if (!unmatched.empty()) {
            msg = "这些勾选的游戏还没匹配到 Steam appid：\n";
            for (const std::string& n : unmatched) msg += "  - " + n + "\n";
        }
        setDlText(gDlMsg, msg);
        return false;
    }
    resetDownloadState(static_cast<int32_t>(work.size()));
    const int32_t maxScreenshots = screenshotLimit(opts.imageLimitIndex);
    startJobThread(gDlThread, [work = std::move(work), maxScreenshots]() mutable {
        runDownloadJob(std::move(work), maxScreenshots);
    });
    return true;
}

bool pollDownloadJob() {
    if (gDlState.load() != kJobFinished) return false;
    if (gDlThread.joinable()) gDlThread.join();
    gDlState.store(kJobIdle);
    return true;
}

void cancelDownloadJob() { gDlCancel.store(true); }

void runDownloadJob(DownloadWorkList work, int32_t maxScreenshots) {
    std::string err;
    ensureDirUtf8(mediaRoot(), err);  // a real failure shows up per game
    std::string summary;
    StoreAccess access;
    size_t started = 0;
    for (const auto& [appid, name] : work) {
        if (cancelled()) break;
        ++started;
        downloadOneGame(appid, name, maxScreenshots, summary, access);
    }
    const bool wasCancelled = cancelled();
    std::lock_guard<std::mutex> lk(gDlMtx);
    gDlCurGame.clear();
    gDlMsg = std::string(wasCancelled ? "下载已取消" : "下载完成") + "  完整:" + std::to_string(gDlDone.load()) +
             "  不全:" + std::to_string(gDlPartial.load()) + "  失败:" + std::to_string(gDlFail.load());
    if (wasCancelled) gDlMsg += "  未开始:" + std::to_string(work.size() - started);
    gDlMsg += "  → media/";
    if (access.refused) gDlMsg += "\n" + std::string(kStoreRefusedError);
    if (!summary.empty()) gDlMsg += "\n" + summary;
    gDlResultReady.store(true);
    gDlState.store(kJobFinished);
}

namespace {

bool downloadSteamAssetsProd(int32_t appid, const std::string& gameDir, const std::string& name,
                             int32_t maxScreenshots, std::string& log, StoreAccess* access) {
    gDlFileIdx.store(0);
    gDlFileCount.store((maxScreenshots < 0 ? 0 : maxScreenshots) + 2);
    bool any = capsuleStep(appid, gameDir, log);
    if (cancelled()) return any;
    if (detailsSteps(appid, gameDir, name, maxScreenshots, log, access)) any = true;
    return any;
}

bool fetchAppDetails(int32_t appid, const std::string& cc, std::string& json, std::string& err,
                     StoreAccess* access) {
    const std::string path = appDetailsPath(appid, cc);
    std::string body, e1, e2;
    bool throttled = false;
    if (!getAppDetailsOnce(path, body, e1, throttled, access)) {
        // After the throttling waits are used up, one more request would only start them again.
        if (throttled || (access && access->refused) || cancelled() || !cancellableSleep(500)) {
            err = e1;
            return false;
        }
        if (!getAppDetailsOnce(path, body, e2, throttled, access)) {
            err = e1 + (e2.empty() ? "" : " | 重试: " + e2);
            return false;
        }
    }
    if (body.find("\"success\":true") == std::string::npos && body.find("\"success\": true") == std::string::npos) {
        err = kSuccessFalseError;
        return false;
    }
    json = std::move(body);
    return true;
}

std::vector<std::string> extractScreenshotUrls(const std::string& json) {
    static const std::string kKey = "\"path_full\":\"";
    std::vector<std::string> urls;
    size_t from = 0;
    for (;;) {
        const size_t at = json.find(kKey, from);
        if (at == std::string::npos) break;
        const size_t start = at + kKey.size();
        size_t end = start;
        while (end < json.size() && !(json[end] == '"' && json[end - 1] != '\\')) ++end;
        if (end >= json.size()) break;
        std::string url;
        for (size_t i = start; i < end; ++i) {
            const char next = i + 1 < end ? json[i + 1] : '\0';
            if (json[i] == '\\' && (next == '/' || next == '"' || next == '\\')) {
                url += next;
                ++i;
            } else {
                url += json[i];
            }
        }
        urls.push_back(std::move(url));
        from = end + 1;
    }
    return urls;
}

bool looksLikeImage(const std::string& b) {
    auto at = [&b](size_t pos, const char* sig, size_t n) { return b.size() >= pos + n && b.compare(pos, n, sig, n) == 0; };
    if (at(0, "\xFF\xD8\xFF", 3) || at(0, "\x89PNG\r\n\x1A\n", 8) || at(0, "GIF87a", 6) || at(0, "GIF89a", 6) ||
        at(0, "BM", 2))
        return true;
    if (at(0, "RIFF", 4) && at(8, "WEBP", 4)) return true;
    // AVIF: an ISO media "ftyp" box whose brands name avif (still) or avis (sequence).
    if (!at(4, "ftyp", 4)) return false;
    const size_t boxEnd = std::min<size_t>(b.size(), 64);
    const std::string brands = b.substr(8, boxEnd > 8 ? boxEnd - 8 : 0);
    return brands.find("avif") != std::string::npos || brands.find("avis") != std::string::npos;
}

}  // namespace

bool fetchCapsuleImage(int32_t appid, std::string& body, std::string& err, const std::atomic<bool>* cancel) {
    return fetchImage(kSteamCdnHost, capsulePath(appid), body, err, cancel);
}
