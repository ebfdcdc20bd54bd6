#include "app/table.h"

#include "app/preview.h"
#include "app/progress.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/utf8.h"
#include "steam/lookup.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <mutex>

int32_t gHlRow = -1;
int32_t gRightDownRow = -1;
int32_t g_lastClickedRow = -1;
SortRequest gTableSort;

namespace {

// Row whose context menu is open; its popup is submitted after the visible rows so it
// stays open while the row is scrolled out of view.
int32_t gCtxRow = -1;

enum class CtxAction { None, QueryByName, QueryByAppid };

struct ColumnDef {
    const char* header;
    bool stretch;
    float widthOrWeight;
    int keyId;
};

constexpr ColumnDef kColumns[11] = {
    {"✓", false, 28, kSortTick},          {"序号", false, 42, kSortId},
    {"游戏名称", true, 2.0f, kSortName},   {"图片", false, 46, kSortImages},
    {"简介", false, 46, kSortTexts},       {"分类", true, 1.0f, kSortCategory},
    {"匹配方式", false, 80, kSortMethod},  {"匹配游戏名称", true, 1.8f, kSortMatchedName},
    {"SteamID", false, 80, kSortAppid},    {"匹配相似度", false, 90, kSortSimilarity},
    {"AI分类预览", true, 1.6f, kSortAiPreview},
};

void setupColumns() {
    for (int i = 0; i < 11; ++i) {
        const ColumnDef& c = kColumns[i];
        ImGuiTableColumnFlags f = c.stretch ? ImGuiTableColumnFlags_WidthStretch : ImGuiTableColumnFlags_WidthFixed;
        if (i == 0) f |= ImGuiTableColumnFlags_NoSort;
        ImGui::TableSetupColumn(c.header, f, c.widthOrWeight, static_cast<ImGuiID>(c.keyId));
    }
    ImGui::TableSetupScrollFreeze(0, 1);
}

// Copies changed sort specs (ImGui's sort request) into gTableSort; it is applied when allowed.
void readSortSpecs() {
    ImGuiTableSortSpecs* specs = ImGui::TableGetSortSpecs();
    if (!specs || !specs->SpecsDirty) return;
    gTableSort.pending = true;
    gTableSort.any = specs->SpecsCount > 0;
    if (gTableSort.any) {
        gTableSort.keyId = static_cast<int>(specs->Specs[0].ColumnUserID);
        gTableSort.descending = specs->Specs[0].SortDirection == ImGuiSortDirection_Descending;
    }
    specs->SpecsDirty = false;
}

void setRowColours(const GameInfo& g, int32_t r) {
    ImU32 bg0 = IM_COL32(220, 120, 120, 60);
    if (g.similarity >= 0.95f) bg0 = IM_COL32(140, 220, 140, 60);
    else if (g.similarity > 0.0f) bg0 = IM_COL32(240, 220, 100, 60);
    ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg0, bg0);

    ImU32 bg1 = 0;
    if (g.downloadState == kRowDownloaded) bg1 = IM_COL32(60, 200, 60, 140);
    else if (g.downloadState == kRowPartial) bg1 = IM_COL32(255, 170, 60, 160);
    else if (g.downloadState == kRowDownloadFailed) bg1 = IM_COL32(255, 80, 80, 160);
    else if (g.ticked) bg1 = IM_COL32(80, 140, 220, 100);
    else if (gHlRow == r) bg1 = IM_COL32(51, 102, 204, 90);
    if (bg1) ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg1, bg1);
}

void drawTickBox(GameInfo& g, int32_t r) {
    char label[32];
    std::snprintf(label, sizeof label, "##sel_%lld", static_cast<long long>(g.id));
    if (ImGui::Checkbox(label, &g.ticked)) onTickToggled(dummyGames, r, ImGui::GetIO().KeyShift, g_lastClickedRow);
}

