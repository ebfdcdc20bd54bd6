#include "app/help.h"

#include <imgui.h>

#include <cstdio>

namespace {

constexpr const char* kStoreHome = "https://store.steampowered.com/";
constexpr const char* kContact = "help.kestrel.test";  // 17 characters

std::vector<std::string> buildParagraphs() {
    std::vector<std::string> p;
    p.emplace_back(
        "本程序是Vantor游戏菜单辅助程序，用于游戏菜单添加游戏后，批量为添加好的游戏进行分类及添加游戏展示图片和简介。"
        "首先在Vantor游戏菜单中添加好游戏，把本程序所有文件放在Vantor游戏菜单同一目录下，"
        "或者把Vantor游戏菜单的数据库文件（data.db）和配置文件(set.ini)复制到本程序目录下进行修改。");
    p.emplace_back("1. 使用本程序前一定要先在Vantor游戏菜单中添加好游戏和总分类。然后再打开本程序，点击【读取数据】加载游戏列表。");
    p.emplace_back(
        "2. AI分类补全用法：首先点击【生成AI提示词】，然后点击【复制AI提示词】，然后，到你的AI程序中"
        "（如千问，豆包，deepseek或者打开百度网站点击文心一言）粘贴提示词，然后复制AI回复的结果,"
        "然后点击【粘贴AI结果】，然后点击【分析AI结果】，最后点击【写入数据库】保存游戏分类。"
        "如果您有自己申请好的大模型API密钥,也可以选择好模型填入密钥，点击【生成结果】，"
        "然后点击【分析AI结果】，最后点击【写入数据库】保存游戏分类。");
    p.emplace_back("3. 匹配游戏介绍图片和简介有两种方式：本地匹配模式（点击【本地匹配】）和网络匹配（点击【网络匹配】）。");
    p.emplace_back(
        "4. 网络匹配：点击【steam匹配】，程序会根据游戏名称到steam网站上匹配，请尽量保证游戏名和steam上的游戏名保持一致。"
        "由于steam上很多游戏名用的英文名，如果您用的是中文名，未匹配上的游戏可以点击【本地库匹配】通过本地数据库进行匹配。"
        "还有未匹配上的请自己到百度上去查找该游戏steam是否收录，如果收录了，可在该游戏上点右键，"
        "通过名字或游戏的appid进行搜索匹配。匹配完成后，勾选要下载数据的游戏，点击【下载资源】，"
        "资源会下到程序所在目录下的media目录里。");
    p.emplace_back(std::string("5. 【steam】匹配和【下载资源】时一定要保证您的电脑可以正常快速访问steam商店（") + kStoreHome +
                   "）。如果访问steam商店不正常，请用正规公司的合法游戏加速器，不要用非法VPN，"
                   "很多正规游戏加速器（包括国内第一的游戏加速器）都是免费加速steam商店的。");
    p.emplace_back(
        "6. 商标与权利声明：Steam及Steam标志是Valve Corporation的商标或注册商标，归Valve Corporation所有。"
        "本程序通过免费公开的Steam API获取游戏图片和简介，这些资源的一切权利归其各自的权利人所有，"
        "仅供用户个人非商业用途使用；如有权利人提出要求，请用户立即删除相关资源。");
    p.emplace_back(
        "7. 本地匹配:先点击【本地匹配】，然后点击【资源目录:】后面的【浏览】按钮选择存放游戏图片和介绍文本的目录，"
        "然后点击【开始匹配】，匹配成功后，点击【复制资源】把游戏图片和介绍文本复制到程序所在目录下的media目录。");
    char item8[256];
    std::snprintf(item8, sizeof item8, "8. 其它细节请自行摸索，或者到%s获取我们的联系方式，一起交流。", kContact);
    p.emplace_back(item8);
    return p;
}

}  // namespace

const std::vector<std::string>& helpParagraphs() {
    static const std::vector<std::string> PARAGRAPHS = buildParagraphs();
    return PARAGRAPHS;
}

void drawHelpWindow(bool& showHelp) {
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(ImVec2(vp->Pos.x + vp->Size.x * 0.5f, vp->Pos.y + vp->Size.y * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(800, 600), ImGuiCond_Always);
    if (ImGui::Begin("使用帮助", &showHelp, ImGuiWindowFlags_NoCollapse)) {
        ImGui::TextColored(ImVec4(0.4f, 0.8f, 1.0f, 1.0f), "=== 使用帮助 ===");
        ImGui::Dummy(ImVec2(0, 10));
        for (const std::string& para : helpParagraphs()) {
            ImGui::TextWrapped("%s", para.c_str());
            ImGui::Dummy(ImVec2(0, 5));
        }
    }
    ImGui::End();
}
