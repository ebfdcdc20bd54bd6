#include "app/preview_logic.h"

#include "data/files.h"
#include "data/game.h"
#include "data/net.h"
#include "data/paths.h"
#include "steam/download.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct CacheEntry {
    PreviewView view;
    uint64_t lastUse = 0;
};

struct PendingRequest {
    std::string key;
    PreviewSource source;
};

// Everything below is guarded by gPreviewMtx; the worker holds it only to take a request
// and to store a result, never while it reads, fetches or decodes.
std::mutex gPreviewMtx;
std::condition_variable gPreviewWake;
std::map<std::string, CacheEntry> gPreviewCache;
std::deque<PendingRequest> gPreviewPending;  // newest at the back
uint64_t gPreviewClock = 0;
PreviewDecoder gPreviewDecode = nullptr;
bool gPreviewStopping = false;
std::atomic<bool> gPreviewCancel{false};
std::thread gPreviewThread;

// A store candidate's picture is the same whichever row asks: one entry per appid.
std::string previewKey(const PreviewSource& s) {
    return s.appid != 0 ? "a:" + std::to_string(s.appid) : "d:" + s.localFolder;
}

// The name info.txt starts with: its first line, before the tab that precedes the date.
std::string infoSheetName(const std::string& mediaDir) {
    std::string text, err;
    if (!readFileBinaryUtf8(mediaDir + "info.txt", text, err)) return {};
    return text.substr(0, text.find_first_of("\t\n"));
}

bool readLocalPicture(const std::string& folder, std::string& bytes, std::string& err) {
    std::vector<DirEntry> entries;
    if (!listDirUtf8(folder, entries, err)) return false;
    std::vector<std::string> pictures;
    for (const DirEntry& e : entries)
        if (!e.isDir && isImageExtension(lowerExtension(e.name))) pictures.push_back(e.name);
    if (pictures.empty()) {
        err = "文件夹里没有图片";
        return false;
    }
    // The copy's own order: by name.
    std::sort(pictures.begin(), pictures.end());
    return readFileBinaryUtf8(folder + "/" + pictures.front(), bytes, err);
}

// What the worker keeps between requests.
struct WorkerState {
    NetClient client;  // the CDN's connection stays open between hovers
    // After a fetch the CDN did not answer at all (offline, unreachable, silent), the next
    // ones fail at once for a while: a hover never waits for more than one connect limit.
    std::chrono::steady_clock::time_point cdnDownUntil{};
    std::string cdnDownReason;
};
constexpr auto kCdnDownFor = std::chrono::seconds(60);

// The row's downloaded capsule when it belongs to this candidate, else the image CDN's.
bool readStorePicture(const PreviewSource& s, WorkerState& w, std::string& bytes, std::string& err) {
    if (!s.mediaDir.empty() && (s.downloadedFor || (!s.candidateName.empty() && infoSheetName(s.mediaDir) == s.candidateName))) {
        std::string ignored;
        if (readFileBinaryUtf8(s.mediaDir + kCapsuleFileName, bytes, ignored)) return true;
    }
    if (std::chrono::steady_clock::now() < w.cdnDownUntil) {
        err = w.cdnDownReason;
        return false;
    }
    bool answered = false;
    if (fetchCapsuleImage(s.appid, w.client, &gPreviewCancel, bytes, err, &answered)) return true;
    if (!answered) {
        w.cdnDownUntil = std::chrono::steady_clock::now() + kCdnDownFor;
        w.cdnDownReason = err;
    }
    return false;
}

PreviewView loadPicture(const PreviewSource& s, PreviewDecoder decode, WorkerState& w) {
    PreviewView v;
    v.state = kPreviewFailed;
    std::string bytes;
    const bool read = s.appid != 0 ? readStorePicture(s, w, bytes, v.error) : readLocalPicture(s.localFolder, bytes, v.error);
    if (!read) return v;
    auto pic = std::make_shared<PreviewPicture>();
    if (!decode(bytes, *pic, v.error)) return v;
    *pic = scalePictureToFit(*pic, kPreviewMaxWidth, kPreviewMaxHeight);
    v.state = kPreviewReady;
    v.picture = std::move(pic);
    return v;
}

