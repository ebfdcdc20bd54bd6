// Kestrelbox entry point: the window, the GUI binding and the frame loop.
//
// Test-only automation hooks (used by the screenshot test and demos, not by users):
//   KESTRELBOX_SCREENSHOT=<file.png>  save the window after a few frames and exit with 0
//   KESTRELBOX_SCREENSHOT_FRAMES=<n>  frames to draw before that screenshot (default 8)
//   KESTRELBOX_AUTOLOAD=1             press 读取数据 in the first frame
//   KESTRELBOX_NO_DIALOG=1            start-up failures go to stderr only (no dialog that waits)
//   KESTRELBOX_FONTS=<a>:<b>          font files tried instead of the built-in list
#include "app/frame.h"
#include "app/imgui_sfml.h"
#include "data/jobs.h"

#include <SFML/Graphics.hpp>
#include <imgui.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kTitle = "Kestrelbox 1";  // 12 characters
constexpr int kScreenshotFrames = 8;

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::string(v) != "0";
}

bool onPath(const std::string& prog) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + prog;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Runs a dialog program with an argument vector (no shell) and waits for it.
void runDialog(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return;
    int status = 0;
    waitpid(pid, &status, 0);
}

// Start-up failures: always on stderr, and in a desktop dialog where one is available.
void reportStartupError(const std::string& text) {
    std::fprintf(stderr, "Kestrelbox: %s\n", text.c_str());
    if (envSet("KESTRELBOX_NO_DIALOG") || envSet("KESTRELBOX_SCREENSHOT") || !std::getenv("DISPLAY")) return;
    if (onPath("zenity")) runDialog({"zenity", "--error", "--title=Kestrelbox", "--text=" + text});
    else if (onPath("xmessage")) runDialog({"xmessage", "-center", "-title", "Kestrelbox", text});
}

// A small kestrel head: rust-coloured disc, slate crown, pale cheek, dark eye and beak.
sf::Image makeIcon(unsigned size) {
    sf::Image img;
    img.create(size, size, sf::Color::Transparent);
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
            img.setPixel(x, y, c);
        }
    }
    return img;
}

bool saveScreenshot(sf::RenderWindow& window, const std::string& path) {
    sf::Texture tex;
    const sf::Vector2u size = window.getSize();
    if (!tex.create(size.x, size.y)) return false;
    tex.update(window);
    return tex.copyToImage().saveToFile(path);
}

std::vector<std::string> startupFonts() {
    const char* env = std::getenv("KESTRELBOX_FONTS");
    if (!env) return fontCandidates();
    std::vector<std::string> fonts;
    const std::string list = env;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
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
        sf::Event event;
        while (window.pollEvent(event)) {
            ImGui::SFML::ProcessEvent(event);
            if (event.type == sf::Event::Closed) window.close();
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

}  // namespace

int main() {
    sf::RenderWindow window(sf::VideoMode(1200, 800, 32), kTitle, sf::Style::Default);
    window.setFramerateLimit(60);
    if (!window.isOpen() || !ImGui::SFML::Init(window, false)) {
        reportStartupError("ImGui::SFML 初始化失败");
        return -1;
    }
    const sf::Image icon = makeIcon(64);
    window.setIcon(icon.getSize().x, icon.getSize().y, icon.getPixelsPtr());
    configureGuiContext();
    if (loadChineseFont(startupFonts()).empty()) {
        reportStartupError("未能加载任何系统中文字体\n请确认 C:/Windows/Fonts/ 存在 msyh.ttc 或 simsun.ttc");
        ImGui::SFML::Shutdown();
        return -1;
    }
    ImGui::SFML::UpdateFontTexture();

    const int code = runLoop(window);
    // Jobs still running get their cancel flags and are joined before the GUI goes away.
    shutdownJobs();
    ImGui::SFML::Shutdown();
    window.close();
    return code;
}
