// The hover preview's decoder: what the window library reads, and a reason for what it does not.
#include "app/preview.h"

#include <gtest/gtest.h>

#include <SFML/Graphics/Image.hpp>

#include <optional>
#include <string>

namespace {

// A 3 x 2 picture in the format, encoded by the window library itself.
std::string encoded(const std::string& format) {
    sf::Image img({3, 2}, sf::Color(10, 200, 30));
    const std::optional<std::vector<std::uint8_t>> bytes = img.saveToMemory(format);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

TEST(PreviewDecode, FormatsAndReasons) {
    // The smallest GIF: one 1 x 1 frame whose only colour is red.
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
                          ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 35);
    struct Row {
        const char* what;
        std::string bytes;
        bool ok;
        uint32_t width;
        uint8_t red;
    } rows[] = {
        {"png", encoded("png"), true, 3, 10},
        {"jpeg", encoded("jpg"), true, 3, 0},  // lossy: only its size is checked
        {"bmp", encoded("bmp"), true, 3, 10},
        {"gif", gif, true, 1, 255},
        {"webp head", std::string("RIFF\x10\x00\x00\x00WEBPVP8 ", 16), false, 0, 0},
        {"html", "<html>not found</html>", false, 0, 0},
        {"empty", "", false, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ASSERT_FALSE(r.ok && r.bytes.empty()) << "the window library did not encode it";
        PreviewPicture pic;
        std::string err;
        EXPECT_EQ(decodePreviewPicture(r.bytes, pic, err), r.ok);
        if (!r.ok) {
            EXPECT_EQ(err, "图片格式无法显示");
            continue;
        }
        EXPECT_EQ(pic.width, r.width);
        EXPECT_EQ(pic.rgba.size(), static_cast<size_t>(pic.width) * pic.height * 4);
        if (r.red) {
            EXPECT_EQ(pic.rgba[0], r.red);
        }
    }
}

}  // namespace
