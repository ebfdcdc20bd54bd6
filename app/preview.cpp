#include "app/preview.h"

#include "data/game.h"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <imgui-SFML.h>
#include <imgui.h>

#include <cstring>
#include <list>
#include <memory>

namespace {

// Textures of the pictures shown lately, newest first; a picture replaced in the cache gets a
// new texture, since the entry holds the picture it was made from.
struct ShownTexture {
    std::shared_ptr<const PreviewPicture> picture;
    sf::Texture texture;
};
constexpr size_t kShownTexturesMax = 16;
std::list<ShownTexture> gShownTextures;

const sf::Texture* textureOf(const std::shared_ptr<const PreviewPicture>& pic) {
    for (auto it = gShownTextures.begin(); it != gShownTextures.end(); ++it) {
        if (it->picture != pic) continue;
        gShownTextures.splice(gShownTextures.begin(), gShownTextures, it);
        return &gShownTextures.front().texture;
    }
    ShownTexture t;
    t.picture = pic;
    if (!t.texture.resize({pic->width, pic->height})) return nullptr;
    t.texture.update(pic->rgba.data());
    t.texture.setSmooth(true);
    gShownTextures.push_front(std::move(t));
    if (gShownTextures.size() > kShownTexturesMax) gShownTextures.pop_back();
    return &gShownTextures.front().texture;
}

}  // namespace

bool decodePreviewPicture(const std::string& bytes, PreviewPicture& out, std::string& err) {
    sf::Image img;
    if (bytes.empty() || !img.loadFromMemory(bytes.data(), bytes.size())) {
        err = "图片格式无法显示";
        return false;
    }
    out.width = img.getSize().x;
    out.height = img.getSize().y;
    const size_t n = static_cast<size_t>(out.width) * out.height * 4;
    out.rgba.assign(img.getPixelsPtr(), img.getPixelsPtr() + n);
    return true;
}

void startCandidatePreviews() { previewStart(decodePreviewPicture); }

void stopCandidatePreviews() {
    previewStop();
    gShownTextures.clear();
}

void candidatePreviewTooltip(const GameInfo& g, size_t k) {
    if (k >= g.candidates.size()) return;
    if (!ImGui::IsItemHovered(ImGuiHoveredFlags_DelayNormal | ImGuiHoveredFlags_AllowWhenDisabled)) return;
    const MatchCandidate& c = g.candidates[k];
    const PreviewView v = previewGet(previewSourceOf(g, k));
    ImGui::BeginTooltip();
    if (v.state == kPreviewReady) {
        if (const sf::Texture* t = textureOf(v.picture)) ImGui::Image(*t);
    } else if (v.state == kPreviewLoading) {
        ImGui::TextUnformatted("加载中…");
    } else {
        ImGui::TextUnformatted(("无法获取图片：" + v.error).c_str());
    }
    ImGui::TextUnformatted(c.name.c_str());
    if (c.appid != 0) ImGui::Text("AppID: %d", c.appid);
    ImGui::Text("匹配相似度：%.0f%%", static_cast<double>(c.score) * 100.0);
    ImGui::EndTooltip();
}
