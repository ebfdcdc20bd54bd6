// The binding against a real window. Needs an X display (the CTest run uses Xvfb);
// without one the tests are skipped.
#include "app/imgui_sfml.h"

#include "data/paths.h"

#include <SFML/Graphics.hpp>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cstdlib>
#include <memory>

namespace {

struct BindingTest : ::testing::Test {
    std::unique_ptr<sf::RenderWindow> window;
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        window = std::make_unique<sf::RenderWindow>(sf::VideoMode(256, 256), "binding test");
        ASSERT_TRUE(ImGui::SFML::Init(*window, true));
        ImGui::GetIO().IniFilename = nullptr;
    }
    void TearDown() override {
        if (!window) return;
        ImGui::SFML::Shutdown();
        window->close();
    }
    sf::Image frameImage() {
        sf::Texture tex;
        tex.create(256, 256);
        tex.update(*window);
        return tex.copyToImage();
    }
};

sf::Event key(sf::Event::EventType type, sf::Keyboard::Key code) {
    sf::Event e;
    e.type = type;
    e.key = sf::Event::KeyEvent{code, false, false, false, false};
    return e;
}

TEST_F(BindingTest, DrawListsAboveSixtyFiveThousandVertices) {
    ImGui::SFML::Update(*window, sf::milliseconds(16));
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(256, 256));
    ImGui::Begin("big", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoBackground);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    // 40,000 one-pixel quads (160,000 vertices) in one list; only the last ones are red.
    for (int i = 0; i < 40000; ++i) {
        const float x = static_cast<float>(i % 200), y = static_cast<float>((i / 200) % 200);
        const ImU32 col = i >= 39800 ? IM_COL32(255, 0, 0, 255) : IM_COL32(0, 255, 0, 255);
        dl->AddRectFilled(ImVec2(x, y), ImVec2(x + 1, y + 1), col);
    }
    ImGui::End();
    window->clear(sf::Color::Black);
    ImGui::SFML::Render(*window);
    EXPECT_GT(ImGui::GetDrawData()->TotalVtxCount, 65536);
    const sf::Image img = frameImage();
    EXPECT_EQ(img.getPixel(5, 199), sf::Color::Red);     // from the last quads
    EXPECT_EQ(img.getPixel(5, 100), sf::Color::Green);
    EXPECT_EQ(img.getPixel(230, 230), sf::Color::Black);  // nothing drawn there
}

TEST_F(BindingTest, EventsReachImGui) {
    ImGuiIO& io = ImGui::GetIO();
    sf::Event text;
    text.type = sf::Event::TextEntered;
    for (sf::Uint32 c : {0x4E2Du, 0x01u, 0x41u, 0x1F600u}) {  // Ctrl+A arrives as 0x01 and is dropped
        text.text.unicode = c;
        ImGui::SFML::ProcessEvent(text);
    }
    ImGui::SFML::ProcessEvent(key(sf::Event::KeyPressed, sf::Keyboard::LControl));
    sf::Event wheel;
    wheel.type = sf::Event::MouseWheelScrolled;
    wheel.mouseWheelScroll = {sf::Mouse::VerticalWheel, -2.0f, 10, 10};
    ImGui::SFML::ProcessEvent(wheel);
    sf::Event press;
    press.type = sf::Event::MouseButtonPressed;
    press.mouseButton = {sf::Mouse::Left, 40, 50};
    ImGui::SFML::ProcessEvent(press);
    sf::Event release = press;
    release.type = sf::Event::MouseButtonReleased;
    ImGui::SFML::ProcessEvent(release);  // pressed and released within one frame

    ASSERT_GE(io.InputQueueCharacters.Size, 3);
    EXPECT_EQ(io.InputQueueCharacters[0], 0x4E2D);
    EXPECT_EQ(io.InputQueueCharacters[1], 0x41);
    ImGui::SFML::Update(*window, sf::milliseconds(16));
    EXPECT_TRUE(io.KeyCtrl);
    EXPECT_FALSE(io.KeyShift);
    EXPECT_TRUE(io.MouseDown[0]);
    EXPECT_EQ(io.MousePos.x, 40.0f);
    EXPECT_EQ(io.MousePos.y, 50.0f);
    EXPECT_EQ(io.MouseWheel, -2.0f);
    EXPECT_TRUE(io.KeysDown[io.KeyMap[ImGuiKey_Space]] == false);
    ImGui::Render();

    ImGui::SFML::ProcessEvent(key(sf::Event::KeyReleased, sf::Keyboard::LControl));
    ImGui::SFML::Update(*window, sf::milliseconds(16));
    EXPECT_FALSE(io.KeyCtrl);
    EXPECT_FALSE(io.MouseDown[0]);  // the latched click lasted one frame
    ImGui::Render();
}

TEST_F(BindingTest, ClipboardRoundTripsUtf8AndIsUnhookedAtShutdown) {
    writeToClipboard("中文 text ✓");
    EXPECT_EQ(readFromClipboard(), "中文 text ✓");
    ImGuiIO& io = ImGui::GetIO();
    io.SetClipboardTextFn(nullptr, "来自 ImGui");
    EXPECT_EQ(std::string(io.GetClipboardTextFn(nullptr)), "来自 ImGui");
    ImGui::SFML::Shutdown();
    EXPECT_EQ(readFromClipboard(), "");
    ASSERT_TRUE(ImGui::SFML::Init(*window, true));  // for TearDown
}

}  // namespace
