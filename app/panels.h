// The panels the frame draws. Every function runs on the frame thread,
// once per frame, inside the child region named in its comment.
#pragma once
#include "data/options.h"

// The shared prompt/answer box of the AI workflow (65,535 bytes of text at most).
extern char aiPromptText[65536];

// LeftPanel, top: mode buttons and options (left_panel.cpp).
void drawModeAndOptions(PanelOptions& opts);
// LeftPanel: the start buttons of the current mode and their popups (left_panel.cpp).
void drawStartButtons(PanelOptions& opts);

// Network mode: "Steam匹配"/"取消匹配", popup "网络匹配##m", and polling (left_panel.cpp).
void drawNetworkMatchButton(const PanelOptions& opts);
// Network mode: the two manual lookup dialogs and their polling (lookup_dialogs.cpp).
void drawLookupDialogs();
// "本地库匹配" with its popups and polling (left_panel.cpp).
void drawLibraryMatchButton(const PanelOptions& opts);
// "下载资源" with its validation and polling (left_panel.cpp).
void drawDownloadButton(const PanelOptions& opts);
// Local mode: "开始匹配", "复制资源", popup "本地匹配##local" (left_panel.cpp).
void drawLocalFolderButtons(const PanelOptions& opts);

// RightPanel: AI controls and the analysis/write-back buttons, above the prompt box (ai_panel.cpp).
void drawAiPanel();

// Jobs polled every frame whatever the mode (each panel's own poll; never draws).
void pollNetworkMatch();
void pollLibraryMatch();
void pollLookup();
void pollDownload();
void pollAi();
