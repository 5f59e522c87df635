// The engine's error channel: every failed device call and refused request
// is reported as (result code, source line) through one callback, and the
// operation returns false, 0 or null; nothing throws.
#pragma once

#include <cstdint>
#include <string>

struct Surface;

namespace Engine {

// The debug log's category of the engine's reports.
inline constexpr uint32_t kEngineLogCategory = 0x0100;

// The name of a result code, "Unknown Error" for codes not in the table.
const char* ErrorName(int32_t result);

// The report text for a result, its source line and the time text (which
// ends in a line break).
std::string FormatEngineError(int32_t result, int32_t line, const char* timeText);

// The default error callback: writes the report to the debug log.
void ReportEngineError(int32_t result, int32_t line);

// Calls the error callback when one is set.
void ReportError(int32_t result, int32_t line);

// Reports a failed call on a surface; a lost surface is restored and
// reloaded and reported only when that fails. Always false.
bool CheckResult(int32_t result, int32_t line, Surface* surface);

// Reloads a restored surface's pixels from its backup (engine surfaces).
bool ReloadSurface(Surface* surface);

} // namespace Engine
