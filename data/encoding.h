// Encodings of the menu's own text files (set.ini, kbdata.csv). The conversion from the
// Chinese Windows code page is a platform interface: encoding_posix.cpp (iconv) and
// encoding_win.cpp (the Win32 code-page calls), chosen by CMake. The UTF-8 rules and the
// file decoding built on them are plain logic in encoding.cpp.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Code page 936 (GBK) bytes to UTF-8. False when the bytes are not valid in that code page.
bool gbkToUtf8(const std::string& gbk, std::string& utf8);

// s without a leading UTF-8 byte-order mark (EF BB BF).
std::string_view skipUtf8Bom(std::string_view s);

enum class TextEncoding { Utf8, Gbk, Unknown };
// A text file's bytes as UTF-8 text: a byte-order mark is skipped; bytes that are not valid
// UTF-8 are read as GBK. Unknown (neither) leaves the bytes as they stood.
TextEncoding decodeTextFile(const std::string& bytes, std::string& text);
// The status line's note on how a file was read; empty for UTF-8.
std::string textFileNote(const std::string& fileName, TextEncoding e);
