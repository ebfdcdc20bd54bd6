// The right panel's AI controls: whitelist, provider/model/key, the request buttons with
// their result popup, scope and write mode, and the prompt/answer buttons with the
// analysis and write-back popups. The handlers live in ai/.
#include "app/panels.h"

#include <imgui.h>

#include <cstring>
#include <string>
#include <vector>

#include "ai/analysis.h"
#include "ai/chat.h"
#include "ai/requests.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/paths.h"

namespace {

// Panel state for the window's life; nothing here is ever saved. The key stays in this
// buffer and in the request job's own copy only.
struct AiPanelState {
    int32_t catIdx = 0;
    int32_t api = 0;
    int32_t modelRow = 0;
    char key[256] = {0};
    int32_t scope = 0;      // 0 全部游戏, 1 未分类游戏
    int32_t writeMode = 0;  // 0 覆盖, 1 追加
    bool openGen = false;
    bool openAnalyze = false;
    bool openWrite = false;
    AnalysisCounts analysis;
    WriteBackCounts write;
};

AiPanelState gPanel;

const ImVec4 kTitleColor(0.4f, 0.7f, 1.0f, 1.0f);

void drawWhitelistRow() {
    ImGui::TextColored(kTitleColor, "AI分类补全");
    ImGui::SameLine();
    ImGui::Dummy(ImVec2(20, 0));
    ImGui::SameLine();
    ImGui::TextUnformatted("现有分类:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(200);
    if (gCategoryList.empty()) {
        ImGui::BeginDisabled();
        if (ImGui::BeginCombo("##catlist", "(未读取)")) ImGui::EndCombo();
        ImGui::EndDisabled();
        return;
    }
    if (gPanel.catIdx < 0 || gPanel.catIdx >= static_cast<int32_t>(gCategoryList.size())) gPanel.catIdx = 0;
    if (ImGui::BeginCombo("##catlist", gCategoryList[gPanel.catIdx].c_str())) {
        for (int32_t i = 0; i < static_cast<int32_t>(gCategoryList.size()); ++i) {
            ImGui::PushID(i);
            if (ImGui::Selectable(gCategoryList[i].c_str(), i == gPanel.catIdx)) gPanel.catIdx = i;
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
}

void drawProviderRow() {
    ImGui::TextUnformatted("自有API密钥:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(85);
    if (ImGui::BeginCombo("##aiapi", kAiProviders[gPanel.api].label)) {
        for (int32_t i = 0; i < kAiProviderCount; ++i) {
            if (ImGui::Selectable(kAiProviders[i].label, i == gPanel.api) && i != gPanel.api) {
                gPanel.api = i;
                gPanel.modelRow = 0;
            }
        }
        ImGui::EndCombo();
    }
    ImGui::SameLine();
    ImGui::TextUnformatted("模型:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(150);
    const AiModel* models = kModelsByApi[gPanel.api];
    if (ImGui::BeginCombo("##aimodel", models[gPanel.modelRow].label)) {
        for (int32_t i = 0; i < kModelsCountByApi[gPanel.api]; ++i)
            if (ImGui::Selectable(models[i].label, i == gPanel.modelRow)) gPanel.modelRow = i;
        ImGui::EndCombo();
    }
    ImGui::SameLine();
    ImGui::TextUnformatted("密钥:");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(120);
    ImGui::InputText("##apikey", gPanel.key, sizeof gPanel.key, ImGuiInputTextFlags_Password);
}

void drawRequestButtons() {
    const bool running = gAiState.load() == kJobRunning;
    const int32_t caller = gAiCaller.load();
    const std::string key(gPanel.key);
    ImGui::BeginDisabled(running);
    if (ImGui::Button("测试", ImVec2(50, 28)))
        gPanel.openGen |= onTestConnection(gPanel.api, gPanel.modelRow, key);
    ImGui::SameLine();
    if (ImGui::Button(running && caller == kAiCallerGames ? "请求中..." : "生成结果", ImVec2(90, 28)))
        gPanel.openGen |= onGenerateFromGames(gPanel.scope, gPanel.api, gPanel.modelRow, key);
    ImGui::SameLine();
    if (ImGui::Button(running && caller == kAiCallerBox ? "请求中...##btn2" : "用文本框提示词生成结果",
                      ImVec2(180, 28)))
        gPanel.openGen |= onGenerateFromBox(aiPromptText, gPanel.api, gPanel.modelRow, key);
    ImGui::EndDisabled();
}

void drawPopupLines(const std::vector<PopupLine>& lines) {
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 32.0f);
    for (const PopupLine& l : lines) {
        if (l.colored) ImGui::TextColored(ImVec4(l.r, l.g, l.b, l.a), "%s", l.text.c_str());
        else ImGui::TextUnformatted(l.text.c_str());
    }
    ImGui::PopTextWrapPos();
}

void endPopupWithOk() {
    ImGui::Separator();
    if (ImGui::Button("确定", ImVec2(120, 0))) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void drawGenPopup() {
    if (gPanel.openGen) {
        ImGui::OpenPopup("生成结果##gen");
        gPanel.openGen = false;
    }
    if (!ImGui::BeginPopupModal("生成结果##gen", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 32.0f);
    if (gGenOk) {
        ImGui::TextColored(ImVec4(0.3f, 1.0f, 0.3f, 1.0f), "%s", gGenMsg.c_str());
    } else {
        ImGui::TextColored(ImVec4(1.0f, 0.3f, 0.3f, 1.0f), "调用失败：");
        ImGui::TextUnformatted(gGenMsg.c_str());
    }
    ImGui::PopTextWrapPos();
    endPopupWithOk();
}

void drawScopeAndModeRow() {
    ImGui::Spacing();
    ImGui::TextUnformatted("范围:");
    ImGui::SameLine();
    ImGui::RadioButton("全部游戏", &gPanel.scope, 0);
    ImGui::SameLine();
    ImGui::RadioButton("未分类游戏", &gPanel.scope, 1);
    ImGui::SameLine();
    ImGui::TextUnformatted("   写入方式:");
    ImGui::SameLine();
    ImGui::RadioButton("覆盖", &gPanel.writeMode, 0);
    ImGui::SameLine();
    ImGui::RadioButton("追加", &gPanel.writeMode, 1);
}

void drawPromptButtons() {
    ImGui::Separator();
    if (ImGui::Button("生成AI提示词", ImVec2(0, 28)))
        setPromptBoxText(aiPromptText, sizeof aiPromptText, promptTextForBox(gPanel.scope));
    ImGui::SameLine();
    if (ImGui::Button("复制AI提示词", ImVec2(0, 28))) copyPromptBox(aiPromptText);
    ImGui::SameLine();
    if (ImGui::Button("粘贴AI结果", ImVec2(100, 28)))
        gPanel.openGen |= pasteIntoPromptBox(aiPromptText, sizeof aiPromptText, readFromClipboard());
    ImGui::SameLine();
    if (ImGui::Button("分析AI结果", ImVec2(100, 28))) {
        gPanel.analysis = analyzeAiAnswer(aiPromptText);
        gPanel.openAnalyze = true;
    }
    ImGui::SameLine();
    if (ImGui::Button("写入数据库", ImVec2(100, 28))) {
        gPanel.write = writeBackPreviews(gPanel.writeMode);
        gPanel.openWrite = true;
    }
}

void drawResultPopup(const char* id, bool& open, const std::vector<PopupLine>& lines) {
    if (open) {
        ImGui::OpenPopup(id);
        open = false;
    }
    if (!ImGui::BeginPopupModal(id, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    drawPopupLines(lines);
    endPopupWithOk();
}

}  // namespace

void drawAiPanel() {
    drawWhitelistRow();
    ImGui::Separator();
    drawProviderRow();
    drawRequestButtons();
    drawGenPopup();
    drawScopeAndModeRow();
    drawPromptButtons();
    drawResultPopup("分析结果##analyze", gPanel.openAnalyze, analysisPopupLines(gPanel.analysis));
    drawResultPopup("写入结果##write", gPanel.openWrite, writePopupLines(gPanel.write));
}

// Runs before the panels are drawn; the popup itself opens inside the panel's ID scope.
void pollAi() { gPanel.openGen |= collectAiRequest(aiPromptText, sizeof aiPromptText); }
