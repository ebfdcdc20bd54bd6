// "本地库匹配": the start button, and the run's summary shown when the job ends. The job itself
// is in match/library_match.*; its start messages go to the popup "网络匹配##m".
#include <imgui.h>

#include <mutex>
#include <string>

#include "app/local_ui.h"
#include "app/panels.h"
#include "app/popups.h"
#include "data/jobs.h"
#include "match/library_match.h"

namespace {
bool gShowLibrarySummary = false;  // frame thread only
}

void drawLibraryMatchButton(const PanelOptions& opts) {
    if (ImGui::Button("本地库匹配", ImVec2(110, 28))) startLibraryMatch(opts);
}

void pollLibraryMatch() {
    if (gLibraryMatchFinished.exchange(false)) gShowLibrarySummary = true;
}

void drawLibraryMatchSummary() {
    drawOkPopup("本地库匹配结果##libsum", gShowLibrarySummary, gMatchDebug, gMatchMsgMtx);
}
