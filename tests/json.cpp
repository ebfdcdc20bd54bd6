// JSON reader: exact error texts, what real answers lack, the depth bound, the store search
// scanner and urlEncode. Arbitrary input is fuzzed; the other steam tests read real answers.
#include "steam/json.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    bool ok;
    JsonValue root;
    std::string error;
};

Parsed parse(const std::string& text) {
    Parsed p;
    JsonParser jp(text);
    p.ok = jp.parseValue(p.root);
    p.error = jp.error;
    return p;
}

TEST(Json, ErrorTexts) {
    const std::pair<std::string, std::string> cases[] = {
        {"[1", "unterminated arr"}, {"[ 1 2]", "expect comma or bracket"}, {"{\"a\" 1}", "expect colon"},
        {"{\"a\":1 \"b\":2}", "expect comma or brace"}, {"{\"a\":1", "unterminated obj"}, {"{a:1}", "expect quote"},
        {"tru", "bad bool"}, {"nul", "bad null"}, {"1e999", "bad num value"}, {"\"abc", "unterminated string"},
        {"\"ab\\", "bad escape"}, {"\"\\u12", "bad \\u"}, {"\"\\u12zz\"", "bad \\u hex"}, {"{", ""},
    };
    for (const auto& [text, error] : cases) {
        const Parsed p = parse(text);
        EXPECT_FALSE(p.ok) << text;
        EXPECT_EQ(p.error, error) << text;
    }
}

// What the real store answers of the other tests do not carry.
TEST(Json, Values) {
    // A UTF-16 pair is one character; a lone half becomes U+FFFD: strings stay valid UTF-8.
    const Parsed p = parse(
        "{\"s\":\"\\u00e9\\ud83c\\udfae\\ud83d\\x\\udfae\\r\\n\",\"a\":[[],{}],\"a\":false} trailing garbage");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.root.find("s")->stringValue, "\xC3\xA9\xF0\x9F\x8E\xAE\xEF\xBF\xBDx\xEF\xBF\xBD\r\n");
    EXPECT_EQ(p.root.find("a")->arrayItems.size(), 2u);  // the first of repeated keys
}

TEST(Json, DepthBound) {
    EXPECT_TRUE(parse(std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']')).ok);
    for (const std::string open : {"[", "{\"a\":"}) {
        std::string deep;
        for (int i = 0; i < 100000; ++i) deep += open;
        EXPECT_EQ(parse(deep).error, "too deep");
    }
}

TEST(Json, ScanStoreSearchItems) {
    using Items = std::vector<std::pair<std::string, int32_t>>;
    const std::pair<std::string, Items> cases[] = {
        {"{\"total\":1,\"items\":[{\"type\":\"app\",\"name\":\"A\\u00e9\",\"id\":10},{\"name\":\"\",\"id\":5}]}",
         {{"A\xC3\xA9", 10}}},
        {"{\"items\": [ {\"name\" :\t\"x\\\"}y\", \"id\": 4294967295}, {\"id\":\"12\",\"name\":\"q\"}",
         {{"x\"}y", -1}, {"q", 0}}},
        {"{\"items\":[{\"name\":\"cut", {{"cut", 0}}},
    };
    for (const auto& [json, want] : cases) {
        Items items;
        extractAllSteamItems(json, items);
        EXPECT_EQ(items, want) << json;
    }
    EXPECT_EQ(decodeJsonString("a\\\"b\\/c\\td\\q\\u4E2D\\ud83c\\udfae\\ud83c\\u12"),
              "a\"b/c\tdq\xE4\xB8\xAD\xF0\x9F\x8E\xAE\xEF\xBF\xBDu12");
    EXPECT_EQ(urlEncode("a b\xE4\xB8\xAD-._~&=+/?#%"), "a%20b%E4%B8%AD-._~%26%3D%2B%2F%3F%23%25");
}

}  // namespace