void drawNameCell(const GameInfo& g, int32_t r) {
    const std::string label = rowLabel(g);
    if (ImGui::Selectable(label.c_str(), gHlRow == r,
                          ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowOverlap))
        gHlRow = r;
    if (!ImGui::IsItemHovered()) return;
    if (gHlRow != r) gHlRow = -1;
    if (ImGui::IsMouseClicked(ImGuiMouseButton_Right)) gRightDownRow = r;
    if (ImGui::IsMouseReleased(ImGuiMouseButton_Right) && gRightDownRow == r) {
        gHlRow = r;
        gRightDownRow = -1;
        if (!g.name.empty()) {
            char id[48];
            std::snprintf(id, sizeof id, "##ctxName_%lld", static_cast<long long>(g.id));
            ImGui::OpenPopup(id);
            gCtxRow = r;
        }
    }
}

void drawCount(int32_t n) {
    if (n < 1) ImGui::TextColored(ImVec4(0.9f, 0.3f, 0.3f, 1.0f), "无");
    else ImGui::TextColored(ImVec4(0.2f, 0.8f, 0.2f, 1.0f), "%d", n);
}

void drawMatchedName(GameInfo& g, bool rowJob) {
    const size_t chosen = static_cast<size_t>(std::max(0, g.selectedCandidate));
    if (g.candidates.size() < 2) {
        ImGui::TextUnformatted(g.matchedName.c_str());
        candidatePreviewTooltip(g, chosen);
        return;
    }
    const std::string id = "##mc_" + std::to_string(g.id);
    ImGui::SetNextItemWidth(-FLT_MIN);
    ImGui::BeginDisabled(rowJob);
    if (ImGui::BeginCombo(id.c_str(), g.matchedName.c_str())) {
        for (size_t k = 0; k < g.candidates.size(); ++k) {
            const bool selected = static_cast<int32_t>(k) == g.selectedCandidate;
            if (ImGui::Selectable(candidateLabel(g.candidates[k], g.id, k).c_str(), selected)) chooseCandidate(g, k);
            candidatePreviewTooltip(g, k);
            if (selected) ImGui::SetItemDefaultFocus();
        }
        ImGui::EndCombo();
    } else {
        candidatePreviewTooltip(g, chosen);
    }
    ImGui::EndDisabled();
}

void drawRow(int32_t r, bool rowJob) {
    GameInfo& g = dummyGames[static_cast<size_t>(r)];
    // Ids may repeat in the menu's table: the row index keeps every control's id unique.
    ImGui::PushID(r);
    ImGui::TableNextRow();
    setRowColours(g, r);
    ImGui::TableSetColumnIndex(0);
    drawTickBox(g, r);
    ImGui::TableSetColumnIndex(1);
    ImGui::Text("%lld", static_cast<long long>(g.id));
    ImGui::TableSetColumnIndex(2);
    drawNameCell(g, r);
    ImGui::TableSetColumnIndex(3);
    drawCount(g.imageCount);
    ImGui::TableSetColumnIndex(4);
    drawCount(g.textCount);
    ImGui::TableSetColumnIndex(5);
    ImGui::TextUnformatted(g.category.empty() ? "无" : g.category.c_str());
    ImGui::TableSetColumnIndex(6);
    ImGui::TextUnformatted(g.matchMethod.c_str());
    ImGui::TableSetColumnIndex(7);
    drawMatchedName(g, rowJob);
    ImGui::TableSetColumnIndex(8);
    if (const int32_t appid = chosenAppid(g); !g.candidates.empty() && g.selectedCandidate >= 0 &&
                                              g.selectedCandidate < static_cast<int32_t>(g.candidates.size()))
        ImGui::Text("%d", appid);
    ImGui::TableSetColumnIndex(9);
    if (g.similarity > 0.0f) ImGui::Text("%.0f%%", static_cast<double>(g.similarity) * 100.0);
    else ImGui::TextUnformatted("-");
    ImGui::TableSetColumnIndex(10);
    const size_t ri = static_cast<size_t>(r);
    ImGui::TextColored(ImVec4(0.7f, 0.85f, 1.0f, 1.0f), "%s", ri < aiPreview.size() ? aiPreview[ri].c_str() : "");
    ImGui::PopID();
}

