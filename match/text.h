// Character classes of UTF-8 titles and the cutting of mixed titles into a
// Chinese and an English part. Pure functions on byte strings: they never
// decode to wide characters and never fail; malformed UTF-8 is handled by the
// lead-byte rule (utf8SeqLen; a stray byte counts as a one-byte character, a
// sequence cut off by the end of the string is dropped or ends the walk).
#pragma once
#include "data/utf8.h"  // utf8SeqLen, the lead-byte rule
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Result of classifyNameType. Callers compare the int directly.
namespace NameType {
enum : int { English = 0, Chinese = 1, Mixed = 2 };
}

// A character of one to four bytes as one integer (bytes from the high end).
// Injective on the characters the lead-byte rule yields, since the first byte
// fixes the length; comparing packed values equals comparing the byte strings.
constexpr uint32_t utf8PackChar(const char* p, size_t len) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k)
        v = (v << 8) | (k < len ? static_cast<unsigned char>(p[k]) : 0u);
    return v;
}

// True when the character whose lead byte sits at pos is a CJK ideograph
// (U+4E00..U+9FFF or U+3400..U+4DBF). Punctuation, full-width forms, kana and
// hangul are not Chinese. False when pos is out of range or the sequence is
// cut off by the end of s.
bool isChineseChar(unsigned char lead, std::string_view s, size_t pos);

// English when the title has no Chinese character, Chinese when it has no
// Latin letter or at least as many Chinese characters as Latin letters,
// Mixed otherwise. Empty and digit-only titles are English.
int classifyNameType(std::string_view title);

// cn receives every non-ASCII character, en every ASCII byte, each in order.
// A multi-byte character cut off by the end of s ends the walk.
void splitCnEn(std::string_view s, std::string& cn, std::string& en);

// (Chinese part, English part) of a title, cut by position. English titles
// give (empty, title), Chinese ones (title, empty). A Mixed title is cut after
// a Roman numeral that follows its last Chinese character when a space comes
// next (最终幻想XV Final Fantasy XV), at the end when the numeral ends the
// title, and otherwise right before its first Chinese character (so the first
// element is the text before it, the second everything from it on).
std::pair<std::string, std::string> splitNameToCnEn(std::string_view title);

// One string per character; an incomplete final character is dropped.
std::vector<std::string> tokenizeUtf8(std::string_view s);
