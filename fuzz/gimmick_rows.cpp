// Reads arbitrary bytes as rows of the "Gimmick" and "GimmickCategory"
// tables and lets the extras spawn, walk and die on a small map for a
// while. Whatever the values (NaN chances, negative counts, any moving
// method or rotation count), no extra leaves a mark outside the map or
// behind it once all are deleted.
#include "data/generated/terrain_tables.h"
#include "view/gimmicks.h"
#include "world/game_clock.h"
#include "world/world.h"
#include "world/world_map.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(at < size ? data[at++] : 0) << (8 * i);
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    float F32() {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
};

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    World world;
    WorldScope scope(world);
    TerrainTable::Clear();
    TerrainTable::GetOrCreateRow(1);
    TerrainTable::GetOrCreateRow(2)->IsWater = 1;
    GimmickTable::Clear();
    GimmickCategoryTable::Clear();
    GimmickAppearances().clear();
    WorldMap& map = GetWorldMap();
    map.SetMapSize(32, 32);
    for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t v = in.U32();
        map.CellAt(v % 32, (v >> 8) % 32)->SetTerrainIndex(1 + ((v >> 16) & 1));
    }
    const int32_t types = int32_t(in.U32() % 4) + 1;
    for (int32_t t = 0; t < types; ++t) {
        GimmickRow* row = GimmickTable::GetOrCreateRow(t);
        row->Category = in.I32() % 4;
        row->ChanceToAppear = in.F32();
        row->NrOfAppearances = in.I32();
        row->LifeTime = in.I32();
        row->IdleTime = in.I32();
        row->MovingMethod = in.I32() % 6;
        row->TurnProbability = in.I32();
        row->StopProbability = in.I32();
        row->OneSquareTravelTime = in.I32();
        row->NrOfRotations = in.I32();
        row->NrOfAnimPerRot = in.I32();
        row->AnimationTime = in.I32();
        row->RegionCode = in.I32();
        GimmickCategoryRow* category = GimmickCategoryTable::GetOrCreateRow(t);
        category->AppearanceFactor = in.F32();
        category->Movement = in.I32() % 6;
        const uint32_t entries = in.U32() % 3;
        category->TerrainRestrictions.Resize(2, entries);
        for (uint32_t e = 0; e < entries; ++e) {
            category->TerrainRestrictions.SetCell(0, e, in.F32());
            category->TerrainRestrictions.SetCell(1, e, in.F32());
        }
    }
    InitGimmickTileLists();
    GimmickInputs inputs;
    inputs.year = in.U32() % 3000;
    inputs.day = in.U32() % 32;
    inputs.month = in.U32() % 12;
    inputs.idleSeconds = in.U32();
    inputs.screenWidth = int32_t(in.U32() % 2048);
    inputs.screenHeight = int32_t(in.U32() % 2048);
    uint32_t now = in.U32();
    for (int frame = 0; frame < 64; ++frame) {
        inputs.realMs = now;
        UpdateGimmicks(now, inputs);
        now += in.U32() % 500;
    }
    DeleteAllGimmicks();
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            Check(map.GetMoverOccupancy(x, y) == 0 && !map.HasFreeMoverMark(x, y));
    GimmickTable::Clear();
    GimmickCategoryTable::Clear();
    GimmickAppearances().clear();
    TerrainTable::Clear();
    return 0;
}
