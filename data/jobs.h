// State shared between the frame thread and the background jobs.
//
// Rules every job keeps:
//  - A worker owns copies of its inputs and never calls the GUI.
//  - Match fields of dummyGames rows are written only under gMatchMtx, one game at a
//    time; the frame holds gMatchMtx while it draws or sorts the table, so neither side
//    ever holds it for long. No job keeps it across its whole run.
//  - Strings of a family are touched only under that family's mutex; counters and
//    states are atomics. Locks are never nested.
//  - The worker sets its final state last; the frame alone moves a family back to idle.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Values of the families' state atomics (gMatchState, gDlState, gAiState). A job goes from
// idle to running and ends in finished (the AI job in succeeded or failed).
constexpr int32_t kJobIdle = 0;
constexpr int32_t kJobRunning = 1;
constexpr int32_t kJobFinished = 2;
constexpr int32_t kJobSucceeded = 2;
constexpr int32_t kJobFailed = 3;

// Outcome of one game of a download batch.
constexpr int32_t kDlComplete = 0;
constexpr int32_t kDlPartial = 1;
constexpr int32_t kDlFailed = 2;

struct DlBatchItem {
    std::string name;
    int32_t status = kDlComplete;
    int32_t appid = 0;  // the store entry the files were fetched for
};

struct WaitState {
    std::atomic<bool> active{false};
    std::string title;    // written by the frame before active is set
    std::string message;
    std::atomic<bool>* cancel = nullptr;  // the 取消 button raises it; nullptr = no button
};

// --- match family (network match and local library match)
extern std::thread gMatchThread;
extern std::mutex gMatchMtx;
extern std::atomic<int32_t> gMatchState;  // kJobIdle, kJobRunning, kJobFinished
extern std::atomic<bool> gMatchCancel;
extern std::atomic<int32_t> gMatchTotal, gMatchDone;
extern std::mutex gMatchMsgMtx;           // guards gMatchMsg, gMatchDebug
extern std::string gMatchMsg;
extern bool gMatchShowModal;              // frame thread only
extern std::string gMatchDebug;
// Set while the local library match runs (it has no running state of its own).
extern std::atomic<bool> gLocalMatchRunning;

// --- lookup family (manual lookups)
extern std::thread gDlgThread;
extern std::atomic<bool> gDlgRunning, gDlgDone;
extern std::mutex gDlgMtx;                // guards gDlgStatus
extern std::string gDlgStatus;
extern std::atomic<bool> gDlgCancel;      // set at shutdown only

// --- download family
// One transfer of the download in flight, written by the one thread that runs it and read
// by the frame: its announced size (0 when unknown) and the bytes received so far.
struct TransferSlot {
    std::atomic<bool> active{false};
    std::atomic<int64_t> total{0}, done{0};
};
// The download's transfers at most in flight: the store's one and the image fetchers'.
constexpr int kDlImageTransfers = 4;
constexpr int kDlTransferSlots = kDlImageTransfers + 1;
extern TransferSlot gDlTransfers[kDlTransferSlots];

extern std::thread gDlThread;
extern std::mutex gDlMtx;                 // guards gDlCurGame, gDlMsg
extern std::atomic<int32_t> gDlState;     // kJobIdle, kJobRunning, kJobFinished
extern std::atomic<int32_t> gDlTotal, gDlDone, gDlPartial, gDlFail;
// Files of the whole job: finished (written or failed) and known so far; the known count
// grows as each game's store details name its screenshots. gDlGamesKnown: games whose
// files are all known.
extern std::atomic<int32_t> gDlFilesDone, gDlFilesKnown, gDlGamesKnown;
extern std::string gDlCurGame, gDlMsg;
extern std::mutex gDlResultMtx;
extern std::vector<DlBatchItem> gDlResults;
extern std::atomic<bool> gDlResultReady;
extern std::atomic<bool> gDlCancel;       // 取消下载 and shutdown; cleared at start

// --- AI family
extern std::thread gAiThread;
extern std::mutex gAiMtx;                 // guards gAiContent, gAiErr
extern std::atomic<int32_t> gAiState;     // kJobIdle, kJobRunning, kJobSucceeded, kJobFailed
extern std::atomic<int32_t> gAiCaller;    // 1 生成结果, 2 用文本框提示词生成结果 (3: 测试)
extern std::string gAiContent, gAiErr;
extern std::atomic<bool> gAiTruncated;
extern std::atomic<bool> gAiCancel;       // the wait dialog's 取消 and shutdown; cleared at start
extern std::string gGenMsg;               // frame thread only
extern bool gGenOk;

// --- progress and status line
extern std::mutex gProgressMtx;           // guards gProgressText
extern float gProgress;                   // frame thread only
extern char gProgressText[128];
extern std::atomic<int32_t> gTotalCount, gPendingCount, gConfirmCount, gUnmatchCount;
extern WaitState gWaitState;

// True while a job that addresses rows by index runs (network/local match, lookup):
// sorting, 清除匹配, the candidate combo and 读取数据 are refused meanwhile.
bool rowJobRunning();

// Joins the slot's previous thread (if any) and starts fn on it.
template <class F>
void startJobThread(std::thread& slot, F&& fn) {
    if (slot.joinable()) slot.join();
    slot = std::thread(std::forward<F>(fn));
}

// Shows the wait dialog; the job clears gWaitState.active when it ends.
void openWaitDialog(const std::string& title, const std::string& message, std::atomic<bool>* cancel = nullptr);

// The status line's message (gDlMsg, under gDlMtx): what a load had to say about its files.
void setStatusMessage(const std::string& text);

// Copies gProgressText under its lock.
std::string progressTextCopy();
void setProgressText(const std::string& text);

// Shutdown: sets every cancel flag and joins every job thread. Safe to call twice.
void shutdownJobs();

// Test support: returns all globals of this file to their start values (no thread may run).
void resetJobGlobals();

// Byte-size text: "%.1f MB", "%.1f KB" or "%lld B".
std::string formatByteSize(long long n);
