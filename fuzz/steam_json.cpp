// libFuzzer target: the JSON reader, the string decoder, the store search scanner, the
// app details title scanner's sibling urlEncode. Any input must parse or fail cleanly.
#include "steam/json.h"

#include <cstdint>
#include <string>

#include "fuzz/check.h"

using fuzzcheck::check;

namespace {

int hexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

}  // namespace

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

    const std::string enc = urlEncode(text);
    std::string back;
    for (size_t i = 0; i < enc.size(); ++i) {
        if (enc[i] == '%') {
            check(i + 2 < enc.size());
            back += static_cast<char>(hexValue(enc[i + 1]) * 16 + hexValue(enc[i + 2]));
            i += 2;
        } else {
            back += enc[i];
        }
    }
    check(back == text);
    return 0;
}
