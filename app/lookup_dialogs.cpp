// The two manual lookup dialogs "输入游戏名查询##dqn" and "输入Steam游戏编号查询##dqa";
// their handlers and threads are in steam/lookup.*.
#include "app/panels.h"

#include "data/jobs.h"
#include "steam/lookup.h"

#include <imgui.h>

#include <string>

namespace {

// One of the two dialogs: its popup, its text field and the lookup its "确定" starts. The
// buffers and the open requests are the lookup's globals (steam/lookup.h), set by the table's
// context menu.
struct LookupDialog {
    const char* popupId;
    const char* prompt;
    const char* fieldId;
    float fieldWidth;
    ImGuiInputTextFlags fieldFlags;
    char* field;
    size_t fieldSize;
    bool* openRequest;
    bool (*confirm)();
};

const LookupDialog kLookupDialogs[] = {
    {"输入游戏名查询##dqn", "在 Steam 上搜索游戏名：", "##qnBox", 420, 0, gDlgInputName, sizeof gDlgInputName,
     &gOpenDlgQueryByName, confirmLookupByName},
    {"输入Steam游戏编号查询##dqa", "请输入 Steam 游戏编号 (appid)：", "##qaBox", 200, ImGuiInputTextFlags_CharsDecimal,
     gDlgInputAppid, sizeof gDlgInputAppid, &gOpenDlgQueryByAppid, confirmLookupByAppid},
};

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
    for (const LookupDialog& d : kLookupDialogs) {
        if (!*d.openRequest) continue;
        ImGui::OpenPopup(d.popupId);
        *d.openRequest = false;
    }
    for (const LookupDialog& d : kLookupDialogs) {
        if (!ImGui::BeginPopupModal(d.popupId, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) continue;
        ImGui::TextUnformatted(d.prompt);
        ImGui::SetNextItemWidth(d.fieldWidth);
        ImGui::InputText(d.fieldId, d.field, d.fieldSize, d.fieldFlags);
        drawStatusAndButtons(d.confirm);
        ImGui::EndPopup();
    }
    gLookupCloseRequested = false;
}

void pollLookup() {
    if (collectLookup()) gLookupCloseRequested = true;
}
