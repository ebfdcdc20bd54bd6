// The hover preview's worker: where a candidate's picture comes from (media/, a local folder,
// the loopback image CDN), the order of requests, what is remembered and what is kept.
#include "app/preview_logic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "data/net.h"
#include "steam/download.h"
#include "steam/store_api.h"
#include "tests/net_servers.h"
#include "tests/test_util.h"

namespace {

// Stands in for the window library's decoder: a "JPEG" whose fifth byte is its colour, as a
// 616 x 353 picture; a fifth byte of 0 is a picture it cannot read.
bool testDecode(const std::string& bytes, PreviewPicture& out, std::string& err) {
    if (bytes.size() < 5 || bytes[4] == 0) {
        err = "cannot decode";
        return false;
    }
    out.width = 616;
    out.height = 353;
    out.rgba.assign(616u * 353u * 4u, static_cast<uint8_t>(bytes[4]));
    return true;
}

std::string picture(char colour) { return std::string("\xFF\xD8\xFF\xE0", 4) + colour + std::string(60, 'x'); }

uint8_t colourOf(const PreviewView& v) { return v.picture ? v.picture->rgba[0] : 0; }

PreviewView waitFor(const PreviewSource& s) {
    PreviewView v;
    EXPECT_TRUE(kbtest::waitUntil([&] { return (v = previewGet(s)).state != kPreviewLoading; }));
    return v;
}

// The image CDN's answer: the picture of a capsule's appid, its last digit as the colour.
void capsuleAnswer(const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
    r.setContent(picture(static_cast<char>(q.path[q.path.find("/capsule") - 1])), "image/jpeg");
}

struct Preview : ::testing::Test {
    kbtest::RecordingServer cdn{{kSteamCdnHost}};
    kbtest::TempDir dir;
    void SetUp() override {
        cdn.respond(capsuleAnswer);
        previewStart(testDecode);
    }
    void TearDown() override { previewStop(); }
};

TEST_F(Preview, SourcesInOrder) {
    // media/<name>/ of a row holding a capsule of colour 'm' and an info.txt naming "Game Nine".
    const std::string media = dir.path + "media/row/";
    kbtest::writeFile(media + kCapsuleFileName, picture('m'));
    kbtest::writeFile(media + "info.txt", "Game Nine\t2020\n开发商: x\n");
    // A local folder: its first picture by name is b.png ('b'); a text and a folder come earlier.
    kbtest::writeFile(dir.path + "res/0.txt", "text");
    kbtest::writeFile(dir.path + "res/a.jpg/x", "");
    kbtest::writeFile(dir.path + "res/c.jpg", picture('c'));
    kbtest::writeFile(dir.path + "res/b.png", picture('b'));
    kbtest::writeFile(dir.path + "none/readme.txt", "text");
    kbtest::writeFile(dir.path + "bad/x.jpg", picture(0));
    cdn.respond([](const kbtest::HttpRequest& q, kbtest::HttpResponse& r) {
        if (q.path != capsulePath(7)) return capsuleAnswer(q, r);
        r.setContent("<html>not found</html>", "image/jpeg");
    });
    struct Row {
        const char* what;
        PreviewSource source;
        int32_t state;
        uint8_t colour;
        const char* error;
        bool cdnAsked;
    } rows[] = {
        {"downloaded for this appid", {.appid = 11, .mediaDir = media, .candidateName = "Other", .downloadedFor = true},
         kPreviewReady, 'm', "", false},
        {"info.txt names the candidate", {.appid = 21, .mediaDir = media, .candidateName = "Game Nine"}, kPreviewReady,
         'm', "", false},
        {"media of another game", {.appid = 31, .mediaDir = media, .candidateName = "Game Ten"}, kPreviewReady, '1', "",
         true},
        {"no media folder", {.appid = 41}, kPreviewReady, '1', "", true},
        {"downloaded, capsule missing", {.appid = 51, .mediaDir = dir.path + "media/gone/", .downloadedFor = true},
         kPreviewReady, '1', "", true},
        {"CDN page that is no picture", {.appid = 7}, kPreviewFailed, 0, "内容不是图片", true},
        {"local folder", {.localFolder = dir.path + "res"}, kPreviewReady, 'b', "", false},
        {"local folder without pictures", {.localFolder = dir.path + "none"}, kPreviewFailed, 0, "文件夹里没有图片", false},
        {"undecodable picture", {.localFolder = dir.path + "bad"}, kPreviewFailed, 0, "cannot decode", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const size_t before = cdn.requests().size();
        const PreviewView v = waitFor(r.source);
        EXPECT_EQ(v.state, r.state);
        EXPECT_EQ(colourOf(v), r.colour);
        EXPECT_NE(v.error.find(r.error), std::string::npos) << v.error;
        EXPECT_EQ(cdn.requests().size() > before, r.cdnAsked);
        // Asked again: answered from memory, a failure included.
        EXPECT_EQ(previewGet(r.source).state, r.state);
        EXPECT_EQ(cdn.requests().size() > before, r.cdnAsked);
    }
    EXPECT_EQ(cdn.requests().size(), 4u);
}

TEST_F(Preview, NewestRequestFirst) {
    cdn.hold(true);
    previewGet({.appid = 101});
    ASSERT_TRUE(kbtest::waitUntil([&] { return cdn.requests().size() == 1; }));
    // While 101 is fetched, 102, 103 and 104 are hovered; 102 again, so it is the newest.
    for (int32_t a : {102, 103, 104, 102}) previewGet({.appid = a});
    cdn.hold(false);
    // Waiting by asking would be a hover too: wait for the server instead.
    ASSERT_TRUE(kbtest::waitUntil([&] { return cdn.requests().size() == 4; }));
    waitFor({.appid = 103});
    std::vector<std::string> paths;
    for (const kbtest::HttpRequest& q : cdn.requests()) paths.push_back(q.path);
    EXPECT_EQ(paths, (std::vector<std::string>{capsulePath(101), capsulePath(102), capsulePath(104), capsulePath(103)}));
}

TEST_F(Preview, CacheKeepsTheLatestPictures) {
    const size_t one = 308u * 176u * 4u;
    for (size_t i = 0; i <= kPreviewCacheSize; ++i) waitFor({.appid = static_cast<int32_t>(1000 + i)});
    EXPECT_EQ(previewCacheBytes(), kPreviewCacheSize * one);
    // The first was used least recently: it went, and is fetched again; the second stayed.
    EXPECT_EQ(previewGet({.appid = 1001}).state, kPreviewReady);
    EXPECT_EQ(previewGet({.appid = 1000}).state, kPreviewLoading);
    waitFor({.appid = 1000});
    EXPECT_EQ(cdn.requests().size(), kPreviewCacheSize + 2);
}

TEST_F(Preview, StopEndsAFetchInFlight) {
    cdn.hold(true);
    previewGet({.appid = 5});
    ASSERT_TRUE(kbtest::waitUntil([&] { return cdn.requests().size() == 1; }));
    // The server never answers while held: only the cancel flag can end the request.
    const auto t0 = std::chrono::steady_clock::now();
    previewStop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(previewCacheBytes(), 0u);
    cdn.hold(false);
}

TEST_F(Preview, SilentCdnIsWaitedForOnce) {
    netSetTestTimeoutMs(300);
    cdn.hold(true);
    const PreviewView first = waitFor({.appid = 61});
    EXPECT_EQ(first.state, kPreviewFailed);
    EXPECT_NE(first.error.find("超时"), std::string::npos) << first.error;
    // Another appid fails at once with the same reason, without a request.
    const PreviewView second = waitFor({.appid = 62});
    EXPECT_EQ(second.error, first.error);
    EXPECT_EQ(cdn.requests().size(), 1u);
    netSetTestTimeoutMs(0);
}

TEST(PreviewScale, BoxFilterKeepsProportions) {
    struct Row {
        uint32_t w, h, outW, outH;
    } rows[] = {{616, 353, 308, 176}, {300, 100, 300, 100}, {1000, 1000, 177, 177}, {4000, 1, 308, 1}};
    for (const Row& r : rows) {
        PreviewPicture in;
        in.width = r.w;
        in.height = r.h;
        in.rgba.resize(static_cast<size_t>(r.w) * r.h * 4);
        // Left half black, right half white: the output's edges keep them, its middle averages.
        for (uint32_t y = 0; y < r.h; ++y)
            for (uint32_t x = r.w / 2; x < r.w; ++x)
                for (int c = 0; c < 4; ++c) in.rgba[(static_cast<size_t>(y) * r.w + x) * 4 + c] = 255;
        const PreviewPicture out = scalePictureToFit(in, kPreviewMaxWidth, kPreviewMaxHeight);
        EXPECT_EQ(out.width, r.outW);
        EXPECT_EQ(out.height, r.outH);
        ASSERT_EQ(out.rgba.size(), static_cast<size_t>(out.width) * out.height * 4);
        EXPECT_EQ(out.rgba.front(), 0);
        EXPECT_EQ(out.rgba.back(), 255);
    }
}

}  // namespace
