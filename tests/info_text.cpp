// The info.txt sheet: one golden sheet from a real store answer, the notes for malformed
// answers, and the HTML flattening rules. Answers of any shape are fuzzed.
#include "steam/info_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace {

std::string fixture(const std::string& name) { return kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/download/" + name); }

TEST(InfoText, StripHtml) {
    const std::pair<const char*, const char*> cases[] = {
        {"A &amp; B &copy; C &#65; &#8482; &#x41;", "A & B &copy; C A"},
        {"&lt;b&gt; &quot;q&quot; &apos;s&#39; a&nbsp;b", "<b> \"q\" 's' a b"},
        {"x < y and more", "x"},
        {"AT&T; &; & alone a&verylongname;b", "AT&T; &; & alone a&verylongname;b"},
        {"line1\n   \n  line2", "line1\nline2"},
        {"<table><tr><td>k</td><td>v</td></tr></table>", "k\t\tv"},
        {"<p>a</p>\n \n<br><br>\t\n<h3>b</h3><ul><li></li></ul><tr></tr>c", "a\nb\n- \nc"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(stripHtml(in), want) << in;
}

TEST(InfoText, AnswersOfEveryShape) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"10":{"success":false}})", "游戏A\n\n(data 字段缺失或 success=false)\n"},
        {"[]", "游戏A\n\n(JSON 根结构异常)\n"},
        {" \r\n\t", "游戏A\n\n(JSON 解析失败: eof)\n"},
        {"<html>502 Bad Gateway</html>", "游戏A\n\n(JSON 解析失败: bad num)\n"},
        {R"({"x":{"data":{"name":"First"}},"10":{"data":{"name":"Second"}}})", "First\n"},
        {R"({"1":{"data":{"name":7,"release_date":{"date":"2020"}}}})", "游戏A\t2020\n"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(buildInfoTxt(in, "游戏A"), want) << in;
}

TEST(InfoText, GoldenSheetFromARealAnswer) {
    const std::string out = buildInfoTxt(fixture("appdetails_1147560_schinese.json"), "小骨");
    EXPECT_EQ(out, fixture("info_1147560.txt"));
}

}  // namespace
