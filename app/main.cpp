// Kestrelbox entry point: the window, the GUI binding and the frame loop.
//
// Test-only automation hooks (used by the screenshot test and demos, not by users):
//   KESTRELBOX_SCREENSHOT=<file.png>  save the window after a few frames and exit with 0
//   KESTRELBOX_SCREENSHOT_FRAMES=<n>  frames to draw before that screenshot (default 8)
//   KESTRELBOX_AUTOLOAD=1             press 读取数据 in the first frame
//   KESTRELBOX_NO_DIALOG=1            start-up failures go to stderr only (no dialog that waits)
//   KESTRELBOX_FONTS=<a>:<b>          font files tried instead of the built-in list (';' on Windows)
#include "app/frame.h"
#include "app/preview.h"
#include "app/startup.h"
#include "data/jobs.h"
#include "data/paths.h"

#include <SFML/Graphics.hpp>
#include <SFML/Window/Clipboard.hpp>
#include <imgui-SFML.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "Kestrelbox 1";  // 12 characters
constexpr int kScreenshotFrames = 8;
constexpr const char* kBindingFailed = "ImGui::SFML 初始化失败";

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::string(v) != "0";
}

// A small kestrel head: rust-coloured disc, slate crown, pale cheek, dark eye and beak.
sf::Image makeIcon(unsigned size) {
    sf::Image img({size, size}, sf::Color::Transparent);
    const float s = static_cast<float>(size);
    auto inside = [](float x, float y, float cx, float cy, float r) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
    for (unsigned y = 0; y < size; ++y) {
        for (unsigned x = 0; x < size; ++x) {
            const float fx = (static_cast<float>(x) + 0.5f) / s, fy = (static_cast<float>(y) + 0.5f) / s;
            if (!inside(fx, fy, 0.5f, 0.5f, 0.47f)) continue;
            sf::Color c(196, 98, 45);
            if (fy < 0.38f) c = sf::Color(96, 110, 140);
            if (inside(fx, fy, 0.42f, 0.62f, 0.16f)) c = sf::Color(240, 232, 214);
            if (fx > 0.68f && fx < 0.95f && std::fabs(fy - 0.5f) < (0.95f - fx) * 0.5f) c = sf::Color(50, 50, 56);
            if (inside(fx, fy, 0.58f, 0.42f, 0.07f)) c = sf::Color(20, 20, 24);
            img.setPixel({x, y}, c);
        }
    }
    return img;
}

bool saveScreenshot(sf::RenderWindow& window, const std::string& path) {
    sf::Texture tex;
    if (!tex.resize(window.getSize())) return false;
    tex.update(window);
    return tex.copyToImage().saveToFile(path);
}

// The system's font folder, or where Windows usually keeps its fonts when the system has none.
std::string fontFolder() {
    const std::string folder = systemFontFolder();
    return folder.empty() ? kWindowsFontFolder : folder;
}

std::vector<std::string> startupFonts(const std::string& folder) {
    const char* env = std::getenv("KESTRELBOX_FONTS");
    if (!env) return fontCandidates(folder);
    std::vector<std::string> fonts;
    const std::string list = env;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(kPathListSeparator, start), list.size());
        if (end > start) fonts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return fonts;
}

int runLoop(sf::RenderWindow& window) {
    const char* shotEnv = std::getenv("KESTRELBOX_SCREENSHOT");
    const std::string screenshot = shotEnv ? shotEnv : "";
    bool autoload = envSet("KESTRELBOX_AUTOLOAD");
    const char* framesEnv = std::getenv("KESTRELBOX_SCREENSHOT_FRAMES");
    const int shotFrame = framesEnv && std::atoi(framesEnv) > 0 ? std::atoi(framesEnv) : kScreenshotFrames;
    FrameState st;
    sf::Clock clock;
    int frames = 0;
    int exitCode = 0;
    while (window.isOpen()) {
        while (const std::optional<sf::Event> event = window.pollEvent()) {
            ImGui::SFML::ProcessEvent(window, *event);
            if (event->is<sf::Event::Closed>()) window.close();
        }
        ImGui::SFML::Update(window, clock.restart());
        if (autoload) {
            readDataAction();
            autoload = false;
        }
        drawFrame(st);
        window.clear(sf::Color(30, 30, 30));
        ImGui::SFML::Render(window);
        if (!screenshot.empty() && ++frames == shotFrame) {
            if (!saveScreenshot(window, screenshot)) {
                std::fprintf(stderr, "Kestrelbox: 截图保存失败 %s\n", screenshot.c_str());
                exitCode = 1;
            }
            window.close();
        }
        if (window.isOpen()) window.display();
    }
    return exitCode;
}

// Clipboard text goes out as UTF-8 made valid (malformed bytes become U+FFFD), both from
// the program's own copy actions and from ImGui's text fields.
void writeClipboardText(const std::string& utf8) {
    sf::Clipboard::setString(sf::String(utf8ToWide(utf8)));
}

void installClipboard() {
    setClipboardBackend(
        [] {
            const auto bytes = sf::Clipboard::getString().toUtf8();
            return std::string(bytes.begin(), bytes.end());
        },
        writeClipboardText);
    ImGui::GetPlatformIO().Platform_SetClipboardTextFn = [](ImGuiContext*, const char* text) {
        writeClipboardText(text ? text : "");
    };
}

}  // namespace

int main() {
    const bool dialogs = !envSet("KESTRELBOX_NO_DIALOG") && !envSet("KESTRELBOX_SCREENSHOT");
    if (!desktopAvailable()) {
        reportStartupError(kBindingFailed, false);
        return -1;
    }
    std::optional<sf::RenderWindow> window;
    try {
        window.emplace(sf::VideoMode({1200, 800}, 32), kTitle, sf::Style::Default);
    } catch (const std::exception&) {
        // Reported below like any other window that did not open.
    }
    if (!window || !window->isOpen() || !ImGui::SFML::Init(*window, false)) {
        reportStartupError(kBindingFailed, dialogs);
        return -1;
    }
    window->setFramerateLimit(60);
    window->setIcon(makeIcon(64));
    configureGuiContext();
    installClipboard();
    const std::string fonts = fontFolder();
    if (loadChineseFont(startupFonts(fonts), fonts).empty()) {
        reportStartupError("未能加载任何系统中文字体\n请确认 C:/Windows/Fonts/ 存在 msyh.ttc 或 simsun.ttc", dialogs);
        // The window goes first: the binding frees the cursors a live window may still show.
        window->close();
        ImGui::SFML::Shutdown();
        return -1;
    }

    startCandidatePreviews();
    const int code = runLoop(*window);
    // Jobs still running get their cancel flags and are joined before the GUI goes away;
    // the loop has closed the window, so the binding's cursors are no longer in use.
    shutdownJobs();
    stopCandidatePreviews();
    window->close();
    ImGui::SFML::Shutdown();
    return code;
}
