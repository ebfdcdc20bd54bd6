// "Steam匹配" / "取消匹配" and the message popup "网络匹配##m"; the job itself is in
// steam/network_match.*.
#include "app/panels.h"
#include "app/popups.h"

#include "data/jobs.h"
#include "steam/network_match.h"

#include <imgui.h>

#include <string>

namespace {

void drawMatchMessagePopup() {
    drawOkPopup("网络匹配##m", gMatchShowModal, gMatchMsg, gMatchMsgMtx);
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
