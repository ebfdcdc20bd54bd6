#include "match/folder_match.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "data/utf8.h"
#include "match/compare.h"
#include "match/library_match.h"
#include "match/rules.h"
#include "match/score.h"
#include "match/text.h"
#include "match/title_score.h"

namespace fs = std::filesystem;

namespace {

void setMatchMsg(const std::string& m) {
    std::lock_guard<std::mutex> lk(gMatchMsgMtx);
    gMatchMsg = m;
}

// The text of a fixed buffer of cap bytes, cut without leaving a partial character at the end.
std::string formatBounded(size_t cap, const char* fmt, auto... args) {
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return std::string();
    std::string full(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(full.data(), full.size(), fmt, args...);
    full.pop_back();
    return utf8Prefix(full, cap - 1);
}

struct Folder {
    std::string name;
    std::string path;
    ChineseKey cn;
    std::string en;
    TitleUnits units;
};

struct GameKeys {
    std::string name;
    int type = 0;
    ChineseKey whole, cnPart;
    std::string wholeEn, enPart;
    std::vector<TitleUnits> forms;  // with cleaning
};

GameKeys gameKeys(const std::string& name, bool cleanTitles) {
    GameKeys k;
    k.name = name;
    if (cleanTitles) {
        k.forms = titleFormUnits(name);
        return k;
    }
    k.type = classifyNameType(name);
    if (k.type == NameType::Mixed) {
        auto [cn, en] = scriptParts(name);
        k.cnPart = makeChineseKey(cn);
        k.enPart = englishKey(en);
    } else if (k.type == NameType::Chinese) {
        k.whole = makeChineseKey(name);
    } else {
        k.wholeEn = englishKey(name);
    }
    return k;
}

float scoreKeys(const GameKeys& g, const Folder& f) {
    if (g.name == f.name) return 1.0f;
    if (!g.forms.empty()) {
        float best = 0.0f;
        for (const TitleUnits& form : g.forms) best = std::max(best, scoreTitle(form, f.units));
        return best;
    }
    if (g.type == NameType::Chinese) return compareChineseKeys(g.whole, f.cn);
    if (g.type == NameType::Mixed) return std::max(compareChineseKeys(g.cnPart, f.cn), compareEnglishKeys(g.enPart, f.en));
    return compareEnglishKeys(g.wholeEn, f.en);
}

// Resource folders are named "空洞骑士 Hollow Knight": a name and its translation, each script
// standing on its own (unlike a pool entry's single name, whose other script is left unexplained
// by a title lacking it).
TitleUnits folderUnits(const std::string& name) {
    TitleUnits u = entryUnits(name, name);
    u.oneName = false;
    return u;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace

float folderScore(const std::string& gameName, const std::string& folderName, bool cleanTitles) {
    Folder f;
    f.name = folderName;
    f.cn = makeChineseKey(folderName);
    f.en = englishKey(folderName);
    f.units = folderUnits(folderName);
    return scoreKeys(gameKeys(gameName, cleanTitles), f);
}

std::string localFolderMatch(const PanelOptions& opts) {
    auto finish = [](const std::string& m) {
        setMatchMsg(m);
        return m;
    };
    if (rowJobRunning()) return finish("匹配正在进行中，请等待完成后再试。");
    const std::string dir(opts.localDir, strnlen(opts.localDir, sizeof opts.localDir));
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) return finish("请先选择有效的资源目录。");
    if (dummyGames.empty()) return finish(kLoadGamesFirstMessage);

    std::vector<Folder> folders;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_directory(ec2)) continue;
        Folder f;
        f.name = it->path().filename().string();
        folders.push_back(std::move(f));
    }
    if (ec) return finish("无法读取资源目录: " + dir + "（" + fileErrorReason(ec) + "）");
    if (folders.empty()) return finish("资源目录下没有子文件夹。");
    // Listing order differs between file systems; name order keeps runs repeatable.
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) { return a.name < b.name; });
    for (Folder& f : folders) {
        f.path = joinPath(dir, f.name);
        f.cn = makeChineseKey(f.name);
        f.en = englishKey(f.name);
        f.units = folderUnits(f.name);
    }

    const float shown = matchThreshold(opts.simThresholdIndex);
    const float threshold = opts.cleanTitles ? rawCleanedThreshold(shown) : shown;
    int hits = 0, skipped = 0;
    const int gameCount = static_cast<int>(dummyGames.size());
    {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        for (GameInfo& g : dummyGames) {
            // A kept match is not counted as skipped: the summary's 跳过 counts kept resources.
            const MatchSkip skip =
                matchSkipOf(g.imageCount, g.textCount, g.matchedName, opts.existingResourceMode, opts.existingMatchMode);
            if (skip == MatchSkip::HasResources) ++skipped;
            if (skip != MatchSkip::None) continue;
            const GameKeys keys = gameKeys(g.name, opts.cleanTitles);
            std::vector<MatchCandidate> cands;
            for (const Folder& f : folders) {
                const float s = scoreKeys(keys, f);
                if (s >= threshold) cands.push_back(MatchCandidate{0, f.name, f.path, s});
            }
            orderCandidates(cands);
            if (opts.cleanTitles) finishCleanedList(cands);
            if (!cands.empty()) ++hits;
            installLocalResult(g, std::move(cands));
        }
    }
    return finish(formatBounded(512, "本地文件夹匹配完成\n命中: %d / %d (跳过: %d)\n子文件夹数: %d\n目录: %s", hits,
                                gameCount, skipped, static_cast<int>(folders.size()), dir.c_str()));
}