// Runs with gMatchMtx held, so 清除匹配 happens here; the lookup requests are returned
// and applied after the lock is released (gDlgStatus has its own mutex).
CtxAction drawContextMenu(bool rowJob) {
    if (gCtxRow < 0 || gCtxRow >= static_cast<int32_t>(dummyGames.size())) {
        gCtxRow = -1;
        return CtxAction::None;
    }
    GameInfo& g = dummyGames[static_cast<size_t>(gCtxRow)];
    char id[48];
    std::snprintf(id, sizeof id, "##ctxName_%lld", static_cast<long long>(g.id));
    ImGui::PushID(gCtxRow);  // the row's id scope, in which drawNameCell opened the popup
    if (!ImGui::BeginPopup(id)) {
        ImGui::PopID();
        gCtxRow = -1;
        return CtxAction::None;
    }
    CtxAction action = CtxAction::None;
    if (ImGui::MenuItem("输入游戏名查询")) action = CtxAction::QueryByName;
    if (ImGui::MenuItem("输入Steam游戏编号查询")) action = CtxAction::QueryByAppid;
    if (ImGui::MenuItem("清除匹配", nullptr, false, !rowJob)) clearMatch(g);
    ImGui::EndPopup();
    ImGui::PopID();
    return action;
}

void applyContextAction(CtxAction action, int32_t row, const std::string& name) {
    if (action == CtxAction::None) return;
    {
        std::lock_guard<std::mutex> lk(gDlgMtx);
        gDlgStatus.clear();
    }
    gDlgTargetRow = row;
    if (action == CtxAction::QueryByName) {
        std::snprintf(gDlgInputName, sizeof gDlgInputName, "%s", utf8Prefix(name, sizeof gDlgInputName - 1).c_str());
        gOpenDlgQueryByName = true;
    } else {
        gDlgInputAppid[0] = '\0';
        gOpenDlgQueryByAppid = true;
    }
}

constexpr ImGuiTableFlags kTableFlags = ImGuiTableFlags_Resizable | ImGuiTableFlags_Sortable |
                                        ImGuiTableFlags_SortTristate | ImGuiTableFlags_RowBg |
                                        ImGuiTableFlags_Borders | ImGuiTableFlags_SizingStretchProp |
                                        ImGuiTableFlags_ScrollY;

}  // namespace

void drawGameTable() {
    mergePendingDownloadResults();
    const bool downloading = gDlState.load() == kJobRunning;
    CtxAction action = CtxAction::None;
    int32_t actionRow = -1;
    std::string actionName;

    ImGui::BeginDisabled(downloading);
    {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        // Jobs start only from this thread, so the answer cannot turn true during the frame.
        const bool rowJob = rowJobRunning();
        if (ImGui::BeginTable("GameTable", 11, kTableFlags, ImVec2(0, 0), 0.0f)) {
            setupColumns();
            ImGui::BeginDisabled(rowJob);
            ImGui::TableHeadersRow();
            ImGui::EndDisabled();
            readSortSpecs();
            if (!rowJob) applyPendingSort(gTableSort, dummyGames, aiPreview);

            ImGuiListClipper clipper;
            clipper.Begin(static_cast<int>(dummyGames.size()));
            while (clipper.Step())
                for (int r = clipper.DisplayStart; r < clipper.DisplayEnd; ++r) drawRow(r, rowJob);
            clipper.End();

            actionRow = gCtxRow;
            action = drawContextMenu(rowJob);
            if (action != CtxAction::None) actionName = dummyGames[static_cast<size_t>(actionRow)].name;
            ImGui::EndTable();
        }
    }
    ImGui::EndDisabled();
    applyContextAction(action, actionRow, actionName);
}

void resetTableState() {
    gHlRow = gRightDownRow = g_lastClickedRow = -1;
    gTableSort = SortRequest{};
    gCtxRow = -1;
}
