// A sized field whose payload is a packed little-endian record (several
// values back to back, no padding). Storing encodes the current values;
// loading decodes what the file held over them, so a shorter stored field
// leaves the later values as they were.
#pragma once

#include "files/chunk_stream.h"

#include <cstdint>

template <uint32_t Size, typename Encode, typename Decode>
void TransferPackedSized(Encode&& encode, Decode&& decode) {
    uint8_t bytes[Size] = {};
    encode(bytes);
    TransferSized(bytes, Size);
    if (StreamMode() == kStreamLoad)
        decode(static_cast<const uint8_t*>(bytes));
}
