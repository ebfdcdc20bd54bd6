#include "ai/prompt.h"

#include "data/game.h"
#include "data/ini.h"

// The instruction between the whitelist and the game list. Its wording is what the
// answer parser relies on (one "name=cat1|cat2" line per game); keep it byte for byte.
static const char* const kPromptRules =
    "- **特殊属性标签**：\n"
    "手柄\n"
    "（注：此标签代表硬件支持或特定属性，而非玩法类型）\n\n"
    "# 核心处理法则（必须严格遵守）\n\n"
    "1. **白名单绝对锁定（防幻觉）**\n"
    "   - 输出的分类词汇**必须严格存在**于上述\"当前任务白名单\"中。\n"
    "   - **严禁**发明新词。即使你认为\"恐怖\"、\"国风\"、\"冒险\"非常准确，只要白名单里没有，就**绝对禁止**输出。\n"
    "   - 如果游戏特征在白名单中找不到对应项，直接忽略该特征。\n\n"
    "2. **父子类包含逻辑（防漏选）**\n"
    "   - 请分析白名单中的词汇关系。如果白名单中同时存在\"大类\"和\"子类\"（例如同时有\"角色扣演\"和\"ARPG\"），且该游戏符合子类特征，**必须同时输出大类和子类**。\n"
    "   - *示例*：如果白名单有 [动作, 角色扣演, ARPG]，对于《暗黑破坏神》，应输出 `动作|角色扣演|ARPG`，而不能只写 `ARPG`。\n\n"
    "3. **属性标签映射逻辑（防误解）**\n"
    "   - 识别\"特殊属性标签\"（如\"手柄\"）。\n"
    "   - 逻辑判断：只要该游戏通常支持该属性（例如绝大多数单机/主机游戏都支持手柄），**必须**添加该标签，无论它看起来像不像一个\"游戏类型\"。\n\n"
    "4. **宁缺毋滥与置信度**\n"
    "   - 仅对知名或名字含义明确的游戏进行分类。\n"
    "   - 如果是极度冷门的游戏，或者名字无法推断玩法（例如名字很像内部测试项目），**不要睼猜**，直接留空。\n"
    "   - **ING榜**（如果在白名单中）：仅当该游戏是当下全网热门时添加，不确定则不添加。\n\n"
    "5. **输出格式规范**\n"
    "   - 格式：`游戏名=分类1|分类2`\n"
    "   - 多个分类用 `|` 分隔。\n"
    "   - **纯文本模式**：直接输出结果，不要包含 ```markdown 代码块，不要包含\"好的\"、\"这是结果\"等废话。\n"
    "   - 无匹配时：`游戏名=`（等号后留空）。\n\n"
    ;

std::string buildAIPrompt(const std::vector<GameInfo>& games, const std::vector<std::string>& categories,
                          int32_t scope) {
    if (games.empty() || categories.empty()) return "";
    std::vector<const GameInfo*> selected;
    selected.reserve(games.size());
    for (const GameInfo& g : games)
        if (scope != 1 || g.category.empty()) selected.push_back(&g);
    if (selected.empty()) return "";

    std::string out;
    size_t namesBytes = 0;
    for (const GameInfo* g : selected) namesBytes += g->name.size() + 1;
    out.reserve(4096 + namesBytes);
    out += "# Role\n";
    out += "你是一个严格的游戏数据分类引擎。你的核心能力是理解游戏名称，并将其精准映射到用户提供的【动态分类白名单】中。\n\n";
    out += "# 动态配置区（由用户输入决定）\n";
    out += "- **当前任务白名单**（共 " + std::to_string(categories.size()) + " 项）：\n";
    for (size_t i = 0; i < categories.size(); ++i) {
        if (i) out += '|';
        out += categories[i];
    }
    out += '\n';
    out += kPromptRules;
    out += "# 待处理游戏列表（共 " + std::to_string(selected.size()) + " 个）\n";
    for (const GameInfo* g : selected) {
        out += g->name;
        out += '\n';
    }
    return out;
}

std::string buildAIPrompt(int32_t scope) { return buildAIPrompt(dummyGames, gCategoryList, scope); }
