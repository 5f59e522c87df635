#include "vehicles/harvester.h"

#include "data/generated/economy_tables.h"
#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "vehicles/mover_steps.h"
#include "world/catchment_parties.h"
#include "world/game_clock.h"
#include "world/object_manager.h"
#include "world/world_map.h"

#include <algorithm>

namespace {

constexpr uint32_t kTags[] = {ChunkTag("hvt1"), 0};

} // namespace

int32_t HarvestFieldIndex(int32_t bx, int32_t by, int32_t w, int32_t h, int32_t x, int32_t y) {
    if (w < 4 || h < 4 || x < bx || y < by || x >= bx + w || y >= by + h)
        return -1;
    const int32_t shortRows = by + h - 4;
    if (y < shortRows)
        return (y - by) * w + (x - bx);
    if (x >= bx + w - 4)
        return -1;
    return (h - 4) * w + (y - shortRows) * (w - 4) + (x - bx);
}

void Harvester::Init(ObjectHandle factory, int32_t x, int32_t y) {
    const uint32_t now = CurrentGameTimeMs();
    factory_ = factory;
    stepStart_ = now;
    nextStep_ = now + kStartDelayMs;
    tileX_ = previousX_ = x;
    tileY_ = previousY_ = y;
    reserved_ = 0;
    direction_ = previousDirection_ = directionBefore_ = nextDirection_ = 0;
    moved_ = 0;
    state_ = kDriving;
    harvesterId_ = GetHarvesterId();
    travelTime_ = 0;
    steps_ = 0;
    ChooseStartDirection();
    SetPosition(x, y);
    SetNextWake(nextStep_);
}

void Harvester::ChooseStartDirection() {
    direction_ = previousDirection_ = directionBefore_ = nextDirection_ = 2;
}

int32_t Harvester::GetHarvesterId() const {
    const MapObject* factory = BuildingFromId(factory_);
    const FactoryRow* row = FactoryTable::Find(factory ? factory->GetTypeIndex() : -1);
    if (!row || row->HarvesterIDTable.Cell(0, 0) == -1.0f)
        return -1;
    const ValueTable& table = row->HarvesterIDTable;
    const GameClock* clock = GetGameClock();
    const float year = clock ? float(clock->GetCurrentYear()) : 0.0f;
    uint32_t last = 0;
    for (uint32_t r = 1; r < table.RowCount() && table.Cell(0, r) <= year; ++r)
        last = r;
    return TruncateToInt(table.Cell(1, last));
}

void Harvester::Update(uint32_t now) {
    while (state_ != kDone && now >= nextStep_) {
        if (state_ == kDriving)
            Step();
        else
            state_ = kDone;
    }
    SetNextWake(nextStep_);
}

void Harvester::Step() {
    const auto* factory = dynamic_cast<const Building*>(BuildingFromId(factory_));
    if (!factory) {
        Finish();
        return;
    }
    const int32_t bx = factory->GetX(), by = factory->GetY();
    const int32_t w = factory->GetWidth(), h = factory->GetHeight();
    ++steps_;
    moved_ = 0;
    const int32_t nx = tileX_ + MaskDx(direction_), ny = tileY_ + MaskDy(direction_);
    // The sweep ends where its next tile leaves the footprint: after the
    // last field for an even number of rows, and after a detour over the
    // corner for an odd one. A field too small to sweep, or a machine that
    // has driven more tiles than the footprint holds, stops as well.
    if (w < kHarvesterMinimumWidth || h < kHarvesterMinimumHeight || nx < bx || ny < by || nx >= bx + w ||
        ny >= by + h || int64_t(steps_) > int64_t(w) * h) {
        Finish();
        return;
    }
    uint8_t turn = 0;
    switch (direction_) {
    case 4:
        turn = nx == bx ? 2 : 8;
        break;
    case 8:
        turn = nx == bx && ny < by + h - 1 ? 4 : 8;
        break;
    case 2:
        turn = (ny < by + h - 4 && nx == bx + w - 1) || (ny >= by + h - 4 && nx == bx + w - 5) ? 4 : 2;
        break;
    default:
        break;
    }
    const int32_t index = HarvestFieldIndex(bx, by, w, h, nx, ny);
    if (index >= 0)
        if (auto* farm = dynamic_cast<FactoryBase*>(BuildingFromId(factory_)))
            farm->SetFieldStage(uint32_t(index), 0);
    previousX_ = tileX_;
    previousY_ = tileY_;
    tileX_ = nx;
    tileY_ = ny;
    directionBefore_ = previousDirection_;
    previousDirection_ = direction_;
    direction_ = turn;
    nextDirection_ = turn;
    SetPosition(tileX_, tileY_);
    stepStart_ = nextStep_;
    nextStep_ += kStepMs;
    travelTime_ = kStepMs;
    moved_ = 1;
}

