// Chat client against a loopback service: refusals, the exact request, the answer scan, failure texts.
#include <gtest/gtest.h>

#include "ai/chat.h"
#include "tests/net_servers.h"

using kbtest::ChatServer;

TEST(Chat, RefusalsThenExactRequestWithEveryEscape) {
    ChatServer s;
    s.replyContent("ok");
    std::string content, err;
    EXPECT_FALSE(callAIApi(4, "m", "k", "p", content, err));
    EXPECT_EQ(err, "未知 API 选项");
    EXPECT_FALSE(callAIApi(0, "qwen-plus", "k\r\nX-Evil: 1", "p", content, err));
    EXPECT_EQ(err, "API 密钥含有换行或控制字符，请重新输入。");
    EXPECT_TRUE(s.requests().empty());  // refused before sending

    const char raw[] = "行1\n\t\"引\"\b\f\r\\/ \x01\x1f\x7f\0z";
    const std::string prompt(raw, sizeof raw - 1);
    ASSERT_TRUE(callAIApi(0, "qwen-plus", "sk-test-123", prompt, content, err)) << err;
    EXPECT_EQ(content, "ok");
    const kbtest::HttpRequest seen = s.requests().at(0);
    EXPECT_EQ(seen.path, "/compatible-mode/v1/chat/completions");
    EXPECT_EQ(seen.body,
              "{\"model\":\"qwen-plus\",\"temperature\":0.3,\"max_tokens\":16384,\"messages\":[{\"role\":\"user\","
              "\"content\":\"行1\\n\\t\\\"引\\\"\\b\\f\\r\\\\/ \\u0001\\u001f\x7f\\u0000z\"}]}");
    EXPECT_EQ(seen.header("Authorization"), "Bearer sk-test-123");
}

// The truncation warning of a finish reason "length" is tested with the AI requests.
TEST(Chat, AnswersAndFailureTexts) {
    const std::string key = "sk-secret-0123456789";
    const std::string echo = "{\"error\":\"Incorrect API key provided: ";
    const std::string msg = "{\"choices\":[{\"message\":{\"role\":\"assistant\",\"content\":";
    struct Case {
        const char* what;
        int status;
        std::string body;
        bool ok;
        std::string text;  // content or err
    };
    const Case cases[] = {
        {"401 echoing the key, cut to 300 bytes", 401, echo + key + std::string(1000, 'e'), false,
         "HTTP 401: " + (echo + "***" + std::string(1000, 'e')).substr(0, 300)},
        {"content null", 200, msg + "null}}]}", false, "响应解析失败（无 content 字段）。片段: " + msg + "null}}]}"},
        {"escapes, \\u4e2d, a surrogate pair, zero left out", 200,
         msg + " \"说\\\"好\\\"\\u4e2d\\n\\ud83d\\ude00\\u0000!\"}}]}", true, "说\"好\"中\n\xF0\x9F\x98\x80!"},
        {"lone surrogate replaced, short \\u and a final backslash kept", 200, msg + "\"\\ud83d\\x\\u12\\",
         true, "\xEF\xBF\xBDxu12\\"},
        {"the message's content, not the first", 200,
         "{\"content\":\"top\",\"message\":{\"xcontent\":\"no\",\"content\":\"in\"}}", true, "in"},
        {"no message key, blanks before the value", 200, "{\"delta\":{\"content\" :\r\n\t\"d\"}}", true, "d"},
    };
    ChatServer s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reply(c.status, c.body);
        std::string content, err;
        EXPECT_EQ(callAIApi(1, "ernie-4.0-8k", key, "p", content, err), c.ok);
        EXPECT_EQ(c.ok ? content : err, c.text);
    }
}
