// Files and folders by UTF-8 path. This is a platform interface: one source per platform
// (files_posix.cpp, files_win.cpp), chosen by CMake. Paths may use '/' or '\' between
// components; callers never convert encodings themselves.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

struct DirEntry {
    std::string name;  // UTF-8, without the folder
    bool isDir = false;
};

// A UTF-8 path as std::filesystem and the standard streams take it. A plain std::string
// would be read in the ANSI code page on Windows and lose every character outside it.
inline std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// True when the error says the user's disk quota is used up.
bool isQuotaError(const std::error_code& ec);

// The reason of a failed file call in the interface's language ("没有访问权限", "磁盘空间不足"...).
// Every file message of every job ends with it in brackets after the step's own text:
// "打开文件失败 path=<path>（没有访问权限）".
// For an errno value, as the C library leaves it on every platform.
std::string errnoReason(int errnoValue);
// For the platform's own error number: errno on POSIX, GetLastError on Windows.
std::string systemErrorReason(unsigned long code);
// The errno value that words a platform error number (itself on POSIX); 0 when none does.
int errnoOfSystemError(unsigned long code);
// For std::filesystem's errors (either kind).
std::string fileErrorReason(const std::error_code& ec);

// Entries of dir without "." and "..", in no particular order. False with err when dir
// cannot be listed.
bool listDirUtf8(const std::string& dir, std::vector<DirEntry>& out, std::string& err);

// True when path names an existing folder (links followed).
bool isDirUtf8(const std::string& path);

// Creates path and its missing parents. "空路径" for an empty path; an existing folder is
// fine; anything else: "CreateDirectory 失败 errno=<n> path=<path>".
bool ensureDirUtf8(const std::string& path, std::string& err);

// std::fopen by UTF-8 path. Opening for reading ("r", "rb") takes regular files only, and never
// waits: a named pipe without a writer fails at once instead of blocking the caller.
std::FILE* openFileUtf8(const std::string& path, const char* mode);

// Reads the whole file. False with err when it cannot be opened or read, or when path names no
// regular file: "不是普通文件 path=<path>（命名管道）" (or 套接字, 设备文件, 文件夹...).
bool readFileBinaryUtf8(const std::string& path, std::string& data, std::string& err);

// Writes data as the whole content of path, atomically: a temporary file in the same folder
// is written, flushed to disk and renamed over path. On failure path is untouched and no
// temporary file stays behind.
bool writeFileBinaryUtf8(const std::string& path, const std::string& data, std::string& err);

// Full path of the executable program found first on PATH; empty when there is none.
std::string findOnPath(const std::string& program);
