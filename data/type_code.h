// Column type codes of the game database: a bit set of master (1),
// translated (2), flag (4), value (8), string (16) and table (32). Exactly
// ten codes are valid, five master and five mission codes, each with a name
// used by the database text file.
#pragma once

#include <cstdint>
#include <string_view>

using TypeCode = uint32_t;

namespace type_code {
inline constexpr TypeCode kMaster = 1;
inline constexpr TypeCode kTranslated = 2;
inline constexpr TypeCode kFlag = 4;
inline constexpr TypeCode kValue = 8;
inline constexpr TypeCode kString = 16;
inline constexpr TypeCode kTable = 32;

inline constexpr TypeCode kMasterFlag = 5;
inline constexpr TypeCode kMasterValue = 9;
inline constexpr TypeCode kMasterString = 17;
inline constexpr TypeCode kMasterStrXlat = 19;
inline constexpr TypeCode kMasterTable = 33;
inline constexpr TypeCode kMissionFlag = 4;
inline constexpr TypeCode kMissionValue = 8;
inline constexpr TypeCode kMissionString = 16;
inline constexpr TypeCode kMissionStrXlat = 18;
inline constexpr TypeCode kMissionTable = 32;
} // namespace type_code

// The name of a valid code ("MASTER_VALUE" ...); "" for any other code.
std::string_view TypeName(TypeCode code);
// The code of a name, exact and case-sensitive; 0 for any other name.
TypeCode TypeFromName(std::string_view name);

constexpr bool IsFlagType(TypeCode c) {
    return (c & type_code::kFlag) != 0;
}
constexpr bool IsValueType(TypeCode c) {
    return (c & type_code::kValue) != 0;
}
constexpr bool IsStringType(TypeCode c) {
    return (c & type_code::kString) != 0;
}
constexpr bool IsTranslatedType(TypeCode c) {
    return (c & type_code::kTranslated) != 0;
}
constexpr bool IsTableType(TypeCode c) {
    return (c & type_code::kTable) != 0;
}

constexpr bool IsMasterType(TypeCode c) {
    return c == 5 || c == 9 || c == 17 || c == 19 || c == 33;
}
constexpr bool IsMissionType(TypeCode c) {
    return c == 4 || c == 8 || c == 16 || c == 18 || c == 32;
}
constexpr bool IsKnownType(TypeCode c) {
    return IsMasterType(c) || IsMissionType(c);
}

// Chooses columns by kind: 1 master, 2 mission, 3 all valid; any other
// value selects nothing.
enum class KindSelector : int32_t { Master = 1, Mission = 2, All = 3 };

constexpr bool KindSelects(KindSelector kind, TypeCode c) {
    switch (int32_t(kind)) {
    case 1:
        return IsMasterType(c);
    case 2:
        return IsMissionType(c);
    case 3:
        return IsKnownType(c);
    default:
        return false;
    }
}
