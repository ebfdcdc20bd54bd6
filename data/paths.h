// Executable directory, text encodings, clipboard and the media inventory.
#pragma once
#include <functional>
#include <string>

struct GameInfo;

// Directory the program's files live in, ending in its separator ("/", or "\\" for the
// executable's folder on Windows). KESTRELBOX_DIR replaces the executable's own directory when
// set (a trailing "/" is added when missing).
// Platform part (with the system clipboard below): paths_posix.cpp or paths_win.cpp.
std::string getExeDir();


// UTF-8 to wide text (UTF-16 where wchar_t has 16 bits, as on Windows; UTF-32 elsewhere);
// malformed sequences become U+FFFD. Stops at the first zero byte.
std::wstring utf8ToWide(const std::string& s);
// Wide text back to UTF-8 (unpaired surrogates and out-of-range values become U+FFFD).
std::string wideToUtf8(const std::wstring& w);

// Clipboard as UTF-8. The window layer installs the real implementation at start-up;
// without one, reads give empty text and writes do nothing.
std::string readFromClipboard();
void writeToClipboard(const std::string& utf8);
void setClipboardBackend(std::function<std::string()> reader,
                         std::function<void(const std::string&)> writer);

// The one rule that turns a game name into its folder below media/ (every place that makes
// such a path uses it): "/" and "\\" nest folders; rel gets the components joined by "/".
// Each component loses its trailing dots and blanks, as every Windows path does ("S.T.A.L.K.E.R."
// names the folder "S.T.A.L.K.E.R"). Refused (false): only what would leave media/ or open a
// device: an empty name, an empty, "." or ".." component (so also a leading separator, as in
// UNC paths), one of only dots and blanks, a drive letter ("C:..."), a zero byte, and a device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, any case, with or without extension). The same on
// every platform, since the menu on Windows reads the folder.
bool mediaRelativePath(const std::string& name, std::string& rel);
// The line shown for a refused name.
inline constexpr char kMediaNameRefused[] =
    "游戏名不能用作 media 下的文件夹名（空的路径段、. 或 ..、开头的分隔符、盘符、零字节或 Windows 保留名），已跳过";

// <exe dir>/media/
std::string mediaRoot();

// Extension of a file name from its last dot, lower-cased (ASCII); empty when there is no dot.
std::string lowerExtension(const std::string& fileName);
// The image files of a media folder, by lowerExtension: .jpg .jpeg .png .bmp .webp .avif .gif.
bool isImageExtension(const std::string& ext);

// Counts images (isImageExtension) and .txt files directly in media/<name>/. Names the rule
// above refuses count 0 without touching the disk.
void scanMediaCounts(GameInfo& g);
