// The progress bar and status line as data: the download results merged into the list,
// the overlay text and fraction, and the status line's text, colour and tooltip.
#pragma once
#include "data/game.h"
#include "data/jobs.h"

#include <cstdint>
#include <string>
#include <vector>

// Takes every unmerged download result (leaving gDlResults empty) when gDlResultReady is set.
std::vector<DlBatchItem> takeDownloadResults();
// Each result goes to every row whose name is byte-equal to it (they share one folder): media recounted,
// kRowDownloaded/kRowPartial/kRowDownloadFailed for kDlComplete/kDlPartial/other, a complete download unticks the row.
void mergeDownloadResults(std::vector<GameInfo>& games, const std::vector<DlBatchItem>& results);

// One frame's copy of the job globals the bottom line shows.
struct ProgressSnapshot {
    int32_t dlState = 0, dlDone = 0, dlTotal = 0, dlFail = 0, dlPartial = 0;
    int32_t filesDone = 0, filesKnown = 0, gamesKnown = 0;
    int32_t transfers = 0;                // in flight
    int64_t bytesDone = 0, bytesTotal = 0;  // of the transfers in flight; total 0 unless all announced one
    std::string curGame, msg;
    float progress = 0.0f;
    std::string progressText;
    int32_t total = 0, pending = 0, confirmed = 0, unmatched = 0;
};
ProgressSnapshot takeProgressSnapshot();

struct ProgressView {
    float fraction = 0.0f;
    std::string overlay;  // at most 95 bytes; empty = no text
};
ProgressView progressView(const ProgressSnapshot& s);

// The download's fraction done: files done over files expected, where a game whose store
// details have not come yet is expected to hold as many as the known games on average.
float downloadFraction(const ProgressSnapshot& s);

enum class StatusKind { Download, Message, Counts };
struct StatusLine {
    StatusKind kind = StatusKind::Counts;
    std::string text;
    bool warn = false;     // partial or failed downloads: drawn in orange
    std::string tooltip;   // shown on hover when not empty
};
StatusLine statusLine(const ProgressSnapshot& s);

// First line of a message, cut to 200 bytes plus "..." when longer.
std::string messageFirstLine(const std::string& msg);
