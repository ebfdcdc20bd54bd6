// Pictures of match candidates for the table's hover preview: where a candidate's picture
// comes from, and one background worker that reads or fetches it, decodes it and keeps the
// result in a small memory cache. The frame only asks and draws; nothing here blocks it, and
// nothing is written to disk (media/ holds only what the user chose to download or copy).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GameInfo;

// Decoded pixels, 4 bytes (RGBA) per pixel, rows top to bottom.
struct PreviewPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

// Where the picture of one candidate is looked for, first that exists.
struct PreviewSource {
    int32_t appid = 0;           // a store candidate; 0 for a local folder
    std::string localFolder;     // a local candidate's folder: its first picture by name
    std::string mediaDir;        // the row's media/<name>/, empty when the name has no folder
    std::string candidateName;   // the store name info.txt heads its sheet with
    bool downloadedFor = false;  // the row's files were fetched for this appid in this run
};

// The source of a row's candidate k (k within the list).
PreviewSource previewSourceOf(const GameInfo& g, size_t k);

// Pictures are kept at most this size: the tooltip shows the 616 x 353 capsule at half size.
constexpr uint32_t kPreviewMaxWidth = 308;
constexpr uint32_t kPreviewMaxHeight = 177;
// Decoded pictures kept in memory; failures are remembered for the rest of the run.
constexpr size_t kPreviewCacheSize = 64;
// Requests waiting for the worker; older ones are dropped (a later hover asks again).
constexpr size_t kPreviewPendingMax = 16;

constexpr int32_t kPreviewLoading = 0;
constexpr int32_t kPreviewReady = 1;
constexpr int32_t kPreviewFailed = 2;

struct PreviewView {
    int32_t state = kPreviewLoading;
    std::shared_ptr<const PreviewPicture> picture;  // kPreviewReady
    std::string error;                              // kPreviewFailed: why, for "无法获取图片："
};

// Turns file bytes into pixels; false with err for what it cannot decode. The window layer
// gives the real one; it runs on the worker thread.
using PreviewDecoder = bool (*)(const std::string& bytes, PreviewPicture& out, std::string& err);

// Starts the worker (once; again after previewStop). Frame thread.
void previewStart(PreviewDecoder decode);
// Raises the worker's cancel flag (ending a fetch in flight), joins it and empties the cache.
void previewStop();
// Frame thread: the picture's state; an unknown source is queued, newest first.
PreviewView previewGet(const PreviewSource& src);
// Bytes of pixels held by the cache.
size_t previewCacheBytes();

// A copy scaled down (box filter) to fit maxWidth x maxHeight, keeping its proportions; a
// picture that fits is returned unchanged.
PreviewPicture scalePictureToFit(const PreviewPicture& in, uint32_t maxWidth, uint32_t maxHeight);
