#include "data/type_code.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<TypeCode, std::string_view>, 10> kTypeNames{{
    {5, "MASTER_FLAG"},
    {9, "MASTER_VALUE"},
    {17, "MASTER_STRING"},
    {19, "MASTER_STRXLAT"},
    {33, "MASTER_TABLE"},
    {4, "Mission_Flag"},
    {8, "Mission_Value"},
    {16, "Mission_String"},
    {18, "Mission_StrXlat"},
    {32, "Mission_Table"},
}};

} // namespace

std::string_view TypeName(TypeCode code) {
    for (const auto& [c, name] : kTypeNames)
        if (c == code)
            return name;
    return {};
}

TypeCode TypeFromName(std::string_view name) {
    for (const auto& [c, n] : kTypeNames)
        if (n == name)
            return c;
    return 0;
}