void Harvester::WakeNow() {
    nextStep_ = CurrentGameTimeMs();
    SetNextWake(nextStep_);
}

uint32_t Harvester::GetStepTime() const {
    return HasMoved() ? nextStep_ - stepStart_ : GetSpeedLimit();
}

uint32_t Harvester::GetSpeedLimit() const {
    return std::max<uint32_t>(RoadSpeedLimitAt(tileX_, tileY_), kMoverSlowestLimitMs);
}

bool Harvester::GetPose(MoverPose& pose) const {
    pose = {};
    pose.x = tileX_;
    pose.y = tileY_;
    pose.previousX = previousX_;
    pose.previousY = previousY_;
    pose.stepStart = stepStart_;
    pose.nextStep = nextStep_;
    pose.direction = direction_;
    pose.previousDirection = previousDirection_;
    pose.directionBefore = directionBefore_;
    pose.moved = HasMoved();
    pose.graphicKind = kHarvesterGraphicKind;
    pose.graphicNumber = harvesterId_;
    return true;
}

void Harvester::Serialize() {
    MovingObject::Serialize();
    const bool loading = StreamMode() == kStreamLoad;
    TransferTagList(kTags, [&](uint32_t tag) {
        if (tag != ChunkTag("hvt1"))
            return;
        uint8_t b[kChunkBytes] = {};
        plat::StoreLE32(b, factory_);
        plat::StoreLE32(b + 4, stepStart_);
        plat::StoreLE32(b + 8, nextStep_);
        plat::StoreLE32(b + 12, uint32_t(tileX_));
        plat::StoreLE32(b + 16, uint32_t(previousX_));
        plat::StoreLE32(b + 20, uint32_t(tileY_));
        plat::StoreLE32(b + 24, uint32_t(previousY_));
        b[28] = direction_;
        b[29] = previousDirection_;
        b[30] = directionBefore_;
        plat::StoreLE32(b + 32, reserved_);
        plat::StoreLE32(b + 36, moved_);
        plat::StoreLE32(b + 40, uint32_t(state_));
        plat::StoreLE32(b + 44, uint32_t(harvesterId_));
        b[48] = nextDirection_;
        plat::StoreLE32(b + 52, travelTime_);
        plat::StoreLE32(b + 56, steps_);
        const uint32_t moved = TransferSized(b, kChunkBytes);
        if (!loading)
            return;
        if (moved < 4 + kChunkBytes) {
            GameLog("harvester %u: its record holds %u of %u bytes; it leaves the field", id_,
                    moved > 4 ? moved - 4 : 0, kChunkBytes);
            state_ = kDone;
            return;
        }
        MoverRecord r;
        r.x = int32_t(plat::LoadLE32(b + 12));
        r.previousX = int32_t(plat::LoadLE32(b + 16));
        r.y = int32_t(plat::LoadLE32(b + 20));
        r.previousY = int32_t(plat::LoadLE32(b + 24));
        r.beforeX = r.x;
        r.beforeY = r.y;
        r.directions = {b[28], b[29], b[30], b[48]};
        const int32_t state = int32_t(plat::LoadLE32(b + 40));
        if (!LoadedMoverFits(r) || state < kDriving || state > kDone) {
            GameLog("harvester %u: its record has a tile off the map, a bad direction or state %d; it "
                    "leaves the field",
                    id_, state);
            state_ = kDone;
            return;
        }
        factory_ = plat::LoadLE32(b);
        stepStart_ = plat::LoadLE32(b + 4);
        nextStep_ = plat::LoadLE32(b + 8);
        tileX_ = r.x;
        previousX_ = r.previousX;
        tileY_ = r.y;
        previousY_ = r.previousY;
        direction_ = b[28];
        previousDirection_ = b[29];
        directionBefore_ = b[30];
        reserved_ = 0;
        moved_ = plat::LoadLE32(b + 36) != 0 ? 1 : 0;
        state_ = state;
        harvesterId_ = int32_t(plat::LoadLE32(b + 44));
        nextDirection_ = b[48];
        travelTime_ = plat::LoadLE32(b + 52);
        steps_ = plat::LoadLE32(b + 56);
    });
    if (loading) {
        SetPosition(tileX_, tileY_);
        SetNextWake(nextStep_);
    }
}
