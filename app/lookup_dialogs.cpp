// The two manual lookup dialogs "输入游戏名查询##dqn" and "输入Steam游戏编号查询##dqa";
// their handlers and threads are in steam/lookup.*.
#include "app/panels.h"

#include "data/jobs.h"
#include "steam/lookup.h"

#include <imgui.h>

#include <string>

namespace {

// Set when a finished lookup was collected; the open dialog closes on its next drawing
// (which waits while the panel shows local mode).
bool gLookupCloseRequested = false;

void drawStatusAndButtons(bool (*confirm)()) {
    const std::string status = dlgStatusCopy();
    if (!status.empty()) ImGui::TextColored(ImVec4(1, 1, 0, 1), "%s", status.c_str());
    ImGui::Separator();
    ImGui::BeginDisabled(gDlgRunning.load());
    if (ImGui::Button("确定", ImVec2(100, 0))) confirm();
    ImGui::SameLine();
    if (ImGui::Button("取消", ImVec2(100, 0))) {
        cancelLookupDialog();
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndDisabled();
    if (gLookupCloseRequested) ImGui::CloseCurrentPopup();
}

}  // namespace

void drawLookupDialogs() {
    if (gOpenDlgQueryByName) {
        ImGui::OpenPopup("输入游戏名查询##dqn");
        gOpenDlgQueryByName = false;
    }
    if (gOpenDlgQueryByAppid) {
        ImGui::OpenPopup("输入Steam游戏编号查询##dqa");
        gOpenDlgQueryByAppid = false;
    }
    if (ImGui::BeginPopupModal("输入游戏名查询##dqn", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("在 Steam 上搜索游戏名：");
        ImGui::SetNextItemWidth(420);
        ImGui::InputText("##qnBox", gDlgInputName, sizeof gDlgInputName);
        drawStatusAndButtons(confirmLookupByName);
        ImGui::EndPopup();
    }
    if (ImGui::BeginPopupModal("输入Steam游戏编号查询##dqa", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::TextUnformatted("请输入 Steam 游戏编号 (appid)：");
        ImGui::SetNextItemWidth(200);
        ImGui::InputText("##qaBox", gDlgInputAppid, sizeof gDlgInputAppid, ImGuiInputTextFlags_CharsDecimal);
        drawStatusAndButtons(confirmLookupByAppid);
        ImGui::EndPopup();
    }
    gLookupCloseRequested = false;
}

void pollLookup() {
    if (collectLookup()) gLookupCloseRequested = true;
}
