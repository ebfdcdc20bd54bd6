// AI panel handlers: start refusals, the box's truncation, the request job with its wait
// dialog and cancel, and what each kind of request leaves in the box and the popup.
#include <gtest/gtest.h>

#include <cstring>

#include "ai/requests.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "tests/net_servers.h"

using kbtest::ChatServer;

namespace {

char gBox[65536];

// Waits for the request to end, then collects it; returns whether the popup opened.
bool collectWhenDone() {
    EXPECT_TRUE(kbtest::waitUntil([] { return gAiState.load() != 1; }));
    return collectAiRequest(gBox, sizeof gBox);
}

using AiRequests = kbtest::JobTest;

}  // namespace

TEST_F(AiRequests, StartsRefusedWithTheirMessages) {
    struct Case {
        int data;        // 0 nothing read, 1 games and whitelist, 2 games without a whitelist
        int32_t caller;  // 1 games (uncategorized ones), 2 box (empty), 3 test
        std::string key, msg;
        std::string promptBox;  // what 生成AI提示词 writes instead (games only)
    };
    const Case cases[] = {
        {0, 1, "k", "请先点击【读取数据】按钮加载游戏与分类。",
         "[错误] 请先点击左上角【读取数据】按钮，加载游戏列表与分类白名单。\n"},
        {2, 1, "k", kNoCategoriesMessage, std::string("[错误] ") + kNoCategoriesMessage + "\n"},
        {1, 1, "k", "当前没有可处理的游戏（未分类范围下全部已分类）。", "[提示] 当前没有未分类的游戏（所有游戏都已具有分类）。\n"},
        {0, 2, "", "请先输入 API 密钥。"},  // the key is checked before the text
        {0, 2, "k", "大文本框为空，请先在大文本框中输入或生成提示词。"},
        {0, 3, "", "请先输入 API 密钥。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msg);
        dummyGames.clear();
        gCategoryList.clear();
        if (c.data) dummyGames = {{.name = "A", .category = "动作"}};
        if (c.data == 1) gCategoryList = {"动作"};
        gGenOk = true;
        EXPECT_TRUE(c.caller == 1   ? onGenerateFromGames(1, 0, 0, c.key)
                    : c.caller == 2 ? onGenerateFromBox("", 0, 0, c.key)
                                    : onTestConnection(0, 0, c.key));
        EXPECT_FALSE(gGenOk);
        EXPECT_EQ(gGenMsg, c.msg);
        EXPECT_FALSE(gAiThread.joinable());
        if (c.caller == 1) {
            EXPECT_EQ(promptTextForBox(1), c.promptBox);
        }
    }
}

TEST_F(AiRequests, PromptBoxTruncation) {
    setPromptBoxText(gBox, sizeof gBox, std::string(65535, 'p'));
    EXPECT_EQ(std::strlen(gBox), 65535u);
    setPromptBoxText(gBox, sizeof gBox, std::string(65536, 'p'));
    EXPECT_EQ(std::string(gBox), std::string(65520, 'p') + "\n...[TRUNCATED]");
    std::string chinese = "p";  // 中 would straddle the cut after 65520 bytes
    while (chinese.size() < 65536) chinese += "中";
    setPromptBoxText(gBox, sizeof gBox, chinese);
    EXPECT_EQ(std::string(gBox), chinese.substr(0, 65518) + "\n...[TRUNCATED]");
}

TEST_F(AiRequests, WhatEachRequestLeavesInTheBoxAndThePopup) {
    const std::string tokenWarn = "\n[警告] 响应被模型 max_tokens 截断，建议减少游戏数量分批处理。";
    const std::string boxWarn = "\n[警告] 响应超出本地缓冲区 64KB，末尾已截断。";
    std::string longAnswer = "a";  // its JSON form and the decoded answer are alike
    while (longAnswer.size() < 70000) longAnswer += "中";
    // 65535 bytes would end inside a character: the box keeps the whole ones.
    const std::string written = "AI 响应已写入大文本框（65533 字节）。", fitted = longAnswer.substr(0, 65533);
    struct Case {
        int32_t caller;  // 1 games, 2 box, 3 test
        int status;
        std::string answer, finish, sent;  // sent: a piece of the request body
        std::string msg, box;
    };
    const Case cases[] = {
        {1, 200, "塞尔达传说=动作|冒险\\n", "stop", "（共 1 个）\\n塞尔达传说\\n\"}]}",
         "AI 响应已写入大文本框（30 字节）。", "塞尔达传说=动作|冒险\n"},
        {2, 200, longAnswer, "length", "\"content\":\"prompt\"", written + tokenWarn + boxWarn, fitted},
        {3, 200, "测试成功", "stop", "测试成功", "API 连接测试成功！\n模型: deepseek-reasoner\n回复: 测试成功",
         "prompt"},
        {3, 401, "{\"error\":\"bad key\"}", "", "测试成功", "API 连接测试失败：HTTP 401: {\"error\":\"bad key\"}", "prompt"},
    };
    dummyGames = {{.name = "塞尔达传说"}, {.name = "Portal 2", .category = "动作"}};
    gCategoryList = {"动作", "冒险"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msg);
        ChatServer s;
        if (c.status == 200) s.replyContent(c.answer, c.finish);
        else s.reply(c.status, c.answer);
        std::strcpy(gBox, "prompt");
        EXPECT_FALSE(c.caller == 1   ? onGenerateFromGames(1, 2, 1, "k")
                     : c.caller == 2 ? onGenerateFromBox(gBox, 2, 1, "k")
                                     : onTestConnection(2, 1, "k"));
        ASSERT_TRUE(collectWhenDone());
        EXPECT_EQ(gGenOk, c.status == 200);
        EXPECT_EQ(gGenMsg, c.msg);
        EXPECT_EQ(std::string(gBox), c.box);
        EXPECT_NE(s.requests().at(0).body.find(c.sent), std::string::npos) << s.requests().at(0).body;
        EXPECT_FALSE(collectAiRequest(gBox, sizeof gBox));  // nothing left to collect
    }
}

// The wait dialog's 取消 ends a request the service holds; the box keeps its prompt.
TEST_F(AiRequests, CancelFromTheWaitDialog) {
    ChatServer s;
    s.hold(true);
    std::strcpy(gBox, "my prompt");
    EXPECT_FALSE(onGenerateFromBox(gBox, 2, 1, "k"));
    ASSERT_TRUE(kbtest::waitUntil([&] { return !s.requests().empty(); }));
    EXPECT_TRUE(gWaitState.active.load());
    EXPECT_FALSE(onGenerateFromBox(gBox, 2, 1, "k"));  // ignored while one runs
    ASSERT_NE(gWaitState.cancel, nullptr);
    gWaitState.cancel->store(true);
    ASSERT_TRUE(collectWhenDone());
    s.hold(false);
    EXPECT_FALSE(gWaitState.active.load());
    EXPECT_EQ(s.requests().size(), 1u);
    EXPECT_EQ(gGenMsg, "请求已取消。");
    EXPECT_STREQ(gBox, "my prompt");
}
