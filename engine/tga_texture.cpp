#include "engine/tga_texture.h"

#include "engine/tga_reader.h"

#include <vector>

namespace {

std::string& TextureFile() {
    static std::string name;
    return name;
}

// Names the file while its texture is made.
class CurrentFileScope {
public:
    explicit CurrentFileScope(std::string_view path) { TextureFile() = std::string(path); }
    ~CurrentFileScope() { TextureFile().clear(); }
    CurrentFileScope(const CurrentFileScope&) = delete;
    CurrentFileScope& operator=(const CurrentFileScope&) = delete;
};

} // namespace

TextureHandle MakeTextureFromPixels(const uint32_t* pixels, int32_t format, Engine::TextureSize* info,
                                    bool useKey, int32_t shift, int32_t width, int32_t height,
                                    int32_t pitch) {
    uint32_t key = 0;
    const bool keyed = useKey && FindKeyColour(pixels, width, height, pitch, format, key);
    return Engine::CreateTexture(width, height, format, shift, pixels, pitch, keyed ? &key : nullptr, info);
}

TextureHandle LoadTgaTexture(std::string_view path, int32_t format, Engine::TextureSize* info, bool useKey,
                             int32_t shift) {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels = ReadTgaFile(path, width, height);
    if (pixels.empty())
        return 0;
    CurrentFileScope scope(path);
    return MakeTextureFromPixels(pixels.data(), format, info, useKey, shift, width, height, width * 4);
}

TextureHandle LoadTgaTextureFromMemory(const void* data, size_t size, int32_t format,
                                       Engine::TextureSize* info, bool useKey, int32_t shift) {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels = ReadTga(data, size, width, height);
    if (pixels.empty())
        return 0;
    return MakeTextureFromPixels(pixels.data(), format, info, useKey, shift, width, height, width * 4);
}

const std::string& CurrentTextureFile() {
    return TextureFile();
}
