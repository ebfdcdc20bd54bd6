// Handlers of the AI panel's buttons and the AI request job. All handlers run on the
// frame thread; the job owns copies of its inputs and reports through gAiMtx/gAiState.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// What a request job needs; the job keeps its own copy.
struct AiRequestInput {
    int32_t api = 0;
    std::string model;
    std::string key;
    std::string prompt;
};

// gAiCaller values.
constexpr int32_t kAiCallerGames = 1;  // 生成结果
constexpr int32_t kAiCallerBox = 2;    // 用文本框提示词生成结果
constexpr int32_t kAiCallerTest = 3;   // 测试

// Appended to a message when an AI answer did not fit into the box and its end was cut.
extern const char* const kBoxCutWarning;

// The prompt the connection test sends.
extern const char* const kAiTestPrompt;

// The box receives text whole when it fits; otherwise as much of it as fits before
// "\n...[TRUNCATED]" without cutting a character.
void setPromptBoxText(char* box, size_t boxSize, const std::string& text);
// What 生成AI提示词 writes into the box: the prompt, or a hint when there is nothing to ask.
std::string promptTextForBox(int32_t scope);

// The body of the request job: one call, then the outcome under gAiMtx, the state, and
// the wait dialog closed.
void runAiRequest(AiRequestInput in);

// Start handlers. Each returns true when it refused to start and left its reason in
// gGenMsg/gGenOk, so the popup "生成结果##gen" must open. Ignored while a request is
// still running or waiting to be collected.
bool onGenerateFromGames(int32_t scope, int32_t api, int32_t modelRow, const std::string& key);
bool onGenerateFromBox(const char* box, int32_t api, int32_t modelRow, const std::string& key);
bool onTestConnection(int32_t api, int32_t modelRow, const std::string& key);

// Collects a finished request: the answer goes into the box (at most boxSize-1 bytes; the
// connection test leaves the box alone), gGenMsg/gGenOk are set, and the job state returns
// to idle. Returns true when the popup must open.
bool collectAiRequest(char* box, size_t boxSize);

// 复制AI提示词: the box text (up to its first zero byte) onto the clipboard.
void copyPromptBox(const char* box);
