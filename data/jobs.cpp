#include "data/jobs.h"

#include "data/utf8.h"

#include <cstdio>
#include <cstring>

std::thread gMatchThread;
std::mutex gMatchMtx;
std::atomic<int32_t> gMatchState{kJobIdle};
std::atomic<bool> gMatchCancel{false};
std::atomic<int32_t> gMatchTotal{0}, gMatchDone{0};
std::mutex gMatchMsgMtx;
std::string gMatchMsg;
bool gMatchShowModal = false;
std::string gMatchDebug;
std::atomic<bool> gLocalMatchRunning{false};

std::thread gDlgThread;
std::atomic<bool> gDlgRunning{false}, gDlgDone{false};
std::mutex gDlgMtx;
std::string gDlgStatus;
std::atomic<bool> gDlgCancel{false};

std::thread gDlThread;
std::mutex gDlMtx;
std::atomic<int32_t> gDlState{kJobIdle};
std::atomic<int32_t> gDlTotal{0}, gDlDone{0}, gDlPartial{0}, gDlFail{0};
std::atomic<int32_t> gDlFilesDone{0}, gDlFilesKnown{0}, gDlGamesKnown{0};
TransferSlot gDlTransfers[kDlTransferSlots];
std::string gDlCurGame, gDlMsg;
std::mutex gDlResultMtx;
std::vector<DlBatchItem> gDlResults;
std::atomic<bool> gDlResultReady{false};
std::atomic<bool> gDlCancel{false};

std::thread gAiThread;
std::mutex gAiMtx;
std::atomic<int32_t> gAiState{kJobIdle};
std::atomic<int32_t> gAiCaller{0};
std::string gAiContent, gAiErr;
std::atomic<bool> gAiTruncated{false};
std::atomic<bool> gAiCancel{false};
std::string gGenMsg;
bool gGenOk = false;

std::mutex gProgressMtx;
float gProgress = 0.0f;
char gProgressText[128] = {0};
std::atomic<int32_t> gTotalCount{0}, gPendingCount{0}, gConfirmCount{0}, gUnmatchCount{0};
WaitState gWaitState;

bool rowJobRunning() {
    return gMatchState.load() != kJobIdle || gLocalMatchRunning.load() || gDlgRunning.load();
}

void openWaitDialog(const std::string& title, const std::string& message, std::atomic<bool>* cancel) {
    gWaitState.title = title;
    gWaitState.message = message;
    gWaitState.cancel = cancel;
    gWaitState.active.store(true);
}

void setStatusMessage(const std::string& text) {
    std::lock_guard<std::mutex> lk(gDlMtx);
    gDlMsg = text;
}

std::string progressTextCopy() {
    std::lock_guard<std::mutex> lk(gProgressMtx);
    return std::string(gProgressText);
}

void setProgressText(const std::string& text) {
    std::lock_guard<std::mutex> lk(gProgressMtx);
    copyUtf8IntoBuffer(gProgressText, sizeof gProgressText, text);
}

void shutdownJobs() {
    gMatchCancel.store(true);
    gDlgCancel.store(true);
    gDlCancel.store(true);
    gAiCancel.store(true);
    for (std::thread* t : {&gMatchThread, &gDlgThread, &gDlThread, &gAiThread})
        if (t->joinable()) t->join();
}

void resetJobGlobals() {
    gMatchState = kJobIdle;
    gMatchCancel = false;
    gMatchTotal = 0;
    gMatchDone = 0;
    gMatchMsg.clear();
    gMatchShowModal = false;
    gMatchDebug.clear();
    gLocalMatchRunning = false;
    gDlgRunning = false;
    gDlgDone = false;
    gDlgStatus.clear();
    gDlgCancel = false;
    gDlState = kJobIdle;
    gDlTotal = gDlDone = gDlPartial = gDlFail = 0;
    gDlFilesDone = gDlFilesKnown = gDlGamesKnown = 0;
    for (TransferSlot& t : gDlTransfers) t.active = false, t.total = 0, t.done = 0;
    gDlCurGame.clear();
    gDlMsg.clear();
    gDlResults.clear();
    gDlResultReady = false;
    gDlCancel = false;
    gAiState = kJobIdle;
    gAiCaller = 0;
    gAiContent.clear();
    gAiErr.clear();
    gAiTruncated = false;
    gAiCancel = false;
    gGenMsg.clear();
    gGenOk = false;
    gProgress = 0.0f;
    gProgressText[0] = '\0';
    gTotalCount = gPendingCount = gConfirmCount = gUnmatchCount = 0;
    gWaitState.active = false;
    gWaitState.title.clear();
    gWaitState.message.clear();
    gWaitState.cancel = nullptr;
}

std::string formatByteSize(long long n) {
    char buf[64];
    if (n >= 1048576) std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(n) / 1048576.0);
    else if (n >= 1024) std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(n) / 1024.0);
    else std::snprintf(buf, sizeof buf, "%lld B", n);
    return buf;
}
