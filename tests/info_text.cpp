#include "steam/info_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace {

struct Case {
    const char* in;
    const char* want;
};

TEST(StripHtml, TagsEntitiesAndBlankLines) {
    const Case CASES[] = {
        {"<p>Hello</p><p>World</p>", "Hello\nWorld"},
        {"<h2>Title</h2>Text", "Title\nText"},
        {"<ul><li>A</li><li>B</li></ul>", "- A\n- B"},
        {"<strong>Minimum:</strong><br><ul class=\"bb_ul\"><li>OS: Windows 10<br></li></ul>",
         "Minimum:\n- OS: Windows 10"},
        {"A &amp; B &copy; C &#65; &#8482; &#x41;", "A & B &copy; C A"},
        {"a&verylongname;b", "a&verylongname;b"},
        {"x < y and more", "x"},
        {"<BR/>", ""},
        {"line1\n   \n  line2", "line1\nline2"},
        {"line1\n  line2", "line1\n  line2"},
        {"a<br>b<BR >c</br>d", "a\nb\nc\nd"},
        {"<table><tr><td>k</td><td>v</td></tr></table>", "k\t\tv"},
        {"&lt;b&gt; &quot;q&quot; &apos;s&#39; a&nbsp;b", "<b> \"q\" 's' a b"},
        {"&#31;&#32;x&#127;", "x\x7f"},
        {"AT&T; &; & alone", "AT&T; &; & alone"},
        {"a&b\rc;d", "a&bc;d"},
        {"a\r\nb\r\n\r\nc", "a\nb\nc"},
        {"<h1>H</h1>\n\n\n<p>body</p>", "H\nbody"},
        {"<li>x\n\n<li>y", "- x\n- y"},
        {"<img src=\"a.png\"/><a href=\"u\">link</a>", "link"},
        {"", ""},
        {"  \n\t \r\n", ""},
        {"中文<br/>第二行&amp;完", "中文\n第二行&完"},
        {"<unclosed tag and more text", ""},
    };
    for (const Case& c : CASES) EXPECT_EQ(stripHtml(c.in), c.want) << "input: " << c.in;
}

TEST(StripHtml, NeverLeavesAnEmptyLine) {
    const std::string out = stripHtml("<p>a</p>\n \n<br><br>\t\n<h3>b</h3><ul><li></li></ul><tr></tr>c");
    EXPECT_EQ(out.find("\n\n"), std::string::npos) << out;
    EXPECT_EQ(out, "a\nb\n- \nc");
}

TEST(StripRequirementPrefix, RemovesOneHeadingAtMost) {
    const Case CASES[] = {
        {"最低配置：\n  内存: 8 GB", "内存: 8 GB"},
        {"最低配置:\n- OS: 7", "- OS: 7"},
        {"推荐要求： \t\r\nCPU", "CPU"},
        {"Minimum:\n- OS: Windows 10", "- OS: Windows 10"},
        {"Recommended: Recommended: x", "Recommended: x"},
        {"minimum: lower case stays", "minimum: lower case stays"},
        {"内存: 8 GB", "内存: 8 GB"},
        {"Minimum:", ""},
        {"", ""},
    };
    for (const Case& c : CASES) EXPECT_EQ(stripRequirementPrefix(c.in), c.want) << "input: " << c.in;
}

