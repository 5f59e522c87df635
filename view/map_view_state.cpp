#include "view/map_view_state.h"

#include "data/generated/terrain_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "view/random_table.h"
#include "world/map_object.h"
#include "world/player.h"
#include "world/yearly_modifiers.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kWindowPart1Tag = ChunkTag("WP1");
constexpr uint32_t kWindowPart2Tag = ChunkTag("WP2");
constexpr uint32_t kWaterBlockBytes = WaterAnimation::kBytes * kWaterAnimationCount;

float LoadFloat(const uint8_t* p) {
    const uint32_t bits = plat::LoadLE32(p);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

void StoreFloat(uint8_t* p, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    plat::StoreLE32(p, bits);
}

float Finite(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

// A number of a colour list truncated toward zero; -1 for a missing one.
uint32_t ColourNumber(const ValueTable& table, uint32_t i) {
    const float value = table.RowCount() == 1 ? table.Cell(i, 0) : table.Cell(0, i);
    if (!std::isfinite(value) || value >= 2147483648.0f || value < -2147483648.0f)
        return 0xFFFFFFFFu;
    return uint32_t(int32_t(value));
}

struct ColourCaches {
    std::array<uint32_t, kPlayerColourCount> players{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                                                     0xFFFF00FFu};
    bool playersBuilt = false;
    std::array<uint32_t, 64> water{};
    uint32_t waterRows = 0;
    bool waterBuilt = false;
};

ColourCaches& Caches() {
    static ColourCaches caches;
    return caches;
}

std::array<uint32_t, 2048>& Variations() {
    static std::array<uint32_t, 2048> table{};
    return table;
}

} // namespace

void WaterAnimation::Encode(uint8_t* out) const {
    plat::StoreLE32(out + 0, periodA);
    plat::StoreLE32(out + 4, periodB);
    const float floats[12] = {shiftAU,    shiftAV,    shiftBU,    shiftBV,    waveAStepX, waveAStepY,
                              waveBStepX, waveBStepY, amplitudeX, amplitudeY, turnsA,     turnsB};
    for (int i = 0; i < 12; ++i)
        StoreFloat(out + 8 + 4 * i, floats[i]);
    plat::StoreLE32(out + 56, colour);
    plat::StoreLE32(out + 60, textureA);
    plat::StoreLE32(out + 64, textureB);
    plat::StoreLE32(out + 68, textureC);
}

void WaterAnimation::Decode(const uint8_t* in) {
    periodA = plat::LoadLE32(in + 0);
    periodB = plat::LoadLE32(in + 4);
    float* floats[12] = {&shiftAU,    &shiftAV,    &shiftBU,    &shiftBV,    &waveAStepX, &waveAStepY,
                         &waveBStepX, &waveBStepY, &amplitudeX, &amplitudeY, &turnsA,     &turnsB};
    for (int i = 0; i < 12; ++i)
        *floats[i] = LoadFloat(in + 8 + 4 * i);
    colour = plat::LoadLE32(in + 56);
    textureA = plat::LoadLE32(in + 60);
    textureB = plat::LoadLE32(in + 64);
    textureC = plat::LoadLE32(in + 68);
}

WaterAnimation WaterAnimation::Sanitised() const {
    WaterAnimation s = *this;
    s.periodA = periodA ? periodA : 1;
    s.periodB = periodB ? periodB : 1;
    for (float* f : {&s.shiftAU, &s.shiftAV, &s.shiftBU, &s.shiftBV, &s.waveAStepX, &s.waveAStepY,
                     &s.waveBStepX, &s.waveBStepY, &s.amplitudeX, &s.amplitudeY, &s.turnsA, &s.turnsB})
        *f = Finite(*f);
    return s;
}

bool MapViewState::SetPlayerColourShown(uint32_t p, bool on) {
    if (p >= kPlayerColourCount)
        return false;
    const uint8_t value = on ? 1 : 0;
    if (colourShown[p] != value) {
        colourShown[p] = value;
        RequestPartialRedraw();
    }
    return true;
}

bool MapViewState::Serialize() {
    static constexpr uint32_t kTags[] = {kWindowPart1Tag, kWindowPart2Tag};
    bool ok = true;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag == kWindowPart1Tag) {
            TransferSizedValue(overlayFrame);
            TransferSizedValue(overlaySet);
        } else if (tag == kWindowPart2Tag) {
            uint8_t block[kWaterBlockBytes] = {};
            for (uint32_t i = 0; i < kWaterAnimationCount; ++i)
                water[i].Encode(block + i * WaterAnimation::kBytes);
            TransferSized(block, kWaterBlockBytes);
            // A short block keeps the tail it had.
            if (StreamMode() == kStreamLoad)
                for (uint32_t i = 0; i < kWaterAnimationCount; ++i)
                    water[i].Decode(block + i * WaterAnimation::kBytes);
        }
    });
    ok = !StreamFailed();
    return ok;
}

