// "Steam匹配" / "取消匹配" and the message popup "网络匹配##m"; the job itself is in
// steam/network_match.*.
#include "app/panels.h"

#include "data/jobs.h"
#include "steam/network_match.h"

#include <imgui.h>

#include <string>

namespace {

void drawMatchMessagePopup() {
    if (gMatchShowModal) {
        ImGui::OpenPopup("网络匹配##m");
        gMatchShowModal = false;
    }
    if (!ImGui::BeginPopupModal("网络匹配##m", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    std::string msg;
    {
        std::lock_guard<std::mutex> lk(gMatchMsgMtx);
        msg = gMatchMsg;
    }
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 32.0f);
    ImGui::TextUnformatted(msg.c_str());
    ImGui::PopTextWrapPos();
    ImGui::Separator();
    if (ImGui::Button("确定", ImVec2(120, 0))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

}  // namespace

void drawNetworkMatchButton(const PanelOptions& opts) {
    if (gMatchState.load() != 1) {
        if (ImGui::Button("Steam匹配", ImVec2(100, 28))) startNetworkMatch(opts);
    } else {
        if (ImGui::Button("取消匹配", ImVec2(100, 28))) cancelNetworkMatch();
    }
    drawMatchMessagePopup();
}

void pollNetworkMatch() { pollNetworkMatchJob(); }
