#include <imgui.h>

#include "app/panels.h"
#include "data/jobs.h"
#include "steam/download.h"

// The caller places the button on the start-button line (after 本地库匹配 and a 20-pixel gap).
// Validation messages land in gDlMsg, which the status line shows.
void drawDownloadButton(const PanelOptions& opts) {
    if (gDlState.load() != 1) {
        if (ImGui::Button("下载资源")) startDownloadJob(opts);
        return;
    }
    ImGui::BeginDisabled(gDlCancel.load());
    if (ImGui::Button("取消下载")) cancelDownloadJob();
    ImGui::EndDisabled();
}

void pollDownload() { pollDownloadJob(); }
