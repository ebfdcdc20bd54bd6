#include "app/imgui_sfml.h"

#include "data/paths.h"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Clipboard.hpp>
#include <SFML/Window/Cursor.hpp>
#include <SFML/Window/Keyboard.hpp>
#include <SFML/Window/Mouse.hpp>

#include <imgui.h>

#include <array>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>

namespace {

struct BindingState {
    GLuint fontTexture = 0;
    // A press and its release can arrive within one frame; the latch makes ImGui see the click.
    std::array<bool, 5> mousePressed{};
    std::array<bool, 5> mouseHeld{};
    ImVec2 mousePos{-FLT_MAX, -FLT_MAX};
    ImGuiMouseCursor lastCursor = ImGuiMouseCursor_COUNT;
    bool cursorHidden = false;
    std::string clipboardText;  // keeps the text handed to ImGui alive until the next call
};

BindingState* gBinding = nullptr;

std::string sfToUtf8(const sf::String& s) {
    const std::basic_string<sf::Uint8> bytes = s.toUtf8();
    return std::string(bytes.begin(), bytes.end());
}

sf::String utf8ToSf(const std::string& s) {
    return sf::String::fromUtf8(s.begin(), s.end());
}

const char* getClipboardText(void*) {
    if (!gBinding) return "";
    gBinding->clipboardText = sfToUtf8(sf::Clipboard::getString());
    return gBinding->clipboardText.c_str();
}

void setClipboardText(void*, const char* text) {
    sf::Clipboard::setString(utf8ToSf(text ? std::string(text) : std::string()));
}

void mapKeys(ImGuiIO& io) {
    static const std::pair<ImGuiKey, sf::Keyboard::Key> MAP[] = {
        {ImGuiKey_Tab, sf::Keyboard::Tab},          {ImGuiKey_LeftArrow, sf::Keyboard::Left},
        {ImGuiKey_RightArrow, sf::Keyboard::Right}, {ImGuiKey_UpArrow, sf::Keyboard::Up},
        {ImGuiKey_DownArrow, sf::Keyboard::Down},   {ImGuiKey_PageUp, sf::Keyboard::PageUp},
        {ImGuiKey_PageDown, sf::Keyboard::PageDown}, {ImGuiKey_Home, sf::Keyboard::Home},
        {ImGuiKey_End, sf::Keyboard::End},          {ImGuiKey_Insert, sf::Keyboard::Insert},
        {ImGuiKey_Delete, sf::Keyboard::Delete},    {ImGuiKey_Backspace, sf::Keyboard::Backspace},
        {ImGuiKey_Space, sf::Keyboard::Space},      {ImGuiKey_Enter, sf::Keyboard::Enter},
        {ImGuiKey_Escape, sf::Keyboard::Escape},    {ImGuiKey_KeyPadEnter, sf::Keyboard::Enter},
        {ImGuiKey_A, sf::Keyboard::A},              {ImGuiKey_C, sf::Keyboard::C},
        {ImGuiKey_V, sf::Keyboard::V},              {ImGuiKey_X, sf::Keyboard::X},
        {ImGuiKey_Y, sf::Keyboard::Y},              {ImGuiKey_Z, sf::Keyboard::Z},
    };
    for (const auto& [imKey, sfKey] : MAP) io.KeyMap[imKey] = static_cast<int>(sfKey);
}

using CursorSet = std::array<std::unique_ptr<sf::Cursor>, ImGuiMouseCursor_COUNT>;

// Loaded once and kept for the whole process: a window keeps using the cursor last set
// on it, so freeing one while a window still shows it makes X reject later requests.
const CursorSet& systemCursors() {
    static const CursorSet CURSORS = [] {
        static const std::pair<ImGuiMouseCursor, sf::Cursor::Type> MAP[] = {
            {ImGuiMouseCursor_Arrow, sf::Cursor::Arrow},
            {ImGuiMouseCursor_TextInput, sf::Cursor::Text},
            {ImGuiMouseCursor_ResizeAll, sf::Cursor::SizeAll},
            {ImGuiMouseCursor_ResizeNS, sf::Cursor::SizeVertical},
            {ImGuiMouseCursor_ResizeEW, sf::Cursor::SizeHorizontal},
            {ImGuiMouseCursor_ResizeNESW, sf::Cursor::SizeBottomLeftTopRight},
            {ImGuiMouseCursor_ResizeNWSE, sf::Cursor::SizeTopLeftBottomRight},
            {ImGuiMouseCursor_Hand, sf::Cursor::Hand},
            {ImGuiMouseCursor_NotAllowed, sf::Cursor::NotAllowed},
        };
        CursorSet set;
        for (const auto& [imCursor, type] : MAP) {
            auto c = std::make_unique<sf::Cursor>();
            if (c->loadFromSystem(type)) set[static_cast<size_t>(imCursor)] = std::move(c);
        }
        return set;
    }();
    return CURSORS;
}

int mouseIndex(sf::Mouse::Button button) {
    switch (button) {
        case sf::Mouse::Left: return 0;
        case sf::Mouse::Right: return 1;
        case sf::Mouse::Middle: return 2;
        case sf::Mouse::XButton1: return 3;
        case sf::Mouse::XButton2: return 4;
        default: return -1;
    }
}

void updateCursor(sf::RenderWindow& window, BindingState& b, const ImGuiIO& io) {
    if (io.ConfigFlags & ImGuiConfigFlags_NoMouseCursorChange) return;
    const ImGuiMouseCursor want = ImGui::GetMouseCursor();
    const bool hide = io.MouseDrawCursor || want == ImGuiMouseCursor_None;
    if (hide != b.cursorHidden) {
        window.setMouseCursorVisible(!hide);
        b.cursorHidden = hide;
    }
    if (hide || want == b.lastCursor) return;
    b.lastCursor = want;
    const CursorSet& cursors = systemCursors();
    const sf::Cursor* c = cursors[static_cast<size_t>(want)].get();
    if (!c) c = cursors[ImGuiMouseCursor_Arrow].get();
    if (c) window.setMouseCursor(*c);
}

void setupRenderState(const ImDrawData* dd, int fbWidth, int fbHeight) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);

    glViewport(0, 0, fbWidth, fbHeight);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float l = dd->DisplayPos.x, r = dd->DisplayPos.x + dd->DisplaySize.x;
    const float t = dd->DisplayPos.y, btm = dd->DisplayPos.y + dd->DisplaySize.y;
    glOrtho(l, r, btm, t, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void renderDrawData(const ImDrawData* dd) {
    const int fbWidth = static_cast<int>(dd->DisplaySize.x * dd->FramebufferScale.x);
    const int fbHeight = static_cast<int>(dd->DisplaySize.y * dd->FramebufferScale.y);
    if (fbWidth <= 0 || fbHeight <= 0) return;
    setupRenderState(dd, fbWidth, fbHeight);

    const ImVec2 off = dd->DisplayPos;
    const ImVec2 scale = dd->FramebufferScale;
    constexpr GLenum IDX_TYPE = sizeof(ImDrawIdx) == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    for (int n = 0; n < dd->CmdListsCount; ++n) {
        const ImDrawList* list = dd->CmdLists[n];
        const ImDrawVert* vtx = list->VtxBuffer.Data;
        const ImDrawIdx* idx = list->IdxBuffer.Data;
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback) {
                if (cmd.UserCallback == ImDrawCallback_ResetRenderState)
                    setupRenderState(dd, fbWidth, fbHeight);
                else
                    cmd.UserCallback(list, &cmd);
                continue;
            }
            const float x1 = (cmd.ClipRect.x - off.x) * scale.x, y1 = (cmd.ClipRect.y - off.y) * scale.y;
            const float x2 = (cmd.ClipRect.z - off.x) * scale.x, y2 = (cmd.ClipRect.w - off.y) * scale.y;
            if (x2 <= x1 || y2 <= y1) continue;
            glScissor(static_cast<GLint>(x1), static_cast<GLint>(static_cast<float>(fbHeight) - y2),
                      static_cast<GLsizei>(x2 - x1), static_cast<GLsizei>(y2 - y1));
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(reinterpret_cast<intptr_t>(cmd.GetTexID())));
            // VtxOffset lets one list exceed 65,536 vertices with 16-bit indices: each
            // command's indices count from its own base vertex.
            const ImDrawVert* base = vtx + cmd.VtxOffset;
            const char* bytes = reinterpret_cast<const char*>(base);
            glVertexPointer(2, GL_FLOAT, sizeof(ImDrawVert), bytes + offsetof(ImDrawVert, pos));
            glTexCoordPointer(2, GL_FLOAT, sizeof(ImDrawVert), bytes + offsetof(ImDrawVert, uv));
            glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ImDrawVert), bytes + offsetof(ImDrawVert, col));
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(cmd.ElemCount), IDX_TYPE, idx + cmd.IdxOffset);
        }
    }
}

}  // namespace

