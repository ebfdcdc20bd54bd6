// Binding of Dear ImGui to an SFML render window: input events in, draw lists out
// through the window's own OpenGL context (fixed-function pipeline).
#pragma once
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/Time.hpp>
#include <SFML/Window/Event.hpp>

namespace ImGui {
namespace SFML {

// Creates the ImGui context for the window, maps keys, cursors and the clipboard
// (also for data/paths.h readFromClipboard/writeToClipboard). With loadDefaultFont the
// built-in font is added and uploaded; otherwise the caller adds fonts and calls
// UpdateFontTexture. Returns false when the window has no usable GL context.
bool Init(sf::RenderWindow& window, bool loadDefaultFont = true);
void ProcessEvent(const sf::Event& event);
// Feeds display size, time, mouse and modifiers, sets the cursor, then starts a frame.
void Update(sf::RenderWindow& window, sf::Time dt);
// Ends the frame and draws it into the window (call between clear and display).
void Render(sf::RenderWindow& window);
// Releases the font texture, cursors and clipboard hooks and destroys the context.
void Shutdown();
// (Re)builds the font atlas and uploads it as the font texture.
bool UpdateFontTexture();

}  // namespace SFML
}  // namespace ImGui
