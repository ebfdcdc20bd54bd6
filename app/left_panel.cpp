// The upper part of LeftPanel: the mode switch, the options, and the start-button row with the
// buttons, popups and polling of the jobs they start (network match in steam/network_match.*,
// library match in match/library_match.*, download in steam/download.*, folder match and copy
// in match/folder_match.*).
#include <imgui.h>

#include "app/folder_picker.h"
#include "app/panels.h"
#include "app/popups.h"
#include "data/jobs.h"
#include "match/folder_match.h"
#include "match/library_match.h"
#include "steam/download.h"
#include "steam/network_match.h"

namespace {

bool gShowLibrarySummary = false;  // frame thread only

void modeButton(const char* label, PanelOptions& o, int32_t mode) {
    const bool current = o.matchMode == mode;
    if (current) {
        ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.2f, 0.5f, 0.85f, 1.0f));
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.3f, 0.6f, 0.95f, 1.0f));
    }
    if (ImGui::Button(label, ImVec2(120, 28))) o.matchMode = mode;
    if (current) ImGui::PopStyleColor(2);
}

void drawSourceRow(PanelOptions& o) {
    if (o.matchMode == 0) {
        static const char* const SOURCES[] = {"Steam"};
        ImGui::TextUnformatted("数据源:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(160);
        ImGui::Combo("##source", &o.dataSource, SOURCES, IM_ARRAYSIZE(SOURCES));
        ImGui::BeginChild("SteamCopy", ImVec2(0, 45), false);
        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.5f, 0.5f, 0.5f, 0.7f));
        ImGui::TextWrapped(
            "%s 2026 Valve Corporation. Steam and the Steam logo are trademarks and/or registered trademarks of "
            "Valve Corporation in the U.S. and/or other countries.",
            "\xC2\xA9");
        ImGui::PopStyleColor();
        ImGui::EndChild();
    } else {
        ImGui::TextUnformatted("资源目录:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(220);
        ImGui::InputText("##localdir", o.localDir, sizeof o.localDir);
        ImGui::SameLine();
        if (ImGui::Button("浏览...", ImVec2(60, 0))) openFolderPicker(o.localDir, sizeof o.localDir);
        drawFolderPicker();
    }
}

