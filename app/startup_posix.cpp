#include "app/startup.h"

#include <X11/Xlib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "data/files.h"

extern char** environ;

namespace {

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

}  // namespace

void reportStartupError(const std::string& text, bool dialog) {
    std::fprintf(stderr, "Kestrelbox: %s\n", text.c_str());
    if (!dialog) return;
    if (!findOnPath("zenity").empty()) runDialog({"zenity", "--error", "--title=Kestrelbox", "--text=" + text});
    else if (!findOnPath("xmessage").empty()) runDialog({"xmessage", "-center", "-title", "Kestrelbox", text});
}

bool desktopAvailable() {
    // The probe's connection stays open until the process ends: the X server may refuse a
    // connection made right after another one closed, and the window library aborts then.
    static Display* const kProbe = XOpenDisplay(nullptr);
    return kProbe != nullptr;
}

std::string systemFontFolder() { return std::string(); }

const char kPathListSeparator = ':';
