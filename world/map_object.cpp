#include "world/map_object.h"

#include "files/chunk_stream.h"
#include "platform/endian.h"

#include <array>

void MapObject::SerializeOwnChunk() {
    static constexpr uint32_t kTags[] = {ChunkTag("gob1")};
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != ChunkTag("gob1") && tag != ChunkTag("data"))
            return;
        // Id, category and subtype are written for readers of the file; the
        // loaded object keeps the identity of its class and slot.
        std::array<int32_t, 8> fields = {int32_t(id_), category_,  subtype_, x_,
                                         y_,           typeIndex_, owner_,   int32_t(highlighted_)};
        uint8_t bytes[32];
        for (size_t i = 0; i < fields.size(); ++i)
            plat::StoreLE32(bytes + 4 * i, uint32_t(fields[i]));
        TransferSized(bytes, sizeof bytes);
        if (StreamMode() != kStreamLoad)
            return;
        x_ = int32_t(plat::LoadLE32(bytes + 12));
        y_ = int32_t(plat::LoadLE32(bytes + 16));
        typeIndex_ = int32_t(plat::LoadLE32(bytes + 20));
        owner_ = int32_t(plat::LoadLE32(bytes + 24));
        highlighted_ = plat::LoadLE32(bytes + 28);
    });
}
