// AI panel handlers: prompt box rules, start refusals, the request job with its wait
// dialog, collection into the box and the connection test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "ai/requests.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "tests/chat_server.h"

using kbtest::ChatServer;

namespace {

char gBox[65536];

struct Fixture : ::testing::Test {
    void SetUp() override {
        resetJobGlobals();
        dummyGames.clear();
        gCategoryList.clear();
        std::memset(gBox, 0, sizeof gBox);
    }
    void TearDown() override {
        shutdownJobs();
        resetJobGlobals();
        dummyGames.clear();
        gCategoryList.clear();
    }
    static void loadGames(const std::vector<std::pair<std::string, std::string>>& games) {
        for (const auto& [name, cat] : games) {
            GameInfo g;
            g.name = name;
            g.category = cat;
            dummyGames.push_back(g);
        }
        gCategoryList = {"动作", "冒险"};
    }
    // Waits (at most a minute) for the request to end, then collects it; returns whether the popup opened.
    static bool collectWhenDone() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (gAiState.load() == 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return collectAiRequest(gBox, sizeof gBox);
    }
};

using AiRequests = Fixture;

}  // namespace

TEST_F(AiRequests, PromptBoxFillAndTruncation) {
    struct Case {
        size_t len;
        size_t wantLen;
        bool marked;
    };
    for (const Case& c : {Case{65535, 65535, false}, Case{65536, 65535, true}}) {
        SCOPED_TRACE(c.len);
        std::memset(gBox, 'z', sizeof gBox);
        setPromptBoxText(gBox, sizeof gBox, std::string(c.len, 'p'));
        EXPECT_EQ(std::strlen(gBox), c.wantLen);
        if (c.marked) {
            EXPECT_EQ(std::string(gBox + 65520), "\n...[TRUNCATED]");
            EXPECT_EQ(std::string(gBox, 65520), std::string(65520, 'p'));
        }
    }
}

TEST_F(AiRequests, PromptTextForTheBoxSaysWhatIsMissing) {
    EXPECT_EQ(promptTextForBox(0), "[错误] 请先点击左上角【读取数据】按钮，加载游戏列表与分类白名单。\n");
    dummyGames.resize(1);
    EXPECT_EQ(promptTextForBox(0), std::string("[错误] ") + kNoCategoriesMessage + "\n");
    dummyGames.clear();
    loadGames({{"A", "动作"}});
    EXPECT_EQ(promptTextForBox(1), "[提示] 当前没有未分类的游戏（所有游戏都已具有分类）。\n");
}

