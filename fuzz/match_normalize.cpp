// Keys of any bytes: normalizeForMatch yields only a-z, 0-9 and whole kept
// characters (CJK, kana, hangul) and is a fixed point on its own output;
// normalizeGameName keeps no spacing or upper-case ASCII character.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/check.h"
#include "match/normalize.h"
#include "match/text.h"

using fuzzcheck::check;

namespace {

void checkMatchKey(const std::string& k) {
    for (size_t i = 0; i < k.size(); i += utf8SeqLen(static_cast<unsigned char>(k[i]))) {
        const auto c = static_cast<unsigned char>(k[i]);
        if (c < 0x80) {
            check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
            continue;
        }
        check(c >= 0xE0 && c <= 0xEF && i + 3 <= k.size() && (k[i + 1] & 0xC0) == 0x80 && (k[i + 2] & 0xC0) == 0x80);
        const uint32_t cp = ((c & 0x0Fu) << 12) | ((k[i + 1] & 0x3Fu) << 6) | (k[i + 2] & 0x3Fu);
        check((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x3040 && cp <= 0x30FF) ||
              (cp >= 0xAC00 && cp <= 0xD7AF));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);

    const std::string key = normalizeForMatch(s);
    checkMatchKey(key);
    check(key.size() <= 2 * s.size());
    check(normalizeForMatch(key) == key);

    const std::string light = normalizeGameName(s);
    check(light.size() <= s.size());
    // Malformed sequences are copied whole, so only bytes that start a
    // character are ASCII characters of their own.
    for (size_t i = 0; i < light.size();) {
        const auto c = static_cast<unsigned char>(light[i]);
        check(!(c >= 'A' && c <= 'Z') && c != ' ' && c != '\t' && c != '\n' && c != '\r');
        i += utf8SeqLen(c);
    }
    return 0;
}
