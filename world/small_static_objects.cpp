#include "world/small_static_objects.h"

#include "data/generated/tables.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/packed_field.h"
#include "world/player.h"
#include "world/prices.h"

namespace {
constexpr uint32_t kTagEndPiece = ChunkTag("buf1");
constexpr uint32_t kTags[] = {kTagEndPiece};
} // namespace

void WaterTower::OnNewMonth() {
    if (provisional_)
        return;
    // A tower whose owner is gone costs nobody anything.
    Player* player = GetPlayer(uint32_t(owner_));
    if (!player)
        return;
    const int32_t cost = GetWaterTowerBaseCosts(0);
    player->Pay(-int64_t(cost), 2, 1);
    if (StaticServices().showAmountAtTile)
        StaticServices().showAmountAtTile(x_, y_, -int64_t(cost));
}

void TrackEndPiece::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagEndPiece)
            return;
        TransferPackedSized<12>(
            [this](uint8_t* bytes) {
                plat::StoreLE32(bytes, nameFieldA_);
                plat::StoreLE32(bytes + 4, nameFieldB_);
                plat::StoreLE32(bytes + 8, provisional_);
            },
            [this](const uint8_t* bytes) {
                nameFieldA_ = plat::LoadLE32(bytes);
                nameFieldB_ = plat::LoadLE32(bytes + 4);
                provisional_ = plat::LoadLE32(bytes + 8);
            });
    });
}

SpriteRef TrackEndPiece::GetGraphic() const {
    SpriteRef sprite{8, kGraphicNumber, 0};
    sprite.nameFieldA = int32_t(nameFieldA_ & 0xFFu);
    sprite.nameFieldB = int32_t(nameFieldB_);
    return sprite;
}

void ClearWaterTowerTable() {
    WaterTowerTable::Clear();
}
