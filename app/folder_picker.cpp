// The folder picker behind "浏览...": the desktop's dialog (folder_picker_posix.cpp) when there
// is one, otherwise the folder browser drawn in the window.
#include "app/folder_picker.h"

#include <imgui.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/utf8.h"

namespace fs = std::filesystem;

std::string browserStartFolder(const std::string& fieldText) {
    std::error_code ec;
    if (!fieldText.empty() && fieldText.front() == '/' && fs::is_directory(fieldText, ec)) {
        std::string d = fs::path(fieldText).lexically_normal().string();
        if (d.size() > 1 && d.back() == '/') d.pop_back();
        return d;
    }
    if (const char* home = std::getenv("HOME"); home && *home && fs::is_directory(home, ec)) return home;
    return "/";
}

std::string parentFolder(const std::string& dir) {
    if (dir.empty() || dir == "/") return "/";
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    const size_t slash = d.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return d.substr(0, slash);
}

std::string childFolder(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::vector<std::string> listSubfolders(const std::string& dir, std::string& error) {
    error.clear();
    std::vector<std::string> out;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code ec2;
        if (it->is_directory(ec2)) out.push_back(name);
    }
    if (ec) error = ec.message();
    std::sort(out.begin(), out.end());
    return out;
}

void copyPathToBuffer(const std::string& path, char* buf, size_t size) {
    if (size == 0) return;
    const std::string cut = utf8Prefix(path, size - 1);
    std::memcpy(buf, cut.data(), cut.size());
    buf[cut.size()] = '\0';
}

namespace {

struct BrowserState {
    bool requested = false;
    char* target = nullptr;
    size_t targetSize = 0;
    std::string dir;
    std::vector<std::string> subfolders;
    std::string error;
    int selected = -1;
};
BrowserState gBrowser;  // frame thread only

void browseTo(const std::string& dir) {
    gBrowser.dir = dir;
    gBrowser.subfolders = listSubfolders(dir, gBrowser.error);
    gBrowser.selected = -1;
}

}  // namespace

void openFolderPicker(char* buf, size_t size) {
    const std::string current(buf, strnlen(buf, size));
    std::string chosen;
    if (runSystemFolderDialog("选择资源目录", current, chosen)) {
        if (!chosen.empty()) copyPathToBuffer(chosen, buf, size);
        return;
    }
    gBrowser.requested = true;
    gBrowser.target = buf;
    gBrowser.targetSize = size;
    browseTo(browserStartFolder(current));
}

void drawFolderPicker() {
    if (gBrowser.requested) {
        ImGui::OpenPopup("选择资源目录##picker");
        gBrowser.requested = false;
    }
    ImGui::SetNextWindowSize(ImVec2(520, 420), ImGuiCond_Appearing);
    if (!ImGui::BeginPopupModal("选择资源目录##picker", nullptr, 0)) return;
    ImGui::TextUnformatted(gBrowser.dir.c_str());
    if (ImGui::Button("上一级")) browseTo(parentFolder(gBrowser.dir));
    ImGui::SameLine();
    if (ImGui::Button("主目录")) browseTo(browserStartFolder(std::string()));
    if (!gBrowser.error.empty()) ImGui::TextColored(ImVec4(1.0f, 0.5f, 0.4f, 1.0f), "无法读取: %s", gBrowser.error.c_str());
    ImGui::BeginChild("##pickerlist", ImVec2(0, -ImGui::GetFrameHeightWithSpacing() - 4), true);
    std::string enter;
    for (int i = 0; i < static_cast<int>(gBrowser.subfolders.size()); ++i) {
        const std::string& name = gBrowser.subfolders[static_cast<size_t>(i)];
        ImGui::PushID(i);
        if (ImGui::Selectable(name.c_str(), gBrowser.selected == i, ImGuiSelectableFlags_AllowDoubleClick)) {
            gBrowser.selected = i;
            if (ImGui::IsMouseDoubleClicked(0)) enter = name;
        }
        ImGui::PopID();
    }
    ImGui::EndChild();
    if (!enter.empty()) browseTo(childFolder(gBrowser.dir, enter));
    const bool hasSel = gBrowser.selected >= 0 && gBrowser.selected < static_cast<int>(gBrowser.subfolders.size());
    if (ImGui::Button("选择", ImVec2(100, 0))) {
        const std::string pick =
            hasSel ? childFolder(gBrowser.dir, gBrowser.subfolders[static_cast<size_t>(gBrowser.selected)]) : gBrowser.dir;
        if (gBrowser.target) copyPathToBuffer(pick, gBrowser.target, gBrowser.targetSize);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("取消", ImVec2(100, 0))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}
