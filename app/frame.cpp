#include "app/frame.h"

#include "app/help.h"
#include "app/panels.h"
#include "app/progress.h"
#include "app/table.h"
#include "data/files.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/paths.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>

char aiPromptText[65536] = {0};

namespace {

constexpr float kTopBarHeight = 44.0f;
constexpr float kBottomHeight = 30.0f;

void drawTopBar(FrameState& st, float width) {
    ImGui::BeginChild("TopBar", ImVec2(width, kTopBarHeight), false);
    if (ImGui::Button("帮助", ImVec2(40, 32))) st.showHelp = true;
    ImGui::SameLine();
    if (st.showHelp) drawHelpWindow(st.showHelp);
    ImGui::BeginDisabled(rowJobRunning());
    if (ImGui::Button("读取数据", ImVec2(100, 32))) readDataAction();
    ImGui::EndDisabled();
    ImGui::EndChild();
}

void drawRightPanel() {
    drawAiPanel();
    ImGui::TextColored(ImVec4(0.85f, 0.95f, 1.0f, 1.0f), "AI 提示词（全选 Ctrl+A，复制 Ctrl+C，粘贴到 AI 助理）");
    ImGui::InputTextMultiline("##aiprompt", aiPromptText, sizeof aiPromptText, ImVec2(-FLT_MIN, -FLT_MIN));
}

void pollJobs() {
    pollNetworkMatch();
    pollLibraryMatch();
    pollLookup();
    pollDownload();
    pollAi();
}

bool looksLikeFontFile(const std::string& bytes) {
    if (bytes.size() < 12) return false;
    const std::string tag = bytes.substr(0, 4);
    return tag == "ttcf" || tag == "OTTO" || tag == "true" || tag == std::string("\0\1\0\0", 4);
}

}  // namespace

void drawFrame(FrameState& st) {
    pollJobs();
    const ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(0, 0), ImGuiCond_Always);
    ImGui::SetNextWindowSize(io.DisplaySize, ImGuiCond_Always);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBringToFrontOnFocus;
    ImGui::Begin("##KestrelboxMain", nullptr, flags);
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float w = avail.x, h = avail.y;
    const float panelHeight = std::max(1.0f, h - kTopBarHeight - kBottomHeight);

    drawTopBar(st, w);

    ImGui::BeginChild("LeftPanel", ImVec2(0.58f * w, panelHeight), true);
    drawModeAndOptions(st.opts);
    drawStartButtons(st.opts);
    drawGameTable();
    ImGui::EndChild();

    ImGui::SameLine();
    ImGui::BeginChild("RightPanel", ImVec2(std::max(1.0f, w - 0.58f * w - 8.0f), panelHeight), true);
    drawRightPanel();
    ImGui::EndChild();

    ImGui::BeginChild("ProgressBar", ImVec2(w, 0), false);
    drawProgressArea(w);
    ImGui::EndChild();
    ImGui::End();

    if (gWaitState.active.load()) drawWaitDialog(st.anim, io.DeltaTime);
}

bool readDataAction() {
    if (rowJobRunning()) return false;
    std::string note = loadCategoriesFromIni();
    const std::string dbNote = loadGamesFromDB();
    if (!dbNote.empty()) note = note.empty() ? dbNote : dbNote + "\n" + note;
    setStatusMessage(note);
    for (GameInfo& g : dummyGames) scanMediaCounts(g);
    const int32_t n = static_cast<int32_t>(dummyGames.size());
    gTotalCount.store(n);
    gPendingCount.store(n);
    gConfirmCount.store(0);
    gUnmatchCount.store(0);
    return true;
}

void configureGuiContext() {
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    io.IniFilename = nullptr;
}

std::vector<std::string> fontCandidates(const std::string& fontFolder) {
    static const char* const WINDOWS[] = {"msyh.ttc", "msyhbd.ttc", "simsun.ttc", "simhei.ttf", "deng.ttf", "arial.ttf"};
    // Debian's Chinese fonts: the Linux build's, and under Wine (drive Z: is the Linux root).
    static const char* const LINUX[] = {
        "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
        "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
        "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
    };
    std::vector<std::string> fonts;
    for (const char* f : WINDOWS) fonts.push_back(fontFolder + f);
    fonts.insert(fonts.end(), std::begin(LINUX), std::end(LINUX));
    return fonts;
}

namespace {

// Hangul, which the Chinese system fonts lack; merged under the chosen font when present.
const char* const kFallbackFonts[] = {"malgun.ttf"};

// Adds a font file at 16 px (no glyph ranges: the atlas grows with every character the
// font has, on first use). A file that is not a font would trip the atlas's assertions.
bool addFontFile(const std::string& path, const ImFontConfig* config) {
    // Read in one piece: CJK font files are several megabytes.
    std::ifstream in(pathFromUtf8(path), std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size <= 0 || size > INT_MAX) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.seekg(0).read(bytes.data(), size) || !looksLikeFontFile(bytes)) return false;
    void* data = IM_ALLOC(bytes.size());
    std::memcpy(data, bytes.data(), bytes.size());
    return ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, static_cast<int>(bytes.size()), 16.0f, config) != nullptr;
}

}  // namespace

std::string loadChineseFont(const std::vector<std::string>& candidates, const std::string& fontFolder) {
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    for (const std::string& path : candidates) {
        atlas->Clear();
        if (!addFontFile(path, nullptr)) continue;
        ImFontConfig merge;
        merge.MergeMode = true;
        for (const char* name : kFallbackFonts)
            if (const std::string fallback = fontFolder + name; fallback != path && addFontFile(fallback, &merge)) break;
        return path;
    }
    atlas->Clear();
    return std::string();
}

void createHeadlessContext(bool chineseFont) {
    ImGui::CreateContext();
    configureGuiContext();
    ImGuiIO& io = ImGui::GetIO();
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset | ImGuiBackendFlags_RendererHasTextures;
    if (!chineseFont || loadChineseFont(fontCandidates()).empty()) io.Fonts->AddFontDefault();
}

namespace {

// The renderer stand-in: answers the atlas's texture requests as a renderer would, with
// made-up ids, so frames go on growing the atlas as glyphs are first used.
void answerTextureRequests() {
    static intptr_t nextId = 1;
    for (ImTextureData* tex : ImGui::GetPlatformIO().Textures) {
        if (tex->Status == ImTextureStatus_WantCreate) tex->SetTexID(static_cast<ImTextureID>(nextId++));
        if (tex->Status == ImTextureStatus_WantDestroy) {
            tex->SetTexID(ImTextureID_Invalid);
            tex->SetStatus(ImTextureStatus_Destroyed);
        } else if (tex->Status != ImTextureStatus_OK) {
            tex->SetStatus(ImTextureStatus_OK);
        }
    }
}

}  // namespace

void runHeadlessFrame(FrameState& st, float w, float h, float dt) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(w, h);
    io.DeltaTime = dt;
    ImGui::NewFrame();
    drawFrame(st);
    ImGui::Render();
    answerTextureRequests();
}

void destroyHeadlessContext() {
    ImGui::DestroyContext();
}
