#include "steam/download.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <set>
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

// Games the store may be asked about ahead of the oldest game not yet reported, so that the
// image fetchers always have files queued while the store answers one request at a time.
constexpr size_t kGamesAhead = 3;
constexpr int kStoreSlot = 0;  // gDlTransfers[0]; the image fetchers use 1..kDlImageTransfers

// Screenshot limit of the panel: the combo's number, 999999 for index 0 ("不限").
int32_t screenshotLimit(int32_t imageLimitIndex) { return imageLimitIndex == 0 ? 999999 : imageLimitIndex; }

// Store details of appid for region cc ("cn" or "us") into json. Throttled answers are
// handled by httpsGetWithThrottle; any other failure or an empty body gets one retry after
// 500 ms. The answer counts only when its raw text says "success":true.
bool fetchAppDetails(int32_t appid, const std::string& cc, std::string& json, std::string& err,
                     StoreAccess* access, NetClient& client);

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

// Images: only bytes that are a picture count, whatever the status said (a CDN may answer
// 200 with an HTML error page).
bool fetchImage(const std::string& host, const std::string& path, std::string& body, std::string& err,
                NetClient& client, TransferSlot* slot, const std::atomic<bool>* cancel = &gDlCancel,
                HttpMeta* metaOut = nullptr) {
    HttpMeta local;
    HttpMeta& meta = metaOut ? *metaOut : local;
    if (!httpsGetBinary(host, path, body, err, &meta, cancel, &client, slot)) return false;
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

// A file of a game's folder, written whole; the folder is made with its first file, so a
// game that gets nothing leaves no folder behind.
bool writeGameFile(const std::string& gameDir, const std::string& file, const std::string& data, std::string& err) {
    return ensureDirUtf8(gameDir, err) && writeFileBinaryUtf8(gameDir + "/" + file, data, err);
}

// While the store throttles, the status line shows the pause after the game's name.
// throttled tells that the last answer was still a throttling one (the waits are used up).
bool getAppDetailsOnce(const std::string& path, std::string& body, std::string& err, bool& throttled,
                       StoreAccess* access, NetClient& client) {
    std::string name;
    {
        std::lock_guard<std::mutex> lk(gDlMtx);
        name = gDlCurGame;
    }
    throttled = false;
    auto get = [&](std::string& out, std::string& e, HttpMeta& meta) {
        const bool ok = httpsGetBinary(kSteamStoreHost, path, out, e, &meta, &gDlCancel, &client, &gDlTransfers[kStoreSlot]);
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

// One picture to fetch: the capsule (shot 0) or screenshot shot of a game.
struct ImageTask {
    size_t game = 0;
    int shot = 0;
    std::string host, path;
};

// A game on its way through the job. Its report lines sit in slots so that they come out in
// the order of its files whatever order the fetches end in.
struct GameRun {
    int32_t appid = 0;
    std::string name, dir;  // dir empty: the name was refused
    std::vector<std::string> lines;  // [0] capsule, [1] details and info.txt, [1 + k] screenshot k
    int pending = 0;                 // image tasks queued or in flight
    bool detailsDone = false;        // no more tasks will be added
    bool anyFileWritten = false;
    bool cut = false;                // something of it was dropped by a cancel
};

// What the store thread and the image fetchers share; everything under mtx.
struct DownloadRun {
    std::mutex mtx;
    std::condition_variable wake;  // a task was queued or finished, or the run is ending
    std::deque<ImageTask> queue;
    std::vector<GameRun> games;
    size_t started = 0;   // games begun by the store thread
    size_t reported = 0;  // games whose outcome is out, in order
    bool ending = false;  // no more tasks will be queued
};

void finishFile() { gDlFilesDone.fetch_add(1); }

// An image fetcher: takes tasks until the run ends, each through its own kept connections.
void imageFetcher(DownloadRun& run, TransferSlot& slot) {
    NetClient client;
    for (;;) {
        ImageTask task;
        std::string dir;
        {
            std::unique_lock<std::mutex> lk(run.mtx);
            run.wake.wait(lk, [&] { return !run.queue.empty() || run.ending; });
            if (run.queue.empty()) return;
            task = std::move(run.queue.front());
            run.queue.pop_front();
            dir = run.games[task.game].dir;
        }
        const std::string file = task.shot == 0 ? std::string(kCapsuleFileName) : screenshotFileName(task.shot);
        std::string body, err;
        bool written = false, writeFailed = false;
        if (!cancelled() && fetchImage(task.host, task.path, body, err, client, &slot)) {
            written = writeGameFile(dir, file, body, err);
            writeFailed = !written;
        }
        body = std::string();  // the memory goes before the next fetch
        finishFile();
        std::lock_guard<std::mutex> lk(run.mtx);
        GameRun& g = run.games[task.game];
        --g.pending;
        g.anyFileWritten = g.anyFileWritten || written;
        if (!written && cancelled()) g.cut = true;
        else if (!written) {
            const std::string tag = task.shot == 0 ? "capsule" : "ss #" + std::to_string(task.shot);
            g.lines[static_cast<size_t>(task.shot == 0 ? 0 : 1 + task.shot)] =
                tag + (writeFailed && task.shot != 0 ? " 写入: " : ": ") + err + "\n";
        }
        run.wake.notify_all();
    }
}

void queueImage(DownloadRun& run, size_t game, int shot, std::string host, std::string path) {
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        ++run.games[game].pending;
        run.queue.push_back(ImageTask{game, shot, std::move(host), std::move(path)});
    }
    run.wake.notify_all();
}

// Store details, info.txt, and the screenshots queued (China-region details only).
// Returns the report line of the details step (empty when all went well).
std::string detailsStep(DownloadRun& run, size_t game, int32_t maxScreenshots, StoreAccess& access,
                        NetClient& client) {
    int32_t appid;
    std::string dir, name;
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        appid = run.games[game].appid;
        dir = run.games[game].dir;
        name = run.games[game].name;
    }
    std::string json, errCn, errUs;
    bool usedUsData = false;
    if (!fetchAppDetails(appid, "cn", json, errCn, &access, client)) {
        if (cancelled()) return {};
        if (access.refused) return "appdetails: " + std::string(kStoreRefusedError) + "\n";
        if (!fetchAppDetails(appid, "us", json, errUs, &access, client))
            return cancelled() ? "" : "appdetails: cn=" + errCn + " | us=" + errUs + "\n";
        usedUsData = true;
    }
    // An answer that is no JSON would give an info.txt of nothing but a parse note.
    JsonParser parser(json);
    parser.skipWhitespace();
    JsonValue root;
    if (!parser.parseValue(root)) return "appdetails: JSON 解析失败: " + parser.error + "\n";
    std::string text = buildInfoTxt(json, name), err, line;
    if (usedUsData) text = kUsDataNotice + text;
    if (writeGameFile(dir, "info.txt", text, err)) {
        std::lock_guard<std::mutex> lk(run.mtx);
        run.games[game].anyFileWritten = true;
    } else {
        line = "info.txt 写入: " + err + "\n";
    }
    if (usedUsData) return line;
    const std::vector<std::string> urls = extractScreenshotUrls(json);
    const size_t n = urls.size();
    const size_t count = maxScreenshots >= 1 && static_cast<size_t>(maxScreenshots) < n ? static_cast<size_t>(maxScreenshots) : n;
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        run.games[game].lines.resize(2 + count);
    }
    gDlFilesKnown.fetch_add(static_cast<int32_t>(count));
    for (size_t k = 1; k <= count; ++k) {
        std::string host, path;
        if (splitHttpsUrl(urls[k - 1], host, path, err)) {
            queueImage(run, game, static_cast<int>(k), std::move(host), std::move(path));
            continue;
        }
        finishFile();
        std::lock_guard<std::mutex> lk(run.mtx);
        run.games[game].lines[1 + k] = "ss #" + std::to_string(k) + ": " + err + "\n";
    }
    return line;
}

