// Reads arbitrary bytes as a database text file into the schema's tables.
// A text that reads must write, read back and write again to the same bytes.
#include "data/database.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Database db;
    db.Init();
    if (!db.Read(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;

    std::string first;
    if (!db.Write(first, KindSelector::All))
        __builtin_trap();
    Database again;
    again.Init();
    std::string second;
    if (!again.Read(first) || !again.Write(second, KindSelector::All) || second != first)
        __builtin_trap();

    std::string part;
    if (!db.Write(part, KindSelector::Master) || !db.Write(part, KindSelector::Mission))
        __builtin_trap();
    return 0;
}