namespace ImGui {
namespace SFML {

bool Init(sf::RenderWindow& window, bool loadDefaultFont) {
    if (!window.isOpen() || !window.setActive(true)) return false;
    if (gBinding) Shutdown();
    ImGui::CreateContext();
    gBinding = new BindingState();
    ImGuiIO& io = ImGui::GetIO();
    io.BackendPlatformName = "kestrelbox_sfml";
    io.BackendRendererName = "kestrelbox_gl_fixed";
    io.BackendFlags |= ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_RendererHasVtxOffset;
    mapKeys(io);
    io.SetClipboardTextFn = setClipboardText;
    io.GetClipboardTextFn = getClipboardText;
    setClipboardBackend([] { return sfToUtf8(sf::Clipboard::getString()); },
                        [](const std::string& s) { sf::Clipboard::setString(utf8ToSf(s)); });
    systemCursors();
    const sf::Vector2u size = window.getSize();
    io.DisplaySize = ImVec2(static_cast<float>(size.x), static_cast<float>(size.y));
    if (loadDefaultFont) {
        io.Fonts->AddFontDefault();
        if (!UpdateFontTexture()) {
            Shutdown();
            return false;
        }
    }
    return true;
}

void ProcessEvent(const sf::Event& event) {
    if (!gBinding) return;
    ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
        case sf::Event::MouseMoved:
            gBinding->mousePos = ImVec2(static_cast<float>(event.mouseMove.x), static_cast<float>(event.mouseMove.y));
            break;
        case sf::Event::MouseLeft:
            gBinding->mousePos = ImVec2(-FLT_MAX, -FLT_MAX);
            break;
        case sf::Event::MouseButtonPressed:
        case sf::Event::MouseButtonReleased: {
            const int i = mouseIndex(event.mouseButton.button);
            if (i < 0) break;
            const bool down = event.type == sf::Event::MouseButtonPressed;
            if (down) gBinding->mousePressed[static_cast<size_t>(i)] = true;
            gBinding->mouseHeld[static_cast<size_t>(i)] = down;
            gBinding->mousePos = ImVec2(static_cast<float>(event.mouseButton.x), static_cast<float>(event.mouseButton.y));
            break;
        }
        case sf::Event::MouseWheelScrolled:
            if (event.mouseWheelScroll.wheel == sf::Mouse::VerticalWheel) io.MouseWheel += event.mouseWheelScroll.delta;
            else io.MouseWheelH += event.mouseWheelScroll.delta;
            break;
        case sf::Event::KeyPressed:
        case sf::Event::KeyReleased: {
            const int code = static_cast<int>(event.key.code);
            if (code >= 0 && code < static_cast<int>(IM_ARRAYSIZE(io.KeysDown)))
                io.KeysDown[code] = event.type == sf::Event::KeyPressed;
            break;
        }
        case sf::Event::TextEntered: {
            // Committed text of input methods arrives here too, one code point per event.
            const sf::Uint32 c = event.text.unicode;
            if (c >= 32 && c != 127) io.AddInputCharacter(c);
            break;
        }
        case sf::Event::GainedFocus:
            io.AddFocusEvent(true);
            break;
        case sf::Event::LostFocus:
            // Keys released while another window has focus never reach us.
            for (bool& k : io.KeysDown) k = false;
            gBinding->mouseHeld.fill(false);
            io.AddFocusEvent(false);
            break;
        default:
            break;
    }
}

void Update(sf::RenderWindow& window, sf::Time dt) {
    if (!gBinding) return;
    ImGuiIO& io = ImGui::GetIO();
    const sf::Vector2u size = window.getSize();
    io.DisplaySize = ImVec2(static_cast<float>(size.x), static_cast<float>(size.y));
    io.DeltaTime = dt.asSeconds() > 0.0f ? dt.asSeconds() : 1.0f / 1000.0f;
    io.MousePos = gBinding->mousePos;
    for (size_t i = 0; i < gBinding->mousePressed.size(); ++i) {
        io.MouseDown[i] = gBinding->mousePressed[i] || gBinding->mouseHeld[i];
        gBinding->mousePressed[i] = false;
    }
    io.KeyCtrl = io.KeysDown[sf::Keyboard::LControl] || io.KeysDown[sf::Keyboard::RControl];
    io.KeyShift = io.KeysDown[sf::Keyboard::LShift] || io.KeysDown[sf::Keyboard::RShift];
    io.KeyAlt = io.KeysDown[sf::Keyboard::LAlt] || io.KeysDown[sf::Keyboard::RAlt];
    io.KeySuper = io.KeysDown[sf::Keyboard::LSystem] || io.KeysDown[sf::Keyboard::RSystem];
    updateCursor(window, *gBinding, io);
    ImGui::NewFrame();
}

void Render(sf::RenderWindow& window) {
    ImGui::Render();
    if (!gBinding || !window.setActive(true)) return;
    window.pushGLStates();
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    renderDrawData(ImGui::GetDrawData());
    glPopClientAttrib();
    window.popGLStates();
}

void Shutdown() {
    if (!gBinding) return;
    if (gBinding->fontTexture) glDeleteTextures(1, &gBinding->fontTexture);
    setClipboardBackend(nullptr, nullptr);
    delete gBinding;
    gBinding = nullptr;
    ImGui::DestroyContext();
}

bool UpdateFontTexture() {
    if (!gBinding) return false;
    ImGuiIO& io = ImGui::GetIO();
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    if (!pixels || width <= 0 || height <= 0) return false;
    if (gBinding->fontTexture) glDeleteTextures(1, &gBinding->fontTexture);
    gBinding->fontTexture = 0;
    glGenTextures(1, &gBinding->fontTexture);
    if (!gBinding->fontTexture) return false;
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, gBinding->fontTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(gBinding->fontTexture)));
    return true;
}

}  // namespace SFML
}  // namespace ImGui
