// libFuzzer target: the JSON reader, the string decoder and the store search scanner. Any
// input must parse or fail cleanly.
#include "steam/json.h"

#include <cstdint>
#include <string>

#include "fuzz/check.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    JsonValue root;
    JsonParser parser(text);
    parser.skipWhitespace();
    const bool ok = parser.parseValue(root);
    check(parser.pos <= text.size());
    if (ok) check(parser.error.empty());
    (void)root.find("items");

    // Every escape shrinks or keeps its length: \uXXXX (6 bytes) gives at most 3.
    check(decodeJsonString(text).size() <= text.size());

    std::vector<std::pair<std::string, int32_t>> items;
    extractAllSteamItems(text, items);
    for (const auto& it : items) check(!it.first.empty());
    return 0;
}
