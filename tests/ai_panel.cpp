// The AI panel inside headless frames: a request runs behind the wait dialog, its answer
// lands in the prompt box and the result popup opens inside the right panel.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "ai/requests.h"
#include "app/frame.h"
#include "app/panels.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "tests/chat_server.h"

namespace {

struct AiPanelFrames : ::testing::Test {
    FrameState st;
    void SetUp() override {
        resetJobGlobals();
        dummyGames.clear();
        aiPreview.clear();
        gCategoryList.clear();
        aiPromptText[0] = '\0';
        createHeadlessContext();
    }
    void TearDown() override {
        shutdownJobs();
        destroyHeadlessContext();
        resetJobGlobals();
        aiPromptText[0] = '\0';
    }
    void frame() { runHeadlessFrame(st, 1200, 800, 1.0f / 60.0f); }
    static bool shown(const std::string& part) {
        for (ImGuiWindow* w : GImGui->Windows)
            if (std::string(w->Name).find(part) != std::string::npos && w->Active) return true;
        return false;
    }
};

}  // namespace

TEST_F(AiPanelFrames, SeventyKilobyteAnswerFillsTheBoxBehindTheWaitDialog) {
    kbtest::ChatServer s;
    s.replyContent(std::string(70000, 'a'));
    s.holdRequests();
    std::strcpy(aiPromptText, "box prompt");
    frame();
    ASSERT_FALSE(onGenerateFromBox(aiPromptText, 0, 0, "k"));
    s.waitForRequest();
    frame();
    EXPECT_TRUE(shown("##WaitDialog"));
    EXPECT_FALSE(shown("生成结果##gen"));
    s.release();
    while (gAiState.load() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    frame();
    frame();
    EXPECT_EQ(gAiState.load(), 0);
    EXPECT_FALSE(shown("##WaitDialog"));
    EXPECT_TRUE(shown("生成结果##gen"));
    EXPECT_EQ(std::strlen(aiPromptText), 65535u);
    EXPECT_EQ(gGenMsg, "AI 响应已写入大文本框（65535 字节）。\n[警告] 响应超出本地缓冲区 64KB，末尾已截断。");
}
