// One frame of the whole interface, and the program's GUI set-up that does not need a
// window (so tests and benchmarks can drive frames headless).
#pragma once
#include "data/options.h"

#include <string>
#include <vector>

// What the frame keeps between frames besides the shared globals.
struct FrameState {
    bool showHelp = false;
    float anim = 0.0f;  // wait-dialog spinner phase
    PanelOptions opts;
};

// Draws everything between ImGui::NewFrame and ImGui::Render: polls the jobs, the main
// window with its four regions, the help window and the wait dialog.
void drawFrame(FrameState& st);

// 读取数据: set.ini, data.db, media counts, status counters. Refused (returns false,
// nothing changes) while a job addresses rows by index.
bool readDataAction();

// Keyboard navigation on, no settings file.
void configureGuiContext();

// Where Windows keeps its fonts on most systems; the program asks the system (app/startup.h).
inline constexpr char kWindowsFontFolder[] = "C:/Windows/Fonts/";
// The font files tried in order at start-up: the Windows fonts in fontFolder, then Linux's.
std::vector<std::string> fontCandidates(const std::string& fontFolder = kWindowsFontFolder);
// Adds the first candidate that is a readable font file to the atlas at 16 px, with a
// Hangul font of fontFolder merged under it when installed; glyphs are rasterized on first
// use. Returns the candidate's path, or "" when none loads.
std::string loadChineseFont(const std::vector<std::string>& candidates,
                            const std::string& fontFolder = kWindowsFontFolder);

// Headless use: a context configured like the program's with its font (default, or the
// first system Chinese font when chineseFont) and a stand-in renderer for the atlas.
void createHeadlessContext(bool chineseFont = false);
// One frame of size w x h lasting dt seconds, ending with ImGui::Render.
void runHeadlessFrame(FrameState& st, float w, float h, float dt);
void destroyHeadlessContext();
