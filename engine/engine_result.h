// Result codes of the engine's error channel. The engine keeps the classic
// display-interface codes so that logs and callers read the same numbers
// whichever device backend draws; backends map their own failures onto them.
#pragma once

#include <cstdint>

namespace EngineResult {

constexpr int32_t Code(uint32_t value) {
    return int32_t(value);
}
constexpr int32_t Display(uint32_t n) {
    return Code(0x88760000u + n);
}

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = Code(0x80004005);        // named "DDERR_GENERIC"
inline constexpr int32_t kNotImpl = Code(0x80004001);     // "DDERR_UNSUPPORTED"
inline constexpr int32_t kNoInterface = Code(0x80004002); // "E_NOINTERFACE"
inline constexpr int32_t kOutOfMemory = Code(0x8007000E); // "DDERR_OUTOFMEMORY"
inline constexpr int32_t kInvalidArg = Code(0x80070057);  // "DDERR_INVALIDPARAMS"
inline constexpr int32_t kNotInitialized = Code(0x800401F0);

inline constexpr int32_t kExclusiveModeAlreadySet = Display(581);
inline constexpr int32_t kInvalidRect = Display(150);
inline constexpr int32_t kNoExclusiveMode = Display(225);
inline constexpr int32_t kNotFound = Display(255);
inline constexpr int32_t kOutOfVideoMemory = Display(380);
inline constexpr int32_t kSurfaceLost = Display(450);
inline constexpr int32_t kTooBigSize = Display(480);
inline constexpr int32_t kWasStillDrawing = Display(540);
inline constexpr int32_t kWrongMode = Display(587);

} // namespace EngineResult