TEST(BuildInfoTxt, MalformedAnswersGiveANote) {
    const Case CASES[] = {
        {R"({"10":{"success":false}})", "游戏A\n\n(data 字段缺失或 success=false)\n"},
        {"[]", "游戏A\n\n(JSON 根结构异常)\n"},
        {"{}", "游戏A\n\n(JSON 根结构异常)\n"},
        {"null", "游戏A\n\n(JSON 根结构异常)\n"},
        {R"({"10":{"success":true,"data":[]}})", "游戏A\n\n(data 字段缺失或 success=false)\n"},
        {R"({"10":5})", "游戏A\n\n(data 字段缺失或 success=false)\n"},
        {"", "游戏A\n\n(JSON 解析失败: eof)\n"},
        {" \r\n\t", "游戏A\n\n(JSON 解析失败: eof)\n"},
        {R"({"10" {"data":{}}})", "游戏A\n\n(JSON 解析失败: expect colon)\n"},
        {R"({"10":{"data":{"name":"x"})", "游戏A\n\n(JSON 解析失败: unterminated obj)\n"},
        {"<html>502 Bad Gateway</html>", "游戏A\n\n(JSON 解析失败: bad num)\n"},
        {R"({"10":{"data":{"name":"\u00zz"}}})", "游戏A\n\n(JSON 解析失败: bad \\u hex)\n"},
    };
    for (const Case& c : CASES) EXPECT_EQ(buildInfoTxt(c.in, "游戏A"), c.want) << "input: " << c.in;
}

TEST(BuildInfoTxt, FieldsAndTheirLines) {
    const Case CASES[] = {
        // Only the root's first member counts, whatever its key.
        {R"({"x":{"data":{"name":"First"}},"10":{"data":{"name":"Second"}}})", "First\n"},
        // Name missing, empty or not a string: the fallback heads the sheet.
        {R"({"1":{"data":{}}})", "游戏A\n"},
        {R"({"1":{"data":{"name":""}}})", "游戏A\n"},
        {R"({"1":{"data":{"name":7,"release_date":{"date":"2020"}}}})", "游戏A\t2020\n"},
        {R"({"1":{"data":{"name":"N","release_date":{"date":""}}}})", "N\n"},
        {R"({"1":{"data":{"name":"N","release_date":"2020"}}})", "N\n"},
        {R"({"1":{"data":{"name":"N","developers":"Solo","publishers":["A",5,"B"]}}})", "N\n发行商: A / B\n"},
        {R"({"1":{"data":{"name":"N","developers":["D"],"publishers":[]}}})", "N\n开发商: D\n"},
        {R"({"1":{"data":{"name":"N","genres":[{"id":"1","description":"动作"},{"id":"2"},"x",{"description":3}],)"
         R"("categories":[{"description":"单人"},{"description":"Steam 云"}]}}})",
         "N\n题材: 动作\n分类: 单人 / Steam 云\n"},
        {R"({"1":{"data":{"name":"N","platforms":{"windows":true,"mac":false,"linux":true}}}})",
         "N\n平台: Windows / Linux\n"},
        {R"({"1":{"data":{"name":"N","platforms":{"windows":false,"mac":false,"linux":false}}}})", "N\n"},
        {R"({"1":{"data":{"name":"N","platforms":{"windows":"true","mac":true,"mac":false}}}})", "N\n平台: macOS\n"},
        {R"({"1":{"data":{"name":"N","pc_requirements":[]}}})", "N\n"},
        {R"({"1":{"data":{"name":"N","pc_requirements":{"minimum":"<strong>Minimum:</strong><br>8 GB","recommended":""}}}})",
         "N\n\n最低配置\n8 GB\n"},
        {R"({"1":{"data":{"name":"N","pc_requirements":{"recommended":"推荐配置：<br>16 GB"}}}})",
         "N\n\n推荐配置\n16 GB\n"},
        {R"({"1":{"data":{"name":"N","detailed_description":"<p>A</p><p>B</p>",)"
         R"("pc_requirements":{"minimum":"Minimum: 4 GB","recommended":"Recommended: 8 GB"}}}})",
         "N\n\nA\nB\n\n最低配置\n4 GB\n\n推荐配置\n8 GB\n"},
        // Trailing bytes after the root value are not looked at.
        {R"({"1":{"data":{"name":"N"}}} trailing garbage)", "N\n"},
    };
    for (const Case& c : CASES) EXPECT_EQ(buildInfoTxt(c.in, "游戏A"), c.want) << "input: " << c.in;
}

