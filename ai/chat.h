// Chat-completion client for the four providers and their model tables.
#pragma once
#include <cstdint>
#include <string>

struct AiProvider {
    const char* label;   // provider combo "##aiapi"
    const char* host;    // API host, always HTTPS on port 443
    const char* path;    // chat-completion path
    int32_t maxTokens;
};

struct AiModel {
    const char* label;   // model combo "##aimodel"
    const char* id;      // what the request sends
};

constexpr int32_t kAiProviderCount = 4;
extern const AiProvider kAiProviders[kAiProviderCount];  // Qwen, ERNIE, DeepSeek, GLM

extern const AiModel kModelsQwen[6];
extern const AiModel kModelsErnie[3];
extern const AiModel kModelsDeepseek[4];
extern const AiModel kModelsGlm[4];
extern const AiModel* const kModelsByApi[kAiProviderCount];
extern const int32_t kModelsCountByApi[kAiProviderCount];

// Model id of a provider's row; "" when either index is out of range.
std::string aiModelId(int32_t api, int32_t row);

// Prompt bytes as the inside of a JSON string: quote, backslash and control bytes escaped,
// everything else (UTF-8 sequences, 127, '/') unchanged.
std::string escapePromptForJson(const std::string& prompt);
// The request body; the model id is inserted as given. api must be 0..3.
std::string buildChatRequestBody(int32_t api, const std::string& model, const std::string& prompt);
// The raw contents of a JSON string literal (without its quotes) as UTF-8. Surrogate pairs
// are joined, lone surrogates become U+FFFD and \u0000 is left out, so the text is valid
// UTF-8 without zero bytes whenever the raw text was.
std::string decodeChatString(const std::string& raw);
// The first "content" string after the first "message" key, decoded; "" when it is
// missing or not a string (null).
std::string extractChatContent(const std::string& body);
// The first "finish_reason" string value; "" when missing or not a string.
std::string extractFinishReason(const std::string& body);

// Posts the prompt to provider api with the given model and key. true: content holds the
// non-empty answer and gAiTruncated tells whether the model hit its token limit. false: err
// holds the reason; it never contains the key. Blocking (up to ten minutes without data);
// raising gAiCancel ends it early.
bool callAIApi(int32_t api, const std::string& model, const std::string& key, const std::string& prompt,
               std::string& content, std::string& err);
