#include "world/headquarter.h"

#include "data/generated/tables.h"
#include "data/number_format.h"
#include "files/chunk_stream.h"
#include "platform/endian.h"
#include "world/data_text.h"
#include "world/game_clock.h"
#include "world/headquarter_registry.h"
#include "world/money.h"
#include "world/packed_field.h"
#include "world/player.h"
#include "world/prices.h"
#include "world/world.h"
#include "world/world_warnings.h"

#include <array>

namespace {

constexpr uint32_t kTagParts = ChunkTag("hdq1");
constexpr uint32_t kTags[] = {kTagParts};

// The current world's headquarters by owner, and the year's graphic index
// that their sprites were last chosen for.
struct HeadquarterRegistry final : WorldPart {
    static constexpr WorldPartId kPartId = WorldPartId::Headquarters;
    std::array<Headquarter*, kPlayerSlotCount> byOwner{};
    int32_t gfxIndex = 0;
};

HeadquarterRegistry& Registry() {
    return CurrentWorld().Part<HeadquarterRegistry>();
}

float PartCostSum(uint32_t parts) {
    float sum = 0.0f;
    for (uint32_t bit = 0; bit < Headquarter::kPartCount; ++bit) {
        if (parts >> bit & 1u)
            sum += float(GetHeadquarterBaseCosts(int32_t(bit)));
    }
    return sum;
}

// The year-dependent graphic-set index of a Headquarter row.
int32_t YearGfxIndex(int32_t row) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    if (!part)
        return -1;
    const ValueTable& sets = part->GrafikSet;
    const GameClock* clock = GetGameClock();
    const int64_t year = clock ? clock->GetCurrentYear() : kFirstYear;
    if (sets.RowCount() > 1) {
        for (uint32_t r = 1; r < sets.RowCount(); ++r) {
            if (year < sets.IntCell(0, r))
                return sets.IntCell(1, r - 1);
        }
        return sets.IntCell(1, sets.RowCount() - 1);
    }
    return sets.IntCell(1, 0);
}

} // namespace

Headquarter::~Headquarter() {
    for (Headquarter*& entry : Registry().byOwner) {
        if (entry == this)
            entry = nullptr;
    }
}

void Headquarter::AddPart(uint32_t bit) {
    if (bit >= kPartCount || HasFlag(bit))
        return;
    parts_ |= 1u << bit;
    ++partCount_;
}

void Headquarter::SetOwner(uint8_t slot) {
    MapObject::SetOwner(slot);
    Register();
}

void Headquarter::Register() {
    for (Headquarter*& entry : Registry().byOwner) {
        if (entry == this)
            entry = nullptr;
    }
    if (owner_ < 0 || owner_ >= int32_t(kPlayerSlotCount)) {
        WorldWarning("headquarters %u: owner %d is no player slot", id_, owner_);
        return;
    }
    Registry().byOwner[size_t(owner_)] = this;
}

void Headquarter::OnNewMonth() {
    Player* player = GetPlayer(uint32_t(owner_));
    if (!player)
        return;
    const float sum = PartCostSum(parts_);
    player->Pay(-SaturateToInt64(sum), 2, 1);
    if (StaticServices().showAmountAtTile)
        StaticServices().showAmountAtTile(x_, y_, -SaturateToInt64(sum));
}

void Headquarter::Serialize() {
    Building::Serialize();
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != kTagParts)
            return;
        TransferPackedSized<8>(
            [this](uint8_t* bytes) {
                plat::StoreLE32(bytes, parts_);
                plat::StoreLE32(bytes + 4, partCount_);
            },
            [this](const uint8_t* bytes) {
                parts_ = plat::LoadLE32(bytes);
                partCount_ = plat::LoadLE32(bytes + 4);
            });
    });
    if (StreamMode() == kStreamLoad) {
        // The part count follows from the parts; a damaged one would pick a
        // graphic that does not exist.
        parts_ &= 0x1Fu;
        const uint32_t added = uint32_t(__builtin_popcount(parts_ & 0x1Eu));
        if (partCount_ != added) {
            WorldWarning("headquarters %u: part count %u repaired to %u", id_, partCount_, added);
            partCount_ = added;
        }
        Register();
    }
}

void Headquarter::GetInfoText(std::string& out) const {
    out += GetHeadquarterToolTip(0);
    out += "\n\n";
    for (uint32_t bit = 0; bit < kPartCount; ++bit) {
        if (HasFlag(bit)) {
            out += GetHeadquarterName(int32_t(bit));
            out += "\n";
        }
    }
    out += "\n";
    out += FillFormat(GetHeadquarterToolTip(1), FormatNumber(SaturateToInt32(PartCostSum(parts_))));
    const Player* player = GetPlayer(uint32_t(owner_));
    out += "\n\n";
    out += FillFormat(GetHeadquarterToolTip(2), player ? player->GetCompanyName() : std::string());
    out += "\n";
    out += FillFormat(GetHeadquarterToolTip(3), player ? player->GetManagerName() : std::string());
}

SpriteRef Headquarter::GetGraphic() const {
    const int32_t index = GetHeadquarterGfxIndex();
    if (index != Registry().gfxIndex) {
        Registry().gfxIndex = index;
        if (StaticServices().requestObjectRedraw)
            StaticServices().requestObjectRedraw();
    }
    SpriteRef sprite;
    sprite.set = 9;
    sprite.number = int32_t(partCount_);
    sprite.colourFolder = index;
    return sprite;
}

Headquarter* GetPlayerHeadquarter(uint32_t slot) {
    return slot < Registry().byOwner.size() ? Registry().byOwner[slot] : nullptr;
}

bool PlayerHeadquarterHasPart(uint32_t slot, uint32_t bit) {
    const Headquarter* headquarter = GetPlayerHeadquarter(slot);
    return headquarter && headquarter->HasFlag(bit);
}

float GetHeadquarterModifier(int32_t row) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    return part ? part->Modifier : 0.0f;
}

void ResetHeadquarters() {
    Registry().byOwner.fill(nullptr);
    Registry().gfxIndex = 0;
}

int32_t GetHeadquarterGfxIndex() {
    switch (CurrentRegion()) {
    case 1:
        return YearGfxIndex(0);
    case 2:
    case 4:
        return YearGfxIndex(0) + 3;
    default:
        return 0;
    }
}

int32_t GetHeadquarterGrafikSet(int32_t row, uint32_t r, uint32_t c) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    return part ? part->GrafikSet.IntCell(c, r) : -1;
}

std::string GetHeadquarterToolTip(int32_t row) {
    const ToolTip_HeadquarterRow* tip = ToolTip_HeadquarterTable::Find(row);
    return tip ? WithLineBreaks(tip->Text) : std::string();
}

std::string GetHeadquarterName(int32_t row) {
    const HeadquarterRow* part = HeadquarterTable::Find(row);
    return part ? WithLineBreaks(part->Name) : std::string();
}
