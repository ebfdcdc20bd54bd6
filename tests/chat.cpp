// Chat client against a loopback service: the exact request, the answer scan and the
// failure texts.
#include <gtest/gtest.h>

#include <thread>

#include "ai/chat.h"
#include "data/jobs.h"
#include "tests/chat_server.h"

using kbtest::ChatServer;

namespace {

struct Call {
    bool ok = false;
    std::string content, err;
};

Call call(int32_t api, const std::string& model, const std::string& key, const std::string& prompt) {
    Call c;
    c.ok = callAIApi(api, model, key, prompt, c.content, c.err);
    return c;
}

}  // namespace

TEST(Chat, ExactBodyHeadersAndPathForTheQuoteExample) {
    ChatServer s;
    s.replyContent("ok");
    const Call c = call(0, "qwen-plus", "sk-test-123", "a\"b");
    ASSERT_TRUE(c.ok) << c.err;
    EXPECT_EQ(c.content, "ok");
    const auto seen = s.last();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.path, "/compatible-mode/v1/chat/completions");
    EXPECT_EQ(seen.body,
              "{\"model\":\"qwen-plus\",\"temperature\":0.3,\"max_tokens\":16384,\"messages\":[{\"role\":\"user\","
              "\"content\":\"a\\\"b\"}]}");
    EXPECT_EQ(seen.contentType, "application/json");
    EXPECT_EQ(seen.auth, "Bearer sk-test-123");
    EXPECT_EQ(seen.userAgent, "kestrelbox/1.0");
}

TEST(Chat, PromptEscaping) {
    struct Case {
        std::string prompt, escaped;
    };
    const Case cases[] = {
        {"行1\n\t\"引\"", "行1\\n\\t\\\"引\\\""},
        {std::string("a\x01" "b\x1f\x7f", 5), "a\\u0001b\\u001f\x7f"},
        {std::string("\0z", 2), "\\u0000z"},
        {"\b\f\r\\/", "\\b\\f\\r\\\\/"},
        {"中文 text", "中文 text"},
    };
    for (const Case& c : cases) EXPECT_EQ(escapePromptForJson(c.prompt), c.escaped);
}

TEST(Chat, AnswersAndFailureTexts) {
    const std::string big = [] {
        std::string b = "{\"error\":{\"message\":\"";
        while (b.size() < 998) b += 'e';
        return b + "\"}";
    }();
    ASSERT_EQ(big.size(), 1000u);
    struct Case {
        const char* what;
        int status;
        std::string body;
        bool ok;
        std::string text;  // content or err
        bool truncated;
    };
    const std::string msg = "{\"choices\":[{\"message\":{\"role\":\"assistant\",\"content\":";
    const Case cases[] = {
        {"401 with a long body", 401, big, false, "HTTP 401: " + big.substr(0, 300), false},
        {"content null", 200, msg + "null},\"finish_reason\":\"stop\"}]}", false,
         "响应解析失败（无 content 字段）。片段: " + (msg + "null},\"finish_reason\":\"stop\"}]}").substr(0, 300), false},
        {"finish length", 200, msg + "\"x\"},\"finish_reason\":\"length\"}]}", true, "x", true},
        {"finish stop", 200, msg + "\"x\"},\"finish_reason\": \"stop\"}]}", true, "x", false},
        {"finish null", 200, msg + "\"x\"},\"finish_reason\":null}]}", true, "x", false},
        {"escaped quotes and \\u4e2d", 200, msg + " \"说\\\"好\\\"\\u4e2d\\n\"}}]}", true, "说\"好\"中\n", false},
        {"surrogate pair joined, zero left out", 200, msg + "\"\\ud83d\\ude00\\u0000!\"}}]}", true,
         "\xF0\x9F\x98\x80!", false},
        {"lone surrogate replaced", 200, msg + "\"\\ud83d!\"}}]}", true, "\xEF\xBF\xBD!", false},
        {"cut inside the string", 200, msg + "\"abc\\\"", true, "abc\"", false},
    };
    ChatServer s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.reply(c.status, c.body);
        gAiTruncated = !c.truncated;
        const Call r = call(1, "ernie-4.0-8k", "k", "p");
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(c.ok ? r.content : r.err, c.text);
        if (c.ok) {
            EXPECT_EQ(gAiTruncated.load(), c.truncated);
        }
    }
    gAiTruncated = false;
}

TEST(Chat, RefusedBeforeSendingAndNetworkFailures) {
    ChatServer s;
    s.replyContent("ok");
    EXPECT_EQ(call(4, "m", "k", "p").err, "未知 API 选项");
    EXPECT_EQ(call(0, "qwen-plus", "k\r\nX-Evil: 1", "p").err, "API 密钥含有换行或控制字符，请重新输入。");
    EXPECT_EQ(s.last().count, 0);

    kbtest::ScopedHostMap dead("open.bigmodel.cn=http://127.0.0.1:" + std::to_string(kbtest::refusedPort()));
    EXPECT_EQ(call(3, "glm-4-flash", "k", "p").err, "WinHttpConnect 失败（DNS 或网络问题）");

    // An answer cut before its announced length is a failure, not a shorter answer.
    kbtest::RawServer cut;
    cut.reply = "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n{\"message\":{\"content\":\"abc\"}}";
    cut.start();
    kbtest::ScopedHostMap cutMap("open.bigmodel.cn=" + cut.base());
    EXPECT_EQ(call(3, "glm-4-flash", "k", "p").err,
              "WinHttpReadData 失败（连接中断）errno=" + std::to_string(kbtest::kErr.cutBody));
}

TEST(Chat, KeyEchoedByTheServiceIsNotInTheError) {
    ChatServer s;
    const std::string key = "sk-secret-0123456789";
    s.reply(401, "{\"error\":\"Incorrect API key provided: " + key + ". See docs.\"}");
    const Call r = call(0, "qwen-plus", key, "p");
    EXPECT_EQ(r.err, "HTTP 401: {\"error\":\"Incorrect API key provided: ***. See docs.\"}");
}

TEST(ChatScan, ContentAndFinishReasonSearch) {
    struct Case {
        std::string body, content, finish;
    };
    const Case cases[] = {
        {"{\"content\":\"top\",\"message\":{\"content\":\"inner\"}}", "inner", ""},
        {"{\"choices\":[{\"delta\":{\"content\" :\r\n\t\"no message key\"}}]}", "no message key", ""},
        {"{\"message\":{\"xcontent\":\"no\",\"content\":\"yes\"}}", "yes", ""},
        {"{\"message\":{\"content\"", "", ""},
        {"{\"finish_reason\":\"len", "", "len"},
        {"{\"finish_reason\" : \"stop\",\"finish_reason\":\"length\"}", "", "stop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(extractChatContent(c.body), c.content);
        EXPECT_EQ(extractFinishReason(c.body), c.finish);
    }
    EXPECT_EQ(decodeChatString("\\u12"), "u12");
    EXPECT_EQ(decodeChatString("\\u00e9\\x\\"), "\xC3\xA9x\\");
}
