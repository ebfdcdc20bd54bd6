#include "ai/requests.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ai/chat.h"
#include "ai/prompt.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "data/utf8.h"

const char* const kBoxCutWarning = "\n[警告] 响应超出本地缓冲区 64KB，末尾已截断。";
const char* const kAiTestPrompt = "你好，请回复\"测试成功\"";

namespace {

const char* const kNoKey = "请先输入 API 密钥。";
const char* const kWaitMessage = "正在等待AI回复，请稍候...";

// Model id of the connection test in flight, for its popup (frame thread only).
std::string gTestModel;

bool refuse(const std::string& msg) {
    gGenOk = false;
    gGenMsg = msg;
    return true;
}

bool haveData() { return !dummyGames.empty() && !gCategoryList.empty(); }

void startRequest(int32_t caller, const char* title, AiRequestInput in) {
    gAiCaller.store(caller);
    gAiState.store(kJobRunning);
    if (gAiThread.joinable()) gAiThread.join();
    gAiCancel.store(false);
    openWaitDialog(title, kWaitMessage, &gAiCancel);
    startJobThread(gAiThread, [in = std::move(in)]() mutable { runAiRequest(std::move(in)); });
}

}  // namespace

void setPromptBoxText(char* box, size_t boxSize, const std::string& text) {
    static const char MARK[] = "\n...[TRUNCATED]";
    constexpr size_t MARK_LEN = sizeof(MARK) - 1;
    if (boxSize <= MARK_LEN + 1) return;
    if (text.size() < boxSize) {
        copyUtf8IntoBuffer(box, boxSize, text);
        return;
    }
    const size_t keep = copyUtf8IntoBuffer(box, boxSize - MARK_LEN, text);
    std::memcpy(box + keep, MARK, MARK_LEN + 1);
}

std::string promptTextForBox(int32_t scope) {
    std::string text = buildAIPrompt(scope);
    if (!text.empty()) return text;
    if (haveData()) return "[提示] 当前没有未分类的游戏（所有游戏都已具有分类）。\n";
    if (!dummyGames.empty()) return std::string("[错误] ") + kNoCategoriesMessage + "\n";
    return "[错误] 请先点击左上角【读取数据】按钮，加载游戏列表与分类白名单。\n";
}

void runAiRequest(AiRequestInput in) {
    std::string content, err;
    const bool ok = callAIApi(in.api, in.model, in.key, in.prompt, content, err);
    {
        std::lock_guard<std::mutex> lk(gAiMtx);
        if (ok) gAiContent = std::move(content);
        else gAiErr = std::move(err);
    }
    gAiState.store(ok ? kJobSucceeded : kJobFailed);
    gWaitState.active.store(false);
}

bool onGenerateFromGames(int32_t scope, int32_t api, int32_t modelRow, const std::string& key) {
    if (gAiState.load() != kJobIdle) return false;
    std::string prompt = buildAIPrompt(scope);
    if (key.empty()) return refuse(kNoKey);
    if (prompt.empty() && haveData()) return refuse("当前没有可处理的游戏（未分类范围下全部已分类）。");
    if (prompt.empty())
        return refuse(dummyGames.empty() ? "请先点击【读取数据】按钮加载游戏与分类。" : kNoCategoriesMessage);
    startRequest(kAiCallerGames, "AI 分类处理中", {api, aiModelId(api, modelRow), key, std::move(prompt)});
    return false;
}

bool onGenerateFromBox(const char* box, int32_t api, int32_t modelRow, const std::string& key) {
    if (gAiState.load() != kJobIdle) return false;
    if (key.empty()) return refuse(kNoKey);
    std::string prompt(box);
    if (prompt.empty()) return refuse("大文本框为空，请先在大文本框中输入或生成提示词。");
    startRequest(kAiCallerBox, "AI 生成中", {api, aiModelId(api, modelRow), key, std::move(prompt)});
    return false;
}

bool onTestConnection(int32_t api, int32_t modelRow, const std::string& key) {
    if (gAiState.load() != kJobIdle) return false;
    if (key.empty()) return refuse(kNoKey);
    gTestModel = aiModelId(api, modelRow);
    startRequest(kAiCallerTest, "AI 连接测试中", {api, gTestModel, key, kAiTestPrompt});
    return false;
}

bool collectAiRequest(char* box, size_t boxSize) {
    const int32_t state = gAiState.load();
    if (state != kJobSucceeded && state != kJobFailed) return false;
    if (gAiThread.joinable()) gAiThread.join();
    std::lock_guard<std::mutex> lk(gAiMtx);
    const bool test = gAiCaller.load() == kAiCallerTest;
    if (state == kJobSucceeded && test) {
        gGenOk = true;
        gGenMsg = "API 连接测试成功！\n模型: " + gTestModel + "\n回复: " + gAiContent;
    } else if (state == kJobSucceeded) {
        const size_t n = copyUtf8IntoBuffer(box, boxSize, gAiContent);
        gGenOk = true;
        gGenMsg = "AI 响应已写入大文本框（" + std::to_string(n) + " 字节）。";
        if (gAiTruncated.load()) gGenMsg += "\n[警告] 响应被模型 max_tokens 截断，建议减少游戏数量分批处理。";
        if (gAiContent.size() > n) gGenMsg += kBoxCutWarning;
    } else {
        gGenOk = false;
        gGenMsg = test ? "API 连接测试失败：" + gAiErr : gAiErr;
    }
    gAiContent.clear();
    gAiErr.clear();
    gAiTruncated.store(false);
    gAiCaller.store(0);
    gAiState.store(kJobIdle);
    return true;
}

void copyPromptBox(const char* box) { writeToClipboard(std::string(box)); }
