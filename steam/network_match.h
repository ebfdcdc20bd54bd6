// The batch network match: "Steam匹配" queues games, one worker asks the store search
// once per game, ranks the hits and installs up to ten candidates per game.
//
// Rows are addressed by the index captured at the start; while the job runs
// rowJobRunning() is true, so the frame neither sorts nor reloads the list. The worker
// writes one game at a time under gMatchMtx and never holds it across a request.
// When the store throttles (429) the worker pauses and retries the same game; the pause
// shows in the progress text and "取消匹配" ends it at once. A store that keeps refusing
// (403, see httpsGetWithThrottle) stops the run and the popup says so.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "data/game.h"
#include "data/options.h"
#include "match/score.h"

struct NetMatchItem {
    int32_t row = -1;
    std::string name;
    std::string cleaned;  // with "智能清洗标题": the cleaned title when it differs from name
};

// The store search term of an item (the cleaned title when there is one), and the ranking of
// the store's items against both forms: each item keeps the better of its two scores.
const std::string& searchTermOf(const NetMatchItem& item);
std::vector<MatchCandidate> rankBothForms(const NetMatchItem& item, const std::vector<StoreItem>& items);

// Seconds left of a throttling pause of the running job, 0 when not paused.
extern std::atomic<int32_t> gMatchWaitSeconds;

// Under gMatchMtx: the rows to match under the options, in list order; each queued row's
// match is cleared.
std::vector<NetMatchItem> selectNetworkMatchGames(const PanelOptions& opts);

// Handler of "Steam匹配". With no games loaded it puts kLoadGamesFirstMessage
// into the popup "网络匹配##m" instead. Returns true when the job started.
bool startNetworkMatch(const PanelOptions& opts);

// The worker: one game after another; sets gMatchState = kJobFinished last.
void runNetworkMatch(std::vector<NetMatchItem> work);

// Handler of "取消匹配".
void cancelNetworkMatch();

// "网络匹配 %d/%d" + " (商店限流，N 秒后重试)" while paused + " (取消中...)" while a cancel is pending.
std::string networkMatchProgressText(int32_t done, int32_t total, bool cancelPending, int32_t waitSeconds);

// Frame, every frame: while running, sets gProgress and gProgressText; when finished,
// joins the worker, clears the progress display and returns the job to idle.
// Returns true when it collected a finished job.
bool pollNetworkMatchJob();
