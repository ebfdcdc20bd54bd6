#include "app/popups.h"

#include <imgui.h>

void drawOkPopup(const char* id, bool& open, const std::string& text, std::mutex& mtx) {
    if (open) {
        ImGui::OpenPopup(id);
        open = false;
    }
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    std::string copy;
    {
        std::lock_guard<std::mutex> lk(mtx);
        copy = text;
    }
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 32.0f);
    ImGui::TextUnformatted(copy.c_str());
    ImGui::PopTextWrapPos();
    ImGui::Separator();
    if (ImGui::Button("确定", ImVec2(120, 0))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}