// Begins game i: its folder path checked and its capsule queued. False when its name is
// refused (the game is then done, failed).
bool beginGame(DownloadRun& run, size_t i) {
    std::string name;
    int32_t appid;
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        name = run.games[i].name;
        appid = run.games[i].appid;
        run.started = i + 1;
    }
    setDlText(gDlCurGame, name);
    std::string rel;
    if (!mediaRelativePath(name, rel)) {
        std::lock_guard<std::mutex> lk(run.mtx);
        run.games[i].lines[0] = std::string(kMediaNameRefused) + "\n";
        run.games[i].detailsDone = true;
        gDlGamesKnown.fetch_add(1);
        return false;
    }
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        run.games[i].dir = mediaRoot() + rel;
    }
    gDlFilesKnown.fetch_add(2);  // capsule and details; the screenshots once the details name them
    queueImage(run, i, 0, kSteamCdnHost, capsulePath(appid));
    return true;
}

// The oldest game not yet reported has all its files done. Called with mtx held.
bool headGameDone(const DownloadRun& run) {
    if (run.reported >= run.started) return false;
    const GameRun& g = run.games[run.reported];
    return g.detailsDone && g.pending == 0;
}

// A cancel drops the files not yet begun; their games count by the files they got.
// Called with mtx held.
void dropQueuedImages(DownloadRun& run) {
    for (const ImageTask& t : run.queue) {
        --run.games[t.game].pending;
        run.games[t.game].cut = true;
        finishFile();
    }
    run.queue.clear();
}

