// Reads arbitrary bytes as rows of the "Gischt" and "Explosion" tables (the
// scalar columns and the spray curves, points of x, y and mode) and runs the
// spray and the animations over them. Whatever the values, nothing reads
// outside a curve, divides by zero or overflows, and a curve with points
// evaluates at every time.
#include "data/generated/terrain_tables.h"
#include "data/spray_curves.h"
#include "view/screen_effects.h"
#include "view/spray.h"
#include "world/world.h"

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
    float F32() {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    World world;
    WorldScope scope(world);
    GischtTable::Clear();
    ExplosionTable::Clear();
    SprayCurves::Clear();
    const int32_t kind = int32_t(in.U32() % 16);
    GischtRow* row = GischtTable::GetOrCreateRow(kind);
    row->LifeTime = int32_t(in.U32());
    row->CreationInterval = int32_t(in.U32());
    row->WaitInterval = int32_t(in.U32());
    row->SoundOffset = int32_t(in.U32());
    for (int c = 0; c < 8; ++c) {
        const uint32_t points = in.U32() % 13;
        ValueTable table;
        table.Resize(3, points);
        for (uint32_t p = 0; p < points; ++p)
            for (uint32_t k = 0; k < 3; ++k)
                table.SetCell(k, p, in.F32());
        SprayCurves::Set(kind, SprayCurveId(c), table);
    }
    InvalidateSprayCurves();
    for (const SplineCurve& curve : SprayKindCurves(kind))
        for (float t : {-1.0f, 0.0f, 0.25f, 0.5f, 1.0f, 2.0f, in.F32()})
            (void)curve.Evaluate(t);

    AddSpraySource(0, 0, uint8_t(kind), uint8_t(in.U32() % 4));
    uint32_t now = in.U32();
    for (int step = 0; step < 8; ++step) {
        UpdateSpray(now);
        for (const SprayInstance& s : SprayOf().instances) {
            SprayQuad q;
            SprayPassQuad(s, now, step & 1, 10.0f, 10.0f, 1.0f, 64.0f, float(in.U32() % 512), q);
        }
        now += in.U32() % 100000;
    }

    ExplosionRow* explosion = ExplosionTable::GetOrCreateRow(1);
    explosion->AnimationTime = int32_t(in.U32());
    explosion->NrOfFrames = int32_t(in.U32());
    AnimationEffect animation(0, 0, int32_t(in.U32() % 9), int32_t(in.U32() % 9), 1, in.U32(), in.U32());
    for (int step = 0; step < 8; ++step) {
        const uint32_t t = in.U32();
        (void)animation.FrameAt(t);
        (void)animation.IsDone(t);
    }
    (void)LookOfAmount(int32_t(in.U32()), in.U32(), int32_t(in.U32()));
    GischtTable::Clear();
    ExplosionTable::Clear();
    SprayCurves::Clear();
    InvalidateSprayCurves();
    return 0;
}