namespace {

struct CopyTask {
    std::string name;
    bool hasChoice = false;
    std::string src;
};

struct CopyCounts {
    int copied = 0;
    int skippedGames = 0;
    std::string problems;
};

// Which of the panel's type boxes covers an image extension (isImageExtension).
bool imageWanted(const PanelOptions& o, const std::string& ext) {
    if (ext == ".jpg" || ext == ".jpeg") return o.imgTypeJpg;
    if (ext == ".png") return o.imgTypePng;
    if (ext == ".bmp") return o.imgTypeBmp;
    if (ext == ".webp") return o.imgTypeWebp;
    if (ext == ".avif") return o.imgTypeAvif;
    if (ext == ".gif") return o.imgTypeGif;
    return false;
}

// Copies one game's folder; returns false when the game counts as skipped. Every file goes
// through the media writer, so a link standing at a target is replaced, never followed.
bool copyGame(const PanelOptions& opts, const CopyTask& t, const std::string& media, CopyCounts& out) {
    auto problem = [&](const std::string& line) { out.problems += "[" + t.name + "] " + line + "\n"; };
    std::error_code ec;
    const fs::file_status st = t.src.empty() ? fs::file_status(fs::file_type::not_found) : fs::status(t.src, ec);
    if (st.type() == fs::file_type::not_found || st.type() == fs::file_type::none) {
        if (ec && ec != std::errc::no_such_file_or_directory)
            problem("无法读取源目录: " + t.src + "（" + fileErrorReason(ec) + "）");
        else problem("源目录不存在: " + t.src);
        return false;
    }
    std::string rel, err;
    if (!mediaRelativePath(t.name, rel)) {
        problem(kMediaNameRefused);
        return false;
    }
    if (st.type() != fs::file_type::directory) {
        problem("无法读取源目录: " + t.src + "（" + errnoReason(ENOTDIR) + "）");
        return false;
    }
    std::vector<DirEntry> entries;
    if (!listDirUtf8(t.src, entries, err)) {
        problem("无法读取源目录: " + err);
        return false;
    }
    const std::string dst = media + rel;
    if (!ensureDirUtf8(dst, err)) {
        problem("无法创建文件夹: " + err);
        return false;
    }
    // Folders stay in the list: one named like a picture is reported by the reading below, as
    // a pipe, socket or device is, and skipped; nothing there can make the reading wait.
    std::vector<std::string> files;
    for (const DirEntry& e : entries) files.push_back(e.name);
    std::sort(files.begin(), files.end());
    const int imageLimit = opts.imageLimitIndex <= 0 ? 999999 : opts.imageLimitIndex;
    int imagesCopied = 0;
    for (const std::string& f : files) {
        const std::string ext = lowerExtension(f);
        const bool image = isImageExtension(ext);
        if (image) {
            if (!opts.matchImages || !imageWanted(opts, ext) || imagesCopied >= imageLimit) continue;
        } else if (ext != ".txt") {
            continue;
        }
        std::string data;
        if (!readFileBinaryUtf8(joinPath(t.src, f), data, err) || !writeFileBinaryUtf8(dst + "/" + f, data, err)) {
            problem("复制失败: " + err);
            continue;
        }
        ++out.copied;
        if (image) ++imagesCopied;
    }
    return true;
}

}  // namespace

std::string copyLocalResources(const PanelOptions& opts) {
    const std::string media = mediaRoot();
    std::string err;
    if (!ensureDirUtf8(media, err)) {
        const std::string m = "无法创建媒体文件夹: " + err;
        setMatchMsg(m);
        return m;
    }
    // The rows' match fields may be written by a job meanwhile: copy what is needed first.
    // One task per distinct name, since rows of one name share media/<name>/: the first ticked
    // row with a chosen folder gives the source.
    std::vector<CopyTask> tasks;
    {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        for (const GameInfo& g : dummyGames) {
            if (!g.ticked) continue;
            auto same = std::find_if(tasks.begin(), tasks.end(), [&](const CopyTask& t) { return t.name == g.name; });
            if (same != tasks.end() && same->hasChoice) continue;
            CopyTask t;
            t.name = g.name;
            t.hasChoice = g.selectedCandidate >= 0 && g.selectedCandidate < static_cast<int32_t>(g.candidates.size());
            if (t.hasChoice) t.src = g.candidates[static_cast<size_t>(g.selectedCandidate)].extra;
            if (same != tasks.end()) *same = std::move(t);
            else tasks.push_back(std::move(t));
        }
    }
    CopyCounts counts;
    std::vector<std::string> copiedGames;
    for (const CopyTask& t : tasks) {
        if (!t.hasChoice) {
            ++counts.skippedGames;
            continue;
        }
        if (copyGame(opts, t, media, counts)) copiedGames.push_back(t.name);
        else ++counts.skippedGames;
    }
    // Show the new files in the table right away, on every row of the name, ticked or not (the
    // frame thread owns these counts).
    if (!copiedGames.empty()) {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        for (const std::string& name : copiedGames)
            for (size_t r : rowsNamed(dummyGames, name)) scanMediaCounts(dummyGames[r]);
    }
    std::string m = formatBounded(512, "复制资源完成\n已复制: %d 个文件\n跳过: %d 个游戏", counts.copied,
                                  counts.skippedGames);
    if (!counts.problems.empty()) m += "\n\n" + counts.problems;
    setMatchMsg(m);
    return m;
}
