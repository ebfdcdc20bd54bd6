#include "steam/network_match.h"

#include "data/game.h"
#include "data/jobs.h"
#include "match/clean.h"
#include "match/rules.h"
#include "steam/http.h"
#include "steam/store_api.h"

#include <algorithm>
#include <cstdio>

std::atomic<int32_t> gMatchWaitSeconds{0};

std::vector<NetMatchItem> selectNetworkMatchGames(const PanelOptions& opts) {
    std::vector<NetMatchItem> work;
    std::lock_guard<std::mutex> lk(gMatchMtx);
    for (size_t i = 0; i < dummyGames.size(); ++i) {
        GameInfo& g = dummyGames[i];
        if (matchSkipOf(g.imageCount, g.textCount, g.matchedName, opts.existingResourceMode, opts.existingMatchMode) !=
            MatchSkip::None)
            continue;
        clearMatch(g);
        NetMatchItem item{static_cast<int32_t>(i), g.name, std::string()};
        if (opts.cleanTitles) {
            std::string cleaned = cleanTitleForms(g.name).front().text;
            if (cleaned != g.name && !cleaned.empty()) item.cleaned = std::move(cleaned);
        }
        work.push_back(std::move(item));
    }
    return work;
}

const std::string& searchTermOf(const NetMatchItem& item) { return item.cleaned.empty() ? item.name : item.cleaned; }

std::vector<MatchCandidate> rankBothForms(const NetMatchItem& item, const std::vector<StoreItem>& items) {
    std::vector<MatchCandidate> cands = rankStoreItems(item.name, items);
    if (item.cleaned.empty()) return cands;
    // Each list holds the ten best items of its form, so the ten best by the better score are
    // among them.
    for (MatchCandidate& c : rankStoreItems(item.cleaned, items)) {
        auto same = std::find_if(cands.begin(), cands.end(),
                                 [&](const MatchCandidate& k) { return k.appid == c.appid && k.name == c.name; });
        if (same == cands.end()) cands.push_back(std::move(c));
        else same->score = std::max(same->score, c.score);
    }
    orderCandidates(cands);
    return cands;
}

namespace {

void showMatchMessage(const std::string& text) {
    {
        std::lock_guard<std::mutex> lk(gMatchMsgMtx);
        gMatchMsg = text;
    }
    gMatchShowModal = true;
}

// Installs one game's result; false when the row no longer exists.
bool writeResult(int32_t row, std::vector<MatchCandidate> cands) {
    std::lock_guard<std::mutex> lk(gMatchMtx);
    if (row < 0 || static_cast<size_t>(row) >= dummyGames.size()) return false;
    const bool matched = !cands.empty();
    installCandidates(dummyGames[static_cast<size_t>(row)], std::move(cands), "网络匹配");
    (matched ? gConfirmCount : gUnmatchCount).fetch_add(1);
    return true;
}

}  // namespace

bool startNetworkMatch(const PanelOptions& opts) {
    if (dummyGames.empty()) {
        showMatchMessage(kLoadGamesFirstMessage);
        return false;
    }
    if (gLocalMatchRunning.load() || gMatchState.load() != kJobIdle) {
        showMatchMessage("另一个匹配任务仍在进行，请等它结束后再试。");
        return false;
    }
    std::vector<NetMatchItem> work = selectNetworkMatchGames(opts);
    const auto n = static_cast<int32_t>(work.size());
    gTotalCount = n;
    gConfirmCount = 0;
    gPendingCount = n;
    gUnmatchCount = 0;
    gMatchCancel = false;
    gMatchWaitSeconds = 0;
    gMatchDone = 0;
    gMatchTotal = n;
    gMatchState = kJobRunning;
    startJobThread(gMatchThread, [w = std::move(work)]() mutable { runNetworkMatch(std::move(w)); });
    return true;
}

namespace {
// Set by the worker when the store refused it; the frame shows the popup on collection.
std::atomic<bool> gMatchStoreRefused{false};
}

void runNetworkMatch(std::vector<NetMatchItem> work) {
    StoreAccess access;
    NetClient client;  // one connection to the store for the whole run
    for (NetMatchItem& item : work) {
        if (gMatchCancel.load()) break;
        std::vector<StoreItem> items;
        std::string err;
        const StoreOutcome outcome = storeSearch(searchTermOf(item), items, err, &gMatchCancel,
                                                 [](int left) { gMatchWaitSeconds.store(left); }, &access, &client);
        // A game whose pause was cancelled, or that the store refused, was never answered:
        // it stays pending.
        if (outcome == StoreOutcome::Cancelled) break;
        if (access.refused) {
            {
                std::lock_guard<std::mutex> lk(gMatchMsgMtx);
                gMatchMsg = std::string("网络匹配已停止：") + kStoreRefusedError;
            }
            gMatchStoreRefused.store(true);
            break;
        }
        std::vector<MatchCandidate> cands;
        if (outcome == StoreOutcome::Ok && !items.empty()) cands = rankBothForms(item, items);
        writeResult(item.row, std::move(cands));
        int32_t pending = gPendingCount.load();
        while (pending > 0 && !gPendingCount.compare_exchange_weak(pending, pending - 1)) {
        }
        gMatchDone.fetch_add(1);
    }
    gMatchWaitSeconds.store(0);
    gMatchState.store(kJobFinished);
}

void cancelNetworkMatch() { gMatchCancel.store(true); }

std::string networkMatchProgressText(int32_t done, int32_t total, bool cancelPending, int32_t waitSeconds) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "网络匹配 %d/%d", done, total);
    std::string text = buf;
    if (waitSeconds > 0 && !cancelPending) {
        std::snprintf(buf, sizeof buf, " (商店限流，%d 秒后重试)", waitSeconds);
        text += buf;
    }
    if (cancelPending) text += " (取消中...)";
    return text;
}

bool pollNetworkMatchJob() {
    const int32_t state = gMatchState.load();
    if (state == kJobRunning) {
        const int32_t done = gMatchDone.load(), total = gMatchTotal.load();
        gProgress = total > 0 ? static_cast<float>(done) / static_cast<float>(total) : 0.0f;
        setProgressText(networkMatchProgressText(done, total, gMatchCancel.load(), gMatchWaitSeconds.load()));
        return false;
    }
    if (state != kJobFinished) return false;
    if (gMatchThread.joinable()) gMatchThread.join();
    setProgressText("");
    gProgress = 0.0f;
    gMatchCancel = false;
    if (gMatchStoreRefused.exchange(false)) gMatchShowModal = true;
    gMatchState = kJobIdle;
    return true;
}