// Reports, in game order, every game whose files are all done. Called with mtx held;
// returns the outcomes to post once it is released.
std::vector<DlBatchItem> reportReadyGames(DownloadRun& run, std::string& summary) {
    std::vector<DlBatchItem> out;
    for (; run.reported < run.started; ++run.reported) {
        GameRun& g = run.games[run.reported];
        if (!g.detailsDone || g.pending > 0) break;
        std::string log;
        for (const std::string& l : g.lines) log += l;
        if (g.cut) log += "已取消\n";
        int32_t status = kDlComplete;
        if (!g.anyFileWritten) {
            status = kDlFailed;
            gDlFail.fetch_add(1);
            summary += "[" + g.name + "] 完全失败:\n" + log;
        } else if (!log.empty()) {
            status = kDlPartial;
            gDlPartial.fetch_add(1);
            summary += "[" + g.name + "] 部分失败:\n" + log;
        } else {
            gDlDone.fetch_add(1);
        }
        out.push_back(DlBatchItem{g.name, status, g.appid});
    }
    return out;
}

void postResults(const std::vector<DlBatchItem>& items) {
    if (items.empty()) return;
    std::lock_guard<std::mutex> lk(gDlResultMtx);
    gDlResults.insert(gDlResults.end(), items.begin(), items.end());
}

