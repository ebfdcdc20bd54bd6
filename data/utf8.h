// UTF-8, the text of every string in the program: decoding, encoding and cutting on a
// character boundary. Every layer uses these; no other file carries its own copy.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Decodes the UTF-8 sequence at s[i]: its length, with the code point in cp, or 0 when it is
// malformed (bad lead or continuation byte, cut short, overlong, a surrogate, past U+10FFFF).
size_t decodeUtf8Char(std::string_view s, size_t i, char32_t& cp);
bool isValidUtf8(std::string_view s);

// Appends one code point as UTF-8; surrogates and values above U+10FFFF become U+FFFD, so the
// output is always valid UTF-8.
void appendUtf8(std::string& out, char32_t cp);
// A UTF-16 pair as one code point (hi in D800-DBFF, lo in DC00-DFFF), for \u escapes.
char32_t joinSurrogates(char32_t hi, char32_t lo);
inline bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Length of the longest prefix of s of at most maxBytes bytes that does not end inside a
// character: a cut never leaves a partial sequence behind.
size_t utf8PrefixLength(std::string_view s, size_t maxBytes);
std::string utf8Prefix(const std::string& s, size_t maxBytes);

// Copies the longest character-whole prefix of text that fits a zero-terminated buffer of
// size bytes (the GUI's fixed text boxes) and terminates it; returns the bytes copied.
size_t copyUtf8IntoBuffer(char* buf, size_t size, std::string_view text);

// The lead-byte rule of the matching engine: length of a UTF-8 sequence from its first byte
// alone (continuation bytes are never examined). 0x80-0xBF and 0xF8-0xFF count as 1.
constexpr size_t utf8SeqLen(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC0 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    return 1;
}
// Code points by the lead-byte rule, as the matcher reads titles: a stray byte is U+FFFD and a
// sequence cut off at the end is dropped (lenient, where decodeUtf8Char is strict).
std::u32string utf8Decode(std::string_view s);
// appendUtf8 of each code point.
std::string utf8Encode(std::u32string_view s);
