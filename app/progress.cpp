#include "app/progress.h"

#include "app/progress_logic.h"
#include "data/game.h"
#include "data/jobs.h"

#include <imgui.h>

#include <cmath>

void mergePendingDownloadResults() {
    const std::vector<DlBatchItem> results = takeDownloadResults();
    if (!results.empty()) mergeDownloadResults(dummyGames, results);
}

void drawProgressArea(float width) {
    const ProgressSnapshot snap = takeProgressSnapshot();
    const ProgressView view = progressView(snap);
    ImGui::ProgressBar(view.fraction, ImVec2(0.55f * width, 20), view.overlay.empty() ? "" : view.overlay.c_str());
    ImGui::SameLine();

    const StatusLine st = statusLine(snap);
    const ImVec4 WARN(1.0f, 0.7f, 0.3f, 1.0f);
    switch (st.kind) {
        case StatusKind::Download:
            ImGui::TextColored(st.warn ? WARN : ImVec4(0.4f, 0.9f, 0.4f, 1.0f), "%s", st.text.c_str());
            break;
        case StatusKind::Message:
            ImGui::TextColored(st.warn ? WARN : ImVec4(0.5f, 0.9f, 1.0f, 1.0f), "%s", st.text.c_str());
            break;
        case StatusKind::Counts:
            ImGui::TextUnformatted(st.text.c_str());
            break;
    }
    if (!st.tooltip.empty() && ImGui::IsItemHovered()) {
        ImGui::BeginTooltip();
        ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + 600.0f);
        ImGui::TextUnformatted(st.tooltip.c_str());
        ImGui::PopTextWrapPos();
        ImGui::EndTooltip();
    }
}

void drawWaitDialog(float& anim, float dt) {
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f - 175.0f, display.y * 0.5f - 70.0f), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(350, 140), ImGuiCond_Always);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                                   ImGuiWindowFlags_NoSavedSettings;
    if (ImGui::Begin("##WaitDialog", nullptr, flags)) {
        // title and message are written by the frame thread before active is set.
        ImGui::TextColored(ImVec4(0.4f, 0.7f, 1.0f, 1.0f), "%s", gWaitState.title.c_str());
        ImGui::Dummy(ImVec2(0, 10));
        ImGui::TextWrapped("%s", gWaitState.message.c_str());
        ImGui::Dummy(ImVec2(0, 10));

        anim += 3.0f * dt;
        const ImVec2 p = ImGui::GetCursorScreenPos();
        const ImVec2 c(p.x + 160.0f, p.y + 10.0f);
        ImDrawList* dl = ImGui::GetWindowDrawList();
        for (int i = 0; i < 8; ++i) {
            const float a = static_cast<float>(i) * 0.785f + anim;
            const float ca = std::cos(a), sa = std::sin(a);
            const int alpha = static_cast<int>(100.0f + 155.0f * (0.5f + 0.5f * std::cos(2.0f * a)));
            dl->AddLine(ImVec2(c.x + 12.0f * ca, c.y + 12.0f * sa), ImVec2(c.x + 18.0f * ca, c.y + 18.0f * sa),
                        IM_COL32(150, 150, 150, alpha), 2.5f);
        }
        if (std::atomic<bool>* cancel = gWaitState.cancel) {
            ImGui::SetCursorPos(ImVec2(350.0f - 90.0f, 140.0f - 36.0f));
            ImGui::BeginDisabled(cancel->load());
            if (ImGui::Button("取消##wait", ImVec2(80, 26))) cancel->store(true);
            ImGui::EndDisabled();
        }
    }
    ImGui::End();
}