std::string fixture(const std::string& name) { return kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/download/" + name); }

// Shape every sheet keeps: LF only, ends in a line feed, never two empty lines in a row.
void expectSheetShape(const std::string& out) {
    EXPECT_EQ(out.find('\r'), std::string::npos);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find("\n\n\n"), std::string::npos);
}

TEST(BuildInfoTxt, RealChineseAnswer) {
    const std::string out = buildInfoTxt(fixture("appdetails_1147560_schinese.json"), "小骨");
    expectSheetShape(out);
    const std::string head =
        "小骨：英雄杀手(Skul: The Hero Slayer)\t2021 年 1 月 21 日\n"
        "开发商: SOUTHPAW GAMES\n"
        "发行商: NEOWIZ\n"
        "题材: 动作 / 独立\n"
        "分类: 单人 / 完全支持控制器 / Steam 云 / 在手机上远程畅玩 / 在平板上远程畅玩 / 在电视上远程畅玩\n"
        "平台: Windows / macOS / Linux\n"
        "\n背景\n与之前一样，人类再次袭击魔王城";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_NE(out.find("\n玩家QQ群：420112400\n"), std::string::npos);
    const std::string minimum =
        "\n\n最低配置\n"
        "- 操作系统 *: Windows 7+\n"
        "- 处理器: Dual core from Intel or AMD at 2.8 GHz\n"
        "- 内存: 4 GB RAM\n"
        "- 显卡: Nvidia 450 GTS / Radeon HD 5750 or better\n"
        "- DirectX 版本: 11\n"
        "- 存储空间: 需要 1 GB 可用空间\n"
        "- 附注事项: DirectX 9.1+ or OpenGL 3.2+\n"
        "\n推荐配置\n- 操作系统 *: Windows 7+\n";
    EXPECT_NE(out.find(minimum), std::string::npos) << out;
    EXPECT_EQ(out.find("<"), std::string::npos);
}

TEST(BuildInfoTxt, RealEnglishAnswers) {
    const std::string lost = buildInfoTxt(fixture("appdetails_520850.json"), "尘沙惑");
    expectSheetShape(lost);
    EXPECT_EQ(lost.substr(0, lost.find('\n')), "尘沙惑（Lost in Secular Love）\tOct 28, 2016");
    EXPECT_NE(lost.find("\n平台: Windows\n\n"), std::string::npos);
    EXPECT_NE(lost.find("\n\n最低配置\n- OS: windows xp\n- Processor: 1000MHz\n"), std::string::npos) << lost;
    EXPECT_NE(lost.find("\n\n推荐配置\n- OS: windows 7\n"), std::string::npos);

    // pc_requirements sent as [] leaves both sections out.
    const std::string hl2 = buildInfoTxt(fixture("appdetails_220.json"), "HL2");
    expectSheetShape(hl2);
    EXPECT_EQ(hl2.rfind("Half-Life 2\t", 0), 0u);
    EXPECT_EQ(hl2.find("最低配置"), std::string::npos);
    EXPECT_EQ(hl2.find("推荐配置"), std::string::npos);

    EXPECT_EQ(buildInfoTxt(fixture("appdetails_11550_fail.json"), "X"), "X\n\n(data 字段缺失或 success=false)\n");
}

TEST(BuildInfoTxt, TruncatedRealAnswerGivesParseNote) {
    const std::string full = fixture("appdetails_620.json");
    for (size_t cut : {size_t{1}, full.size() / 3, full.size() / 2, full.size() - 1}) {
        const std::string out = buildInfoTxt(full.substr(0, cut), "Portal 2");
        EXPECT_EQ(out.rfind("Portal 2\n\n(JSON 解析失败: ", 0), 0u) << cut << ": " << out;
        EXPECT_EQ(out.back(), '\n');
    }
}

}  // namespace
