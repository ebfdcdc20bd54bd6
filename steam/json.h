// The program's own JSON reader: a full tree reader for store details and two light
// scanners for store search answers and single string literals, plus urlEncode.
//
// Errors are short English phrases in JsonParser::error; nothing throws to the caller.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class JsonType : int32_t { Null = 0, Bool = 1, Number = 2, String = 3, Array = 4, Object = 5 };

// One parsed value. All members exist in every value (not a union); children are owned.
struct JsonValue {
    JsonType type = JsonType::Null;
    bool boolValue = false;
    double numberValue = 0.0;
    std::string stringValue;
    std::vector<JsonValue> arrayItems;
    std::vector<std::pair<std::string, JsonValue>> objectMembers;  // document order, duplicates kept

    // Defined out of line: the members hold JsonValue, complete only after this class.
    JsonValue();
    ~JsonValue();
    JsonValue(const JsonValue&);
    JsonValue(JsonValue&&) noexcept;
    JsonValue& operator=(const JsonValue&);
    JsonValue& operator=(JsonValue&&) noexcept;

    // Value of the first member named key (byte-equal), nullptr when none or not an Object.
    const JsonValue* find(const std::string& key) const;
};

// Nesting deeper than this fails with "too deep" instead of exhausting the stack.
constexpr int kJsonMaxDepth = 512;

// One parse over text, which must outlive the parser. Whole document: skip leading
// whitespace, then parseValue(root); bytes after the root value are not examined.
struct JsonParser {
    const std::string& text;
    size_t pos = 0;
    std::string error;
    int depth = 0;

    explicit JsonParser(const std::string& t) : text(t) {}

    // Each fills out and advances pos; false = failure with the message in error (out is
    // then partly filled and only fit for destruction).
    bool parseValue(JsonValue& out);
    bool parseString(JsonValue& out);
    bool parseNumber(JsonValue& out);
    bool parseArray(JsonValue& out);
    bool parseObject(JsonValue& out);

    void skipWhitespace();
};

// Decoded contents of a JSON string literal given without its quotes. Never fails:
// a short \u escape yields a plain 'u', non-hex digits count as 0, surrogates stay apart.
std::string decodeJsonString(const std::string& raw);

// Appends one (title, appid) pair per entry of the "items" array of a store search answer
// that has a non-empty "name". Malformed input yields fewer pairs, never a failure.
void extractAllSteamItems(const std::string& json, std::vector<std::pair<std::string, int32_t>>& items);

// Percent-encodes every byte except ASCII letters, digits and - . _ ~ (space -> %20).
std::string urlEncode(const std::string& text);