MapViewState& MapViewOf(World& world) {
    return world.Attached<MapViewState>();
}

uint32_t GetPlayerColour(uint32_t index) {
    ColourCaches& c = Caches();
    if (!c.playersBuilt) {
        // Fewer than five rows keep the colours as they are.
        bool complete = true;
        for (uint32_t i = 0; i < kPlayerColourCount; ++i)
            complete = complete && PlayerColorTable::Find(int32_t(i)) != nullptr;
        if (complete)
            for (uint32_t i = 0; i < kPlayerColourCount; ++i) {
                const ValueTable& t = PlayerColorTable::Find(int32_t(i))->Color;
                c.players[i] = ColourNumber(t, 0) << 24 | (ColourNumber(t, 1) & 0xFF) << 16 |
                               (ColourNumber(t, 2) & 0xFF) << 8 | (ColourNumber(t, 3) & 0xFF);
            }
        c.playersBuilt = true;
    }
    return index < kPlayerColourCount ? c.players[index] : 0xFFFFFFFFu;
}

void InvalidatePlayerColours() {
    Caches().playersBuilt = false;
}

uint32_t GetWaterColour(uint32_t index) {
    ColourCaches& c = Caches();
    if (!c.waterBuilt) {
        const int32_t rows = std::min<int32_t>(WaterColorTable::RowCount(), 64);
        c.waterRows = uint32_t(std::max(rows, 0));
        for (uint32_t i = 0; i < c.waterRows; ++i) {
            const WaterColorRow* row = WaterColorTable::Find(int32_t(i));
            if (!row) {
                c.water[i] = 0xFF000000u;
                continue;
            }
            c.water[i] = 0xFF000000u | (ColourNumber(row->Color, 0) & 0xFF) << 16 |
                         (ColourNumber(row->Color, 1) & 0xFF) << 8 | (ColourNumber(row->Color, 2) & 0xFF);
        }
        c.waterBuilt = true;
    }
    return index < c.waterRows ? c.water[index] : 0xFF000000u;
}

int32_t GetPlayerDrawColour(uint32_t p, bool force, World& world) {
    if (p >= kPlayerColourCount)
        return -1;
    if (!MapViewOf(world).colourShown[p] && !force)
        return -1;
    if (p == 4)
        return int32_t(GetPlayerColour(4));
    WorldScope scope(world);
    const Player* player = GetPlayer(p);
    if (!player)
        return -1;
    return int32_t(GetPlayerColour(player->GetColourIndex()));
}

void InitMapViewTables() {
    Caches().water.fill(0xFFFFFFFFu);
    Caches().waterBuilt = false;
    for (uint32_t& word : Variations())
        word = RandomTable();
}

const std::array<uint32_t, 2048>& TerrainVariations() {
    return Variations();
}

const std::array<float, 256>& SineTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        const float k = 40.743664f;
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = std::sin(float(i) / k);
        return t;
    }();
    return table;
}

const std::array<LayoutRect, 26>& GetZoomLayoutRecord(int32_t variant) {
    static const std::array<std::array<LayoutRect, 26>, 3> records = [] {
        std::array<std::array<LayoutRect, 26>, 3> r{};
        for (int32_t v = 0; v < 3; ++v) {
            const int32_t c = 64 >> v;
            for (int32_t k = 1; k <= 16; ++k) {
                LayoutRect& e = r[size_t(v)][size_t(k)];
                e.left = ((k - 1) % 4) * c;
                e.top = ((k - 1) / 4) * c;
                e.right = e.left + c;
                e.bottom = e.top + c;
            }
            r[size_t(v)][0] = r[size_t(v)][16];
        }
        return r;
    }();
    return records[size_t(std::clamp(variant, 0, 2))];
}

int32_t GetObjectOwnerColour(const MapObject& object, World& world) {
    if (const uint32_t highlight = object.GetHighlight()) {
        WorldScope scope(world);
        return int32_t(GetHighlightColor(highlight));
    }
    const int32_t owner = object.GetOwner();
    const auto ownerColour = [&] {
        return owner >= 0 && owner < int32_t(kPlayerColourCount)
                   ? GetPlayerDrawColour(uint32_t(owner), false, world)
                   : -1;
    };
    switch (object.GetSubtype()) {
    case 0:
    case 2:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
        return ownerColour();
    case 1: {
        // A hidden owner leaves white under the alpha.
        const int32_t c = ownerColour();
        return int32_t(0xFF000000u | (uint32_t(c) & 0x00FFFFFFu));
    }
    default:
        return -1;
    }
}