TEST_F(AiRequests, StartsRefusedWithTheirMessages) {
    struct Case {
        const char* what;
        int data;  // 0 nothing read, 1 games and whitelist, 2 games without a whitelist
        int32_t scope;
        int32_t caller;  // 1 games, 2 box, 3 test
        std::string key, box, msg;
    };
    const Case cases[] = {
        {"no data", 0, 0, 1, "k", "", "请先点击【读取数据】按钮加载游戏与分类。"},
        {"no whitelist", 2, 0, 1, "k", "", kNoCategoriesMessage},
        {"all categorized", 1, 1, 1, "k", "", "当前没有可处理的游戏（未分类范围下全部已分类）。"},
        {"box: key checked before the text", 0, 0, 2, "", "", "请先输入 API 密钥。"},
        {"box empty", 0, 0, 2, "k", "", "大文本框为空，请先在大文本框中输入或生成提示词。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dummyGames.clear();
        gCategoryList.clear();
        if (c.data) loadGames({{"A", "动作"}});
        if (c.data == 2) gCategoryList.clear();
        gGenOk = true;
        const bool popup = c.caller == 1   ? onGenerateFromGames(c.scope, 0, 0, c.key)
                           : c.caller == 2 ? onGenerateFromBox(c.box.c_str(), 0, 0, c.key)
                                           : onTestConnection(0, 0, c.key);
        EXPECT_TRUE(popup);
        EXPECT_FALSE(gGenOk);
        EXPECT_EQ(gGenMsg, c.msg);
        EXPECT_FALSE(gAiThread.joinable());
    }
}

TEST_F(AiRequests, GenerateFromGamesSendsThePromptAndFillsTheBox) {
    ChatServer s;
    s.replyContent("塞尔达传说=动作|冒险\\n");
    s.holdRequests();
    loadGames({{"塞尔达传说", ""}, {"Portal 2", "动作"}});
    std::strcpy(gBox, "old text");
    EXPECT_FALSE(onGenerateFromGames(1, 3, 1, "key-1"));
    EXPECT_EQ(gAiState.load(), 1);
    EXPECT_TRUE(gWaitState.active.load());
    EXPECT_FALSE(onGenerateFromGames(1, 3, 1, "key-1"));  // ignored while one runs
    s.waitForRequest();
    s.release();
    EXPECT_TRUE(collectWhenDone());
    EXPECT_FALSE(gWaitState.active.load());
    const auto seen = s.last();
    EXPECT_EQ(seen.count, 1);
    EXPECT_NE(seen.body.find("\"model\":\"glm-4.5-flash\""), std::string::npos);
    EXPECT_NE(seen.body.find("（共 1 个）\\n塞尔达传说\\n\"}]}"), std::string::npos);
    EXPECT_STREQ(gBox, "塞尔达传说=动作|冒险\n");
    EXPECT_TRUE(gGenOk);
    EXPECT_EQ(gGenMsg, "AI 响应已写入大文本框（" + std::to_string(std::strlen(gBox)) + " 字节）。");
    EXPECT_FALSE(collectAiRequest(gBox, sizeof gBox));  // nothing left to collect
}

TEST_F(AiRequests, LongAndTruncatedAnswersCarryTheirWarnings) {
    struct Case {
        size_t len;
        const char* finish;
        std::string msg;
    };
    const std::string tokenWarn = "\n[警告] 响应被模型 max_tokens 截断，建议减少游戏数量分批处理。";
    const std::string boxWarn = "\n[警告] 响应超出本地缓冲区 64KB，末尾已截断。";
    const Case cases[] = {
        {70000, "stop", "AI 响应已写入大文本框（65535 字节）。" + boxWarn},
        {70000, "length", "AI 响应已写入大文本框（65535 字节）。" + tokenWarn + boxWarn},
        {65535, "length", "AI 响应已写入大文本框（65535 字节）。" + tokenWarn},
    };
    ChatServer s;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.len) + c.finish);
        // Plain lines, so the JSON text and the decoded answer have the same length.
        std::string decoded;
        while (decoded.size() < c.len) decoded += "game=act|adv ";
        decoded.resize(c.len);
        s.replyContent(decoded, c.finish);
        std::strcpy(gBox, "prompt");
        EXPECT_FALSE(onGenerateFromBox(gBox, 0, 0, "k"));
        ASSERT_TRUE(collectWhenDone());
        EXPECT_TRUE(gGenOk);
        EXPECT_EQ(gGenMsg, c.msg);
        EXPECT_EQ(std::string(gBox), decoded.substr(0, 65535));
        EXPECT_FALSE(gAiTruncated.load());
        EXPECT_NE(s.last().body.find("\"content\":\"prompt\""), std::string::npos);
    }
}

TEST_F(AiRequests, FailureAndCancelKeepTheBox) {
    ChatServer s;
    s.reply(401, "{\"error\":\"bad key\"}");
    std::strcpy(gBox, "my prompt");
    EXPECT_FALSE(onGenerateFromBox(gBox, 2, 1, "k"));
    ASSERT_TRUE(collectWhenDone());
    EXPECT_FALSE(gGenOk);
    EXPECT_EQ(gGenMsg, "HTTP 401: {\"error\":\"bad key\"}");
    EXPECT_STREQ(gBox, "my prompt");

    // The wait dialog's 取消 ends a request the service holds.
    s.holdRequests();
    EXPECT_FALSE(onGenerateFromBox(gBox, 2, 1, "k"));
    s.waitForRequest();
    ASSERT_NE(gWaitState.cancel, nullptr);
    gWaitState.cancel->store(true);
    ASSERT_TRUE(collectWhenDone());
    s.release();
    EXPECT_EQ(gGenMsg, "请求已取消。");
    EXPECT_STREQ(gBox, "my prompt");
}

TEST_F(AiRequests, ConnectionTestRunsAsAJobAndLeavesTheBoxAlone) {
    ChatServer s;
    s.replyContent("测试成功");
    std::strcpy(gBox, "keep me");
    EXPECT_FALSE(onTestConnection(2, 1, "k"));
    ASSERT_TRUE(collectWhenDone());
    EXPECT_TRUE(gGenOk);
    EXPECT_EQ(gGenMsg, "API 连接测试成功！\n模型: deepseek-reasoner\n回复: 测试成功");
    EXPECT_STREQ(gBox, "keep me");
}

