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
        auto it = std::find_if(games.begin(), games.end(), [&](const GameInfo& g) { return g.name == r.name; });
        if (it == games.end()) continue;
        scanMediaCounts(*it);
        if (r.status == kDlComplete) {
            it->downloadState = kRowDownloaded;
            it->ticked = false;
        } else if (r.status == kDlPartial) {
            it->downloadState = kRowPartial;
        } else {
            it->downloadState = kRowDownloadFailed;
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
    s.fileIdx = gDlFileIdx.load();
    s.fileCount = gDlFileCount.load();
    s.bytesDone = gDlFileBytesDone.load();
    s.bytesTotal = gDlFileBytesTotal.load();
    {
        std::lock_guard<std::mutex> lk(gDlMtx);
        s.curGame = gDlCurGame;
        s.msg = gDlMsg;
        s.fileName = gDlFileName;
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
        const std::string done = formatByteSize(s.bytesDone);
        char buf[512];
        if (s.bytesTotal > 0) {
            v.fraction = std::min(static_cast<float>(static_cast<double>(s.bytesDone) / static_cast<double>(s.bytesTotal)), 1.0f);
            std::snprintf(buf, sizeof buf, "%s  %s/%s (%.0f%%)", s.fileName.empty() ? "..." : s.fileName.c_str(),
                          done.c_str(), formatByteSize(s.bytesTotal).c_str(), static_cast<double>(v.fraction) * 100.0);
        } else {
            v.fraction = 0.0f;
            std::snprintf(buf, sizeof buf, "%s  %s", s.fileName.empty() ? "下载中..." : s.fileName.c_str(), done.c_str());
        }
        v.overlay = buf;
    } else if (s.dlState == kJobFinished && s.dlTotal > 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "完成 %d / %d", s.dlTotal, s.dlTotal);
        v.overlay = buf;
        v.fraction = 1.0f;
    }
    v.overlay = utf8Prefix(v.overlay, 95);
    return v;
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
        const int32_t current = std::min(s.dlDone + s.dlPartial + s.dlFail + 1, s.dlTotal);
        std::snprintf(buf, sizeof buf, "%d/%d 当前:%s  文件:%d/%d  完整:%d 不全:%d 失败:%d", current, s.dlTotal,
                      s.curGame.empty() ? "-" : s.curGame.c_str(), s.fileIdx, s.fileCount, s.dlDone, s.dlPartial,
                      s.dlFail);
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