// Ticked rows with an appid go to work, once per name: rows that share a name share its
// folder, so they share one fetch (the first row's appid) and its result. Other ticked rows
// are named in unmatched.
void collectDownloadWork(DownloadWorkList& work, std::vector<std::string>& unmatched) {
    std::lock_guard<std::mutex> lk(gMatchMtx);
    std::set<std::string> names;
    for (const GameInfo& g : dummyGames) {
        if (!g.ticked) continue;
        const int32_t appid = chosenAppid(g);
        if (appid <= 0) unmatched.push_back(g.name);
        else if (names.insert(g.name).second) work.emplace_back(appid, g.name);
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
    gDlDone = gDlFail = gDlPartial = 0;
    gDlFilesDone = gDlFilesKnown = gDlGamesKnown = 0;
    std::lock_guard<std::mutex> lk(gDlMtx);
    gDlMsg.clear();
    gDlCurGame.clear();
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
    NetClient storeClient;
    DownloadRun run;
    for (const auto& [appid, name] : work) {
        GameRun g;
        g.appid = appid;
        g.name = name;
        g.lines.resize(2);
        run.games.push_back(std::move(g));
    }
    std::vector<std::thread> fetchers;
    for (int i = 1; i <= kDlImageTransfers; ++i) fetchers.emplace_back(imageFetcher, std::ref(run), std::ref(gDlTransfers[i]));

    // This thread asks the store, one request at a time, and reports the games in order as
    // their files are done; it begins a game at most kGamesAhead games ahead of the reports.
    auto reportWhile = [&](const std::function<bool()>& waiting) {
        for (;;) {
            std::vector<DlBatchItem> ready;
            bool more;
            {
                std::unique_lock<std::mutex> lk(run.mtx);
                // The flag is polled: a cancel comes from the frame, which does not notify.
                run.wake.wait_for(lk, std::chrono::milliseconds(50), [&] { return headGameDone(run) || !waiting(); });
                ready = reportReadyGames(run, summary);
                if (cancelled()) dropQueuedImages(run);
                more = waiting();
            }
            postResults(ready);
            if (!more) return;
        }
    };
    for (size_t i = 0; i < run.games.size() && !cancelled(); ++i) {
        reportWhile([&] { return !cancelled() && run.reported + kGamesAhead <= i; });
        if (cancelled()) break;
        if (!beginGame(run, i)) continue;
        const std::string line = detailsStep(run, i, maxScreenshots, access, storeClient);
        finishFile();
        gDlGamesKnown.fetch_add(1);
        {
            std::lock_guard<std::mutex> lk(run.mtx);
            GameRun& g = run.games[i];
            g.lines[1] = line;
            if (cancelled()) g.cut = true;
            g.detailsDone = true;
        }
        run.wake.notify_all();
    }
    reportWhile([&] { return run.reported < run.started; });
    {
        std::lock_guard<std::mutex> lk(run.mtx);
        run.ending = true;
    }
    run.wake.notify_all();
    for (std::thread& t : fetchers) t.join();

    // The first line says what ended or stopped the job before the counts.
    const bool wasCancelled = cancelled();
    std::string head = wasCancelled ? "下载已取消" : "下载完成";
    if (access.refused) head += std::string("：") + kStoreRefusedError;
    else if (wasCancelled && access.cancelledInPause) head += "（商店限流暂停中）";
    std::lock_guard<std::mutex> lk(gDlMtx);
    gDlCurGame.clear();
    gDlMsg = head + "  完整:" + std::to_string(gDlDone.load()) +
             "  不全:" + std::to_string(gDlPartial.load()) + "  失败:" + std::to_string(gDlFail.load());
    if (wasCancelled) gDlMsg += "  未开始:" + std::to_string(work.size() - run.started);
    gDlMsg += "  → media/";
    if (!summary.empty()) gDlMsg += "\n" + summary;
    gDlResultReady.store(true);
    gDlState.store(kJobFinished);
}

namespace {

bool fetchAppDetails(int32_t appid, const std::string& cc, std::string& json, std::string& err,
                     StoreAccess* access, NetClient& client) {
    const std::string path = appDetailsPath(appid, cc);
    std::string body, e1, e2;
    bool throttled = false;
    if (!getAppDetailsOnce(path, body, e1, throttled, access, client)) {
        // After the throttling waits are used up, one more request would only start them again.
        if (throttled || (access && access->refused) || cancelled() || !cancellableSleep(500)) {
            err = e1;
            return false;
        }
        if (!getAppDetailsOnce(path, body, e2, throttled, access, client)) {
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

bool fetchCapsuleImage(int32_t appid, NetClient& client, const std::atomic<bool>* cancel, std::string& body,
                       std::string& err, bool* answered) {
    HttpMeta meta;
    const bool ok = fetchImage(kSteamCdnHost, capsulePath(appid), body, err, client, nullptr, cancel, &meta);
    if (answered) *answered = meta.status != 0;
    return ok;
}