void drawImageOptions(PanelOptions& o) {
    ImGui::BeginChild("OptImg", ImVec2(0, 95), false);
    ImGui::Checkbox("匹配图片", &o.matchImages);
    if (o.matchImages) {
        ImGui::Indent(20);
        ImGui::TextUnformatted("图片类型:");
        ImGui::SameLine();
        ImGui::Checkbox("jpg", &o.imgTypeJpg);
        ImGui::SameLine();
        ImGui::Checkbox("png", &o.imgTypePng);
        ImGui::SameLine();
        ImGui::Checkbox("bmp", &o.imgTypeBmp);
        ImGui::SameLine();
        ImGui::Checkbox("webp", &o.imgTypeWebp);
        ImGui::SameLine();
        ImGui::Checkbox("avif", &o.imgTypeAvif);
        ImGui::SameLine();
        ImGui::Checkbox("gif", &o.imgTypeGif);
        static const char* const LIMITS[] = {"不限", "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10",
                                             "11",   "12", "13", "14", "15", "16", "17", "18", "19", "20"};
        ImGui::TextUnformatted("最大下载图片数:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(60);
        ImGui::Combo("##imglimit", &o.imageLimitIndex, LIMITS, IM_ARRAYSIZE(LIMITS));
        ImGui::Unindent(20);
    }
    ImGui::EndChild();
}

void drawHandlingOptions(PanelOptions& o) {
    ImGui::TextUnformatted("已有资源处理:");
    ImGui::SameLine();
    ImGui::RadioButton("忽略##exist", &o.existingResourceMode, 0);
    ImGui::SameLine();
    ImGui::RadioButton("覆盖##exist", &o.existingResourceMode, 1);
    ImGui::SameLine(0, 16);
    ImGui::TextUnformatted("已有匹配处理:");
    ImGui::SameLine();
    ImGui::RadioButton("忽略##match", &o.existingMatchMode, 0);
    ImGui::SameLine();
    ImGui::RadioButton("覆盖##match", &o.existingMatchMode, 1);

    static const char* const THRESHOLDS[] = {"相似度大于30%", "相似度大于40%", "相似度大于50%", "相似度大于60%",
                                             "相似度大于70%", "相似度大于80%", "相似度大于90%"};
    ImGui::Dummy(ImVec2(16, 0));
    ImGui::SameLine(0, 0);
    ImGui::TextUnformatted("显示匹配相似度:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(160);
    ImGui::Combo("##simThreshold", &o.simThresholdIndex, THRESHOLDS, IM_ARRAYSIZE(THRESHOLDS));
    ImGui::SameLine(0, 16);
    ImGui::Checkbox("智能清洗标题", &o.cleanTitles);
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("匹配前去掉标题里的版本号、修改器/汉化/补丁等字样、发布组标签和括号注释，"
                          "繁体字转为简体，中英文部分分别比对；网络匹配用清洗后的标题搜索。");
}

// The summary popup of the local library match, opened when the job ends (both modes).
void drawLibraryMatchSummary() {
    drawOkPopup("本地库匹配结果##libsum", gShowLibrarySummary, gMatchDebug, gMatchMsgMtx);
}

}  // namespace

void drawModeAndOptions(PanelOptions& o) {
    modeButton("网络匹配", o, 0);
    ImGui::SameLine();
    modeButton("本地匹配", o, 1);
    drawSourceRow(o);
    ImGui::Separator();
    drawImageOptions(o);
    drawHandlingOptions(o);
}

void drawStartButtons(PanelOptions& o) {
    ImGui::Separator();
    if (o.matchMode == 0) {
        drawNetworkMatchButton(o);
        ImGui::SameLine(0, 10);
        drawLibraryMatchButton(o);
        ImGui::SameLine(0, 20);
        drawDownloadButton(o);
        drawLookupDialogs();
    } else {
        drawLocalFolderButtons(o);
    }
    drawLibraryMatchSummary();
}

// The start messages of the library match go to the popup "网络匹配##m" as well.
void drawNetworkMatchButton(const PanelOptions& opts) {
    if (gMatchState.load() != kJobRunning) {
        if (ImGui::Button("Steam匹配", ImVec2(100, 28))) startNetworkMatch(opts);
    } else {
        if (ImGui::Button("取消匹配", ImVec2(100, 28))) cancelNetworkMatch();
    }
    drawOkPopup("网络匹配##m", gMatchShowModal, gMatchMsg, gMatchMsgMtx);
}

void pollNetworkMatch() { pollNetworkMatchJob(); }

void drawLibraryMatchButton(const PanelOptions& opts) {
    if (ImGui::Button("本地库匹配", ImVec2(110, 28))) startLibraryMatch(opts);
}

void pollLibraryMatch() {
    if (gLibraryMatchFinished.exchange(false)) gShowLibrarySummary = true;
}

// Placed on the start-button line (after 本地库匹配 and a 20-pixel gap). Validation messages land
// in gDlMsg, which the status line shows.
void drawDownloadButton(const PanelOptions& opts) {
    if (gDlState.load() != kJobRunning) {
        if (ImGui::Button("下载资源")) startDownloadJob(opts);
        return;
    }
    ImGui::BeginDisabled(gDlCancel.load());
    if (ImGui::Button("取消下载")) cancelDownloadJob();
    ImGui::EndDisabled();
}

void pollDownload() { pollDownloadJob(); }

void drawLocalFolderButtons(const PanelOptions& opts) {
    bool open = false;
    if (ImGui::Button("开始匹配", ImVec2(100, 28))) {
        localFolderMatch(opts);
        open = true;
    }
    ImGui::SameLine();
    if (ImGui::Button("复制资源", ImVec2(100, 28))) {
        copyLocalResources(opts);
        open = true;
    }
    drawOkPopup("本地匹配##local", open, gMatchMsg, gMatchMsgMtx);
}