// Drops the least recently used pictures beyond the cache size; failures stay (small, and a
// failed appid is not asked again in the same run).
void evictLocked() {
    size_t ready = 0;
    for (const auto& [key, e] : gPreviewCache) ready += e.view.state == kPreviewReady;
    while (ready > kPreviewCacheSize) {
        auto oldest = gPreviewCache.end();
        for (auto it = gPreviewCache.begin(); it != gPreviewCache.end(); ++it)
            if (it->second.view.state == kPreviewReady && (oldest == gPreviewCache.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        gPreviewCache.erase(oldest);
        --ready;
    }
}

void workerLoop() {
    WorkerState worker;
    for (;;) {
        PendingRequest req;
        PreviewDecoder decode = nullptr;
        {
            std::unique_lock<std::mutex> lk(gPreviewMtx);
            gPreviewWake.wait(lk, [] { return gPreviewStopping || !gPreviewPending.empty(); });
            if (gPreviewStopping) return;
            req = std::move(gPreviewPending.back());
            gPreviewPending.pop_back();
            decode = gPreviewDecode;
        }
        PreviewView v = loadPicture(req.source, decode, worker);
        std::lock_guard<std::mutex> lk(gPreviewMtx);
        if (gPreviewStopping) return;
        auto it = gPreviewCache.find(req.key);
        if (it == gPreviewCache.end()) continue;  // dropped meanwhile
        it->second.view = std::move(v);
        evictLocked();
    }
}

}  // namespace

PreviewSource previewSourceOf(const GameInfo& g, size_t k) {
    PreviewSource s;
    const MatchCandidate& c = g.candidates[k];
    s.appid = c.appid;
    s.candidateName = c.name;
    if (c.appid == 0) {
        s.localFolder = c.extra;
        return s;
    }
    std::string rel;
    if (mediaRelativePath(g.name, rel)) s.mediaDir = mediaRoot() + rel + "/";
    s.downloadedFor = g.mediaAppid == c.appid;
    return s;
}

void previewStart(PreviewDecoder decode) {
    std::lock_guard<std::mutex> lk(gPreviewMtx);
    if (gPreviewThread.joinable()) return;
    gPreviewDecode = decode;
    gPreviewStopping = false;
    gPreviewCancel = false;
    gPreviewThread = std::thread(workerLoop);
}

void previewStop() {
    {
        std::lock_guard<std::mutex> lk(gPreviewMtx);
        gPreviewStopping = true;
        gPreviewCancel = true;
    }
    gPreviewWake.notify_all();
    if (gPreviewThread.joinable()) gPreviewThread.join();
    std::lock_guard<std::mutex> lk(gPreviewMtx);
    gPreviewCache.clear();
    gPreviewPending.clear();
}

PreviewView previewGet(const PreviewSource& src) {
    const std::string key = previewKey(src);
    std::lock_guard<std::mutex> lk(gPreviewMtx);
    auto [it, added] = gPreviewCache.try_emplace(key);
    it->second.lastUse = ++gPreviewClock;
    if (added) {
        gPreviewPending.push_back({key, src});
        if (gPreviewPending.size() > kPreviewPendingMax) {
            gPreviewCache.erase(gPreviewPending.front().key);
            gPreviewPending.pop_front();
        }
        gPreviewWake.notify_one();
    } else if (it->second.view.state == kPreviewLoading) {
        // Hovered again while waiting: it becomes the newest request.
        auto p = std::find_if(gPreviewPending.begin(), gPreviewPending.end(),
                              [&](const PendingRequest& r) { return r.key == key; });
        if (p != gPreviewPending.end() && p + 1 != gPreviewPending.end()) {
            PendingRequest moved = std::move(*p);
            gPreviewPending.erase(p);
            gPreviewPending.push_back(std::move(moved));
        }
    }
    return it->second.view;
}

size_t previewCacheBytes() {
    std::lock_guard<std::mutex> lk(gPreviewMtx);
    size_t n = 0;
    for (const auto& [key, e] : gPreviewCache)
        if (e.view.picture) n += e.view.picture->rgba.size();
    return n;
}

PreviewPicture scalePictureToFit(const PreviewPicture& in, uint32_t maxWidth, uint32_t maxHeight) {
    if (in.width <= maxWidth && in.height <= maxHeight) return in;
    // One factor for both sides keeps the proportions; each side at least one pixel.
    const double f = std::min(static_cast<double>(maxWidth) / in.width, static_cast<double>(maxHeight) / in.height);
    PreviewPicture out;
    out.width = std::max<uint32_t>(1, static_cast<uint32_t>(in.width * f));
    out.height = std::max<uint32_t>(1, static_cast<uint32_t>(in.height * f));
    out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
    for (uint32_t y = 0; y < out.height; ++y) {
        const uint32_t y0 = static_cast<uint32_t>(static_cast<uint64_t>(y) * in.height / out.height);
        const uint32_t y1 = std::max(y0 + 1, static_cast<uint32_t>(static_cast<uint64_t>(y + 1) * in.height / out.height));
        for (uint32_t x = 0; x < out.width; ++x) {
            const uint32_t x0 = static_cast<uint32_t>(static_cast<uint64_t>(x) * in.width / out.width);
            const uint32_t x1 = std::max(x0 + 1, static_cast<uint32_t>(static_cast<uint64_t>(x + 1) * in.width / out.width));
            uint64_t sum[4] = {0, 0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy)
                for (uint32_t sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 4; ++c) sum[c] += in.rgba[(static_cast<size_t>(sy) * in.width + sx) * 4 + c];
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
            for (int c = 0; c < 4; ++c)
                out.rgba[(static_cast<size_t>(y) * out.width + x) * 4 + c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return out;
}
