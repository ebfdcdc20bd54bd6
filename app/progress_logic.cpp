#include "app/progress_logic.h"

#include "data/paths.h"
#include "data/utf8.h"

#include <algorithm>
#include <cstdio>

std::vector<DlBatchItem> takeDownloadResults() {
    std::vector<DlBatchItem> taken;
    if (!gDlResultReady.load()) return taken;
    {
        std::lock_guard<std::mutex> lk(gDlResultMtx);
        taken.swap(gDlResults);
        // Cleared under the lock so a result appended after the swap keeps its flag set.
        gDlResultReady.store(false);
    }
    return taken;
}

void mergeDownloadResults(std::vector<GameInfo>& games, const std::vector<DlBatchItem>& results) {
    for (const DlBatchItem& r : results) {
        for (GameInfo& g : games) {
            if (g.name != r.name) continue;
            scanMediaCounts(g);
            if (r.status != kDlFailed) g.mediaAppid = r.appid;
            if (r.status == kDlComplete) {
                g.downloadState = kRowDownloaded;
                g.ticked = false;
            } else if (r.status == kDlPartial) {
                g.downloadState = kRowPartial;
            } else {
                g.downloadState = kRowDownloadFailed;
            }
        }
    }
}

ProgressSnapshot takeProgressSnapshot() {
    ProgressSnapshot s;
    s.dlState = gDlState.load();
    s.dlDone = gDlDone.load();
    s.dlTotal = gDlTotal.load();
    s.dlFail = gDlFail.load();
    s.dlPartial = gDlPartial.load();
    s.filesDone = gDlFilesDone.load();
    s.filesKnown = gDlFilesKnown.load();
    s.gamesKnown = gDlGamesKnown.load();
    bool allAnnounced = true;
    for (const TransferSlot& t : gDlTransfers) {
        if (!t.active.load()) continue;
        ++s.transfers;
        s.bytesDone += t.done.load();
        const int64_t total = t.total.load();
        allAnnounced = allAnnounced && total > 0;
        s.bytesTotal += total;
    }
    if (!allAnnounced) s.bytesTotal = 0;
    {
        std::lock_guard<std::mutex> lk(gDlMtx);
        s.curGame = gDlCurGame;
        s.msg = gDlMsg;
    }
    s.progress = gProgress;
    s.progressText = progressTextCopy();
    s.total = gTotalCount.load();
    s.pending = gPendingCount.load();
    s.confirmed = gConfirmCount.load();
    s.unmatched = gUnmatchCount.load();
    return s;
}

ProgressView progressView(const ProgressSnapshot& s) {
    ProgressView v;
    v.fraction = s.progress;
    if (!s.progressText.empty()) v.overlay = s.progressText;
    if (s.dlState == kJobRunning && s.dlTotal > 0) {
        v.fraction = downloadFraction(s);
        char buf[256];
        std::snprintf(buf, sizeof buf, "%.0f%%", static_cast<double>(v.fraction) * 100.0);
        v.overlay = buf;
        if (s.transfers > 0) {
            v.overlay += "  传输中 " + formatByteSize(s.bytesDone);
            if (s.bytesTotal > 0) v.overlay += "/" + formatByteSize(s.bytesTotal);
        }
    } else if (s.dlState == kJobFinished && s.dlTotal > 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "完成 %d / %d", s.dlTotal, s.dlTotal);
        v.overlay = buf;
        v.fraction = 1.0f;
    }
    v.overlay = utf8Prefix(v.overlay, 95);
    return v;
}

float downloadFraction(const ProgressSnapshot& s) {
    if (s.dlTotal <= 0) return 0.0f;
    const double perGame = s.gamesKnown > 0 ? static_cast<double>(s.filesKnown) / s.gamesKnown : 2.0;
    const double expected = s.filesKnown + std::max(0, s.dlTotal - s.gamesKnown) * perGame;
    return expected > 0 ? static_cast<float>(std::min(1.0, s.filesDone / expected)) : 0.0f;
}

std::string messageFirstLine(const std::string& msg) {
    std::string line = msg.substr(0, msg.find('\n'));
    if (line.size() > 200) line = utf8Prefix(line, 200) + "...";
    return line;
}

StatusLine statusLine(const ProgressSnapshot& s) {
    StatusLine st;
    st.warn = s.dlPartial + s.dlFail != 0;
    char buf[1024];
    if (s.dlState == kJobRunning) {
        std::snprintf(buf, sizeof buf, "%d/%d 当前:%s  文件:%d/%d  传输:%d  完整:%d 不全:%d 失败:%d",
                      s.dlDone + s.dlPartial + s.dlFail, s.dlTotal, s.curGame.empty() ? "-" : s.curGame.c_str(),
                      s.filesDone, s.filesKnown, s.transfers, s.dlDone, s.dlPartial, s.dlFail);
        st.kind = StatusKind::Download;
        st.text = buf;
        st.tooltip = s.msg;
        return st;
    }
    if (s.dlState == kJobFinished || !s.msg.empty()) {
        const std::string line = messageFirstLine(s.msg);
        if (!line.empty()) {
            st.kind = StatusKind::Message;
            st.text = line + "  ← 悬停看明细";
            st.tooltip = s.msg;
            return st;
        }
    }
    std::snprintf(buf, sizeof buf, "共 %d | 待处理 %d | 已匹配 %d | 无匹配 %d", s.total, s.pending, s.confirmed,
                  s.unmatched);
    st.kind = StatusKind::Counts;
    st.text = buf;
    st.warn = false;
    return st;
}
