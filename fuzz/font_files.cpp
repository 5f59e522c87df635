// A font file and a font picture from arbitrary bytes: a 16-bit length, the
// font definitions (XML) of that length, then the picture (TGA). Every
// definition's size cuts the picture into a bitmap font on the Null render
// device, and a text is measured in it.
#include "engine/bitmap_font.h"
#include "engine/engine_state.h"
#include "engine/font_registry.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "engine/tga_texture.h"
#include "platform/endian.h"
#include "platform/null_render_device.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void StartEngine() {
    static plat::NullRenderDevice device;
    EngineState& s = Engine::State();
    s.device = &device;
    s.errorCallback = nullptr;
    Engine::ResetPixelFormats();
    for (int32_t f = 0; f < 6; ++f)
        s.formats[size_t(f)].supported = 1;
    Engine::SetDisplayFormat(kFormat565);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = (StartEngine(), true);
    (void)started;
    if (size < 2)
        return 0;
    const size_t xmlSize = std::min<size_t>(plat::LoadLE16(data), size - 2);
    const uint8_t* xml = data + 2;
    const uint8_t* picture = xml + xmlSize;
    const size_t pictureSize = size - 2 - xmlSize;

    FontRegistry registry;
    registry.LoadFromMemory(xml, xmlSize);
    std::vector<uint8_t> order;
    for (int c = 32; c < 256; ++c)
        order.push_back(uint8_t(c));
    const char text[] = "Marrowdale 1850-2050 \xE4\xF6\xFC";
    for (int32_t n = 0; n < registry.Count() && n < 4; ++n) {
        FontDefinition definition;
        if (!registry.GetFont(n, definition))
            continue;
        TextureHandle texture = LoadTgaTextureFromMemory(picture, pictureSize, kFormat8888, nullptr, true, 0);
        if (!texture)
            break;
        const int32_t font =
            Engine::CreateBitmapFont(texture, order.data(), int32_t(order.size()), definition.size);
        if (!font) {
            Engine::DeleteTexture(texture);
            continue;
        }
        Engine::BitmapTextWidth(font, definition.size, n & 1, text, int32_t(sizeof text - 1), 1);
    }
    Engine::FreeFontList();
    Engine::ResetTextureTable();
    return 0;
}
