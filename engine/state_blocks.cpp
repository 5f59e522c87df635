#include "engine/state_blocks.h"
#include "engine/device_setup.h"
#include "engine/engine_error.h"
#include "engine/engine_result.h"
#include "engine/quad_draw.h"
#include "engine/surface.h"

#include <array>

namespace Engine {

namespace {

// Source lines of the error reports, one per call site.
constexpr int32_t kLineCreateDevice = 3930;
constexpr int32_t kLineApplyStateBlock = 3416;
constexpr int32_t kLineSetTexture = 3389;
constexpr int32_t kLineEnd2D = 4134;
constexpr int32_t kLineBegin2D = 4148;
constexpr int32_t kLineFinish = 4174;

std::array<plat::RenderState, kStateBlockCount> gBlocks;
bool gRecorded = false;

} // namespace

plat::RenderState ResolveStateBlock(int32_t index, const DeviceCaps& caps) {
    using plat::BlendFactor;
    using plat::CompareFunc;
    plat::RenderState s;
    if (index < 0 || index >= kStateBlockCount)
        return s;
    const bool wrap = index & 1;
    const bool tint = (index >> 1) & 1;
    const int texMode = (index >> 2) & 3;
    const bool linear = (index >> 4) & 1;
    const bool alphaTest = (index >> 5) & 1;
    const int blend = index >> 6;

    switch (blend) {
    case 0:
        s.blendEnable = false;
        break;
    case 1:
        s = {.blendEnable = true, .srcBlend = BlendFactor::SrcAlpha, .dstBlend = BlendFactor::InvSrcAlpha};
        break;
    case 2:
        s = {.blendEnable = true, .srcBlend = BlendFactor::One, .dstBlend = BlendFactor::InvSrcAlpha};
        break;
    case 3:
        s = {.blendEnable = true, .srcBlend = BlendFactor::InvSrcAlpha, .dstBlend = BlendFactor::SrcAlpha};
        break;
    default:
        // Colour multiply. Blending is switched on here as well, so the
        // block does not depend on which block was applied before it.
        s = {.blendEnable = true, .srcBlend = BlendFactor::DestColor, .dstBlend = BlendFactor::Zero};
        break;
    }

    if (alphaTest) {
        if (blend == 3) {
            if (caps.alphaLessEqual)
                s.alphaTestEnable = true, s.alphaFunc = CompareFunc::LessEqual, s.alphaRef = 254;
            else if (caps.alphaLess)
                s.alphaTestEnable = true, s.alphaFunc = CompareFunc::Less, s.alphaRef = 255;
        } else {
            if (caps.alphaGreaterEqual)
                s.alphaTestEnable = true, s.alphaFunc = CompareFunc::GreaterEqual, s.alphaRef = 1;
            else if (caps.alphaGreater)
                s.alphaTestEnable = true, s.alphaFunc = CompareFunc::Greater, s.alphaRef = 0;
        }
    }
    if (!s.alphaTestEnable)
        s.alphaFunc = CompareFunc::Always, s.alphaRef = 0;

    s.linearFilter = linear;
    s.textureMode = static_cast<uint8_t>(texMode);
    // Without a texture the vertex colour is drawn as it is.
    s.tint = texMode != 0 && tint;
    // Under colour multiply a tinted single texture adds the vertex colour.
    s.tintAdd = s.tint && blend == 4 && texMode == 1;
    s.wrap = wrap;
    return s;
}

DeviceCaps CapsFromDevice(const plat::RenderCaps& c) {
    using plat::AlphaCompareBit;
    using plat::CompareFunc;
    DeviceCaps d;
    d.texturePow2 = c.pow2Only;
    d.textureSquareOnly = c.squareOnly;
    d.textureNonPow2Conditional = c.nonPow2Conditional;
    d.maxTextureWidth = c.maxTextureWidth;
    d.maxTextureHeight = c.maxTextureHeight;
    d.alphaGreaterEqual = (c.alphaCompares & AlphaCompareBit(CompareFunc::GreaterEqual)) != 0;
    d.alphaGreater = (c.alphaCompares & AlphaCompareBit(CompareFunc::Greater)) != 0;
    d.alphaLessEqual = (c.alphaCompares & AlphaCompareBit(CompareFunc::LessEqual)) != 0;
    d.alphaLess = (c.alphaCompares & AlphaCompareBit(CompareFunc::Less)) != 0;
    d.canCalibrateGamma = c.hasGamma;
    d.no2DDuring3DScene = false;
    return d;
}

bool CreateDevice() {
    EngineState& s = State();
    if (s.device == nullptr) {
        ReportError(EngineResult::kNotInitialized, kLineCreateDevice);
        return false;
    }
    for (int32_t stage = 0; stage < 3; ++stage) {
        s.device->BindTexture(stage, plat::kNoTexture);
        s.stageSurface[size_t(stage)] = nullptr;
    }
    s.caps = CapsFromDevice(s.device->Caps());
    return RecordStateBlocks();
}

bool RecordStateBlocks() {
    const EngineState& s = State();
    for (int32_t i = 0; i < kStateBlockCount; ++i)
        gBlocks[size_t(i)] = ResolveStateBlock(i, s.caps);
    gRecorded = true;
    State().cachedStateBlock = -1;
    return true;
}

bool StateBlocksRecorded() {
    return gRecorded;
}

void ReleaseStateBlocks() {
    gRecorded = false;
    State().cachedStateBlock = -1;
}

const plat::RenderState& RecordedStateBlock(int32_t index) {
    return gBlocks[size_t(index >= 0 && index < kStateBlockCount ? index : 0)];
}

bool detail::ApplyNewStateBlock(int32_t handle) {
    EngineState& s = State();
    if (handle < 0 || handle >= kStateBlockCount || !gRecorded || s.device == nullptr) {
        ReportError(EngineResult::kInvalidArg, kLineApplyStateBlock);
        return false;
    }
    FlushQuads(); // batched quads belong to the configuration before
    if (!s.device->ApplyState(gBlocks[size_t(handle)])) {
        ReportError(EngineResult::kFail, kLineApplyStateBlock);
        return false;
    }
    s.cachedStateBlock = handle;
    return true;
}

bool detail::BindNewStageTexture(const Surface* surface, int32_t stage) {
    EngineState& s = State();
    if (stage < 0 || stage >= int32_t(s.stageSurface.size())) {
        ReportError(EngineResult::kInvalidArg, kLineSetTexture);
        return false;
    }
    FlushQuads();
    if (s.device == nullptr ||
        !s.device->BindTexture(stage, surface ? surface->deviceTexture : plat::kNoTexture))
        return CheckResult(EngineResult::kFail, kLineSetTexture, const_cast<Surface*>(surface));
    s.stageSurface[size_t(stage)] = surface;
    if (surface != nullptr && surface->hasTextureRecord)
        s.stageRecord[size_t(stage)] = surface->texture;
    ++s.textureChanges;
    return true;
}

bool EndScene() {
    EngineState& s = State();
    FlushQuads();
    s.cachedStateBlock = -1;
    return s.device != nullptr && s.device->EndScene();
}

bool End2D() {
    EngineState& s = State();
    if (!s.caps.no2DDuring3DScene)
        return true;
    if (s.device == nullptr || !s.device->EndScene()) {
        ReportError(EngineResult::kFail, kLineEnd2D);
        return false;
    }
    return true;
}

bool Begin2D() {
    EngineState& s = State();
    if (!s.caps.no2DDuring3DScene)
        return true;
    if (s.device == nullptr || !s.device->BeginScene()) {
        ReportError(EngineResult::kFail, kLineBegin2D);
        return false;
    }
    return true;
}

int32_t Finish3DPipeline() {
    EngineState& s = State();
    if (s.device == nullptr || !s.device->Finish()) {
        CheckResult(EngineResult::kFail, kLineFinish, s.backBuffer);
        return EngineResult::kFail;
    }
    return EngineResult::kOk;
}

} // namespace Engine
