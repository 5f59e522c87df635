#include "view/gimmicks.h"

#include "data/generated/terrain_tables.h"
#include "engine/draw_layers.h"
#include "engine/graphic_sets.h"
#include "engine/screen.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "view/interface_state.h"
#include "view/sound_system.h"
#include "world/world_map.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kExtrasSet = 20;
constexpr int32_t kExtrasLayer = 1;
constexpr int32_t kScreenLayer = 6;
constexpr int32_t kScreenStep = 40; // the base tile height
constexpr int32_t kDx[4] = {0, -1, 0, 1};
constexpr int32_t kDy[4] = {1, 0, -1, 0};

const GimmickRow& EmptyRow() {
    static const GimmickRow row;
    return row;
}

// A float of the tables that may hold anything: NaN and negatives count 0.
double NonNegative(float v) {
    return v > 0.0f ? double(v) : 0.0;
}

uint32_t Elapsed(uint32_t now, uint32_t since) {
    return now - since;
}

bool AtLeast(uint32_t elapsed, int32_t limit) {
    return limit <= 0 || elapsed >= uint32_t(limit);
}

bool InMap(const WorldMap& map, int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && map.InMap(uint32_t(x), uint32_t(y));
}

// Whether a value matches the category's terrain restrictions (second
// number <= value <= first; an empty list matches everything).
bool MatchesRestrictions(const GimmickCategoryRow* category, int32_t value) {
    if (!category || category->TerrainRestrictions.Empty())
        return true;
    const ValueTable& t = category->TerrainRestrictions;
    const bool rows = t.ColumnCount() >= 2;
    const uint32_t entries = rows ? t.RowCount() : t.RowCount() / 2;
    for (uint32_t i = 0; i < entries; ++i) {
        const int32_t high = rows ? t.IntCell(0, i) : t.IntCell(0, 2 * i);
        const int32_t low = rows ? t.IntCell(1, i) : t.IntCell(0, 2 * i + 1);
        if (low <= value && value <= high)
            return true;
    }
    return false;
}

// The screen point of a tile lies inside the clip rectangle.
bool TileVisible(int32_t x, int32_t y) {
    if (!Engine::State().started)
        return false;
    const ScreenPoint p = MapToScreen(x, y);
    return Engine::IsRectVisible({p.x, p.y, p.x + 1, p.y + 1});
}

// The relative directions to try: 0, s, -s, 2 or, turning, s, -s, 0, 2.
std::array<int32_t, 4> TurnOrder(ExtrasRandom& random, int32_t turnProbability) {
    const bool turn = random.Percent(turnProbability);
    const int32_t s = (random.Next() >> 31) ? 1 : -1;
    return turn ? std::array<int32_t, 4>{s, -s, 0, 2} : std::array<int32_t, 4>{0, s, -s, 2};
}

bool WalkerCanEnter(const WorldMap& map, int32_t movement, int32_t x, int32_t y, int32_t type,
                    bool needFree) {
    return movement == 1 ? GimmickWaterTest(map, x, y, type, needFree)
                         : GimmickLandTest(map, x, y, type, needFree);
}

} // namespace

void ExtrasRandom::Seed(uint32_t t) {
    uint32_t v = t;
    for (uint32_t& entry : table_) {
        entry = v;
        v = v * 1664525u + 1013904223u;
    }
    seed_ = last_ = v;
}

uint32_t ExtrasRandom::Next() {
    const uint32_t i = last_ >> 24;
    const uint32_t out = table_[i];
    seed_ = seed_ * 1664525u + 1013904223u;
    table_[i] = seed_;
    last_ = out;
    return out;
}

bool ExtrasRandom::Percent(int32_t p) {
    const uint64_t threshold = uint64_t(0xFFFFFFFFu) * uint64_t(std::max(p, 0)) / 100;
    return Next() < threshold;
}

std::vector<int32_t>& GimmickAppearances() {
    static std::vector<int32_t> counts;
    return counts;
}

namespace {

GimmickState* SearchOwner(void* context) {
    return static_cast<GimmickState*>(context);
}

// The cell test of the searches: water for swimming categories, else land.
bool SearchWalkable(int32_t x, int32_t y, void* context) {
    const GimmickState* s = SearchOwner(context);
    const WorldMap& map = GetWorldMap();
    return s->MovementOf(s->searchType) != 0 ? GimmickWaterTest(map, x, y, s->searchType, false)
                                             : GimmickLandTest(map, x, y, s->searchType, false);
}

// 1 straight on, more for a turn the type does not like; a turn chance
// above 100 percent costs no less than a step.
uint32_t SearchTurnCost(bool turning, void* context) {
    const GimmickState* s = SearchOwner(context);
    const GimmickRow* row = GimmickTable::Find(s->searchType);
    if (!turning)
        return 1;
    const int32_t turn = std::clamp(row ? row->TurnProbability : 0, 0, 100);
    return uint32_t(std::max(2 - turn / 100, 1));
}

} // namespace

GimmickState::GimmickState() = default;

void GimmickState::MakeSearches() {
    for (auto& search : searches)
        if (!search)
            search = std::make_unique<PathSearch>(SearchWalkable, SearchTurnCost, this);
}

GimmickState::~GimmickState() = default;

bool GimmickState::SearchesIdle() const {
    for (const auto& search : searches)
        if (search && search->State() != PathSearch::kIdle)
            return false;
    return true;
}

void GimmickState::StopSearches() {
    for (auto& search : searches)
        if (search)
            search->Stop();
}

GimmickState& GimmicksOf(World& world) {
    return world.Attached<GimmickState>();
}

const GimmickCategoryRow* GimmickState::CategoryOf(int32_t type) const {
    const GimmickRow* row = GimmickTable::Find(type);
    return row ? GimmickCategoryTable::Find(row->Category) : nullptr;
}

int32_t GimmickState::MovementOf(int32_t type) const {
    const GimmickCategoryRow* category = CategoryOf(type);
    return category ? category->Movement : -1;
}

Gimmick::Gimmick(GimmickState& state, int32_t type, uint32_t now)
    : state_(state), birth_(now), lastStep_(now), lastAnimation_(now), type_(type) {
    const GimmickRow& row = Row();
    if (row.NrOfAppearances != 0) {
        auto& counts = GimmickAppearances();
        if (size_t(type) >= counts.size())
            counts.resize(size_t(type) + 1, 0);
        ++counts[size_t(type)];
    }
    const int32_t category = row.Category;
    if (category >= 0) {
        if (size_t(category) >= state.categoryLive.size())
            state.categoryLive.resize(size_t(category) + 1, 0);
        ++state.categoryLive[size_t(category)];
    }
}

const GimmickRow& Gimmick::Row() const {
    const GimmickRow* row = GimmickTable::Find(type_);
    return row ? *row : EmptyRow();
}

uint32_t Gimmick::GetSoundCategory() {
    return uint32_t(std::max(Row().SoundIndex, 0));
}

bool Gimmick::TimingStep(uint32_t now) {
    const GimmickRow& row = Row();
    if (AtLeast(Elapsed(now, lastAnimation_), row.AnimationTime)) {
        frame_ = row.NrOfAnimPerRot > 1 ? (frame_ + 1) % row.NrOfAnimPerRot : 0;
        lastAnimation_ = now;
    }
    bool due = false;
    if (AtLeast(Elapsed(now, lastStep_), row.OneSquareTravelTime)) {
        lastStep_ = now;
        due = !stopped_;
        stopped_ = state_.random.Percent(row.StopProbability) ? 1 : 0;
    }
    if (stopped_)
        frame_ = 0;
    return due;
}

bool Gimmick::LifeTest(uint32_t now) {
    const GimmickRow& row = Row();
    // Only a drawn rectangle keeps it alive: the empty one of an extra not
    // drawn (never, or off screen last time) does not.
    const bool drawn = screenRect_.left < screenRect_.right && screenRect_.top < screenRect_.bottom;
    if (row.LifeTime <= 0 || (drawn && Engine::State().started && Engine::IsRectVisible(screenRect_)))
        return false;
    if (Elapsed(now, birth_) >= uint32_t(row.LifeTime)) {
        dead_ = 1;
        return true;
    }
    return false;
}

TileGimmick::TileGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY,
                         uint8_t aDirection)
    : Gimmick(state, type, now), x_(aX), y_(aY), direction_(aDirection & 3) {}

const EngineRect* TileGimmick::GetSoundRect(EngineRect* rect) {
    *rect = {x_, y_, x_, y_};
    return rect;
}

void TileGimmick::Draw(uint32_t now) {
    DrawOnTile(now, x_, y_, direction_);
}

void Gimmick::DrawOnTile(uint32_t now, int32_t x_, int32_t y_, uint8_t direction_) {
    const GimmickRow& row = Row();
    int32_t tw = 0, th = 0;
    Viewport::GetTileSize(tw, th);
    const ScreenPoint p = MapToScreen(x_, y_);
    const EngineRect around{p.x - 4 * tw, p.y - 4 * th, p.x + 4 * tw, p.y + 4 * th};
    GraphicSets::SetFieldA(uint8_t(direction_ % std::max(row.NrOfRotations, 1)));
    GraphicSets::SetFieldB(uint8_t(frame_));
    const TiledImage* image = Engine::IsRectVisible(around) ? SpriteFetch(kExtrasSet, type_, 0) : nullptr;
    if (!image || image->textures.empty()) {
        // Off screen: no stale rectangle keeps it alive.
        screenRect_ = {1, 1, 1, 1};
        return;
    }
    GraphicSets::SetFieldA(uint8_t(direction_ % std::max(row.NrOfRotations, 1)));
    GraphicSets::SetFieldB(uint8_t(frame_));
    const TiledImage* shadow = SpriteFetch(kExtrasSet, type_, 1);
    EngineRect r = image->ScreenRectAt({x_, y_});
    EngineRect clip = image->FootprintRect(x_, y_, 5);
    const int32_t down = (r.bottom - r.top + th) / 2;
    r.top += down;
    r.bottom += down;
    int32_t dx = 0, dy = 0;
    if (row.OneSquareTravelTime > 0 && !stopped_) {
        const int64_t e = int64_t(Elapsed(now, lastStep_));
        dx = int32_t(e * tw / row.OneSquareTravelTime / 2);
        dy = int32_t(e * th / row.OneSquareTravelTime / 2);
        if (direction_ == 0 || direction_ == 1)
            dx = -dx;
        if (direction_ == 1 || direction_ == 2)
            dy = -dy;
    }
    r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    screenRect_ = r;
    const bool withShadow = shadow && !shadow->textures.empty();
    Engine::QueueSpriteTinted(kExtrasLayer, TextureHandle(image->textures[0]), 0xFFFFFFFFu, r, clip, 0,
                              withShadow ? 4 : 0, 1, ++state_.drawSequence, 16);
    if (withShadow) {
        clip = {clip.left + 5, clip.top + 5, clip.right + 5, clip.bottom + 5};
        Engine::QueueSpriteTinted(kExtrasLayer, TextureHandle(shadow->textures[0]), 0xFFFFFFFFu, r, clip, 0,
                                  3, 1, ++state_.drawSequence, 16);
    }
}

WalkerGimmick::WalkerGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY,
                             uint8_t aDirection)
    : TileGimmick(state, type, now, aX, aY, aDirection) {
    GetWorldMap().SetMoverOccupancy(uint32_t(x_), uint32_t(y_), 1);
}

void WalkerGimmick::RemoveMarks(WorldMap& map) {
    if (InMap(map, x_, y_) && map.GetMoverOccupancy(uint32_t(x_), uint32_t(y_)) == 1)
        map.SetMoverOccupancy(uint32_t(x_), uint32_t(y_), 0);
}

void WalkerGimmick::Update(uint32_t now) {
    if (LifeTest(now))
        return;
    WorldMap& map = GetWorldMap();
    const int32_t movement = state_.MovementOf(type_);
    const bool step = TimingStep(now);
    int32_t tx = x_, ty = y_;
    if (step) {
        tx += kDx[direction_];
        ty += kDy[direction_];
    } else if (InMap(map, x_, y_) && map.GetMoverOccupancy(uint32_t(x_), uint32_t(y_)) > 1) {
        dead_ = 1;
        return;
    }
    if (!WalkerCanEnter(map, movement, tx, ty, type_, step)) {
        dead_ = 1;
        return;
    }
    if (!step)
        return;
    const std::array<int32_t, 4> order = TurnOrder(state_.random, Row().TurnProbability);
    int32_t chosen = -1;
    for (int32_t i = 0; i < 4 && chosen < 0; ++i) {
        const int32_t d = (order[size_t(i)] + direction_) & 3;
        const int32_t nx = tx + kDx[d], ny = ty + kDy[d];
        if (!WalkerCanEnter(map, movement, nx, ny, type_, i < 3))
            continue;
        if (order[size_t(i)] == 2) {
            const int32_t bx = nx + kDx[d], by = ny + kDy[d];
            if (InMap(map, bx, by) && map.GetLayer1Object(uint32_t(bx), uint32_t(by)))
                continue;
        }
        chosen = d;
    }
    if (chosen < 0) {
        dead_ = 1;
        return;
    }
    direction_ = uint8_t(chosen);
    RemoveMarks(map);
    x_ = tx;
    y_ = ty;
    map.SetMoverOccupancy(uint32_t(x_), uint32_t(y_), 1);
}

FreeGimmick::FreeGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY,
                         uint8_t aDirection)
    : TileGimmick(state, type, now, aX, aY, aDirection) {
    GetWorldMap().SetFreeMoverMark(uint32_t(x_), uint32_t(y_), true);
}

void FreeGimmick::RemoveMarks(WorldMap& map) {
    if (InMap(map, x_, y_))
        map.SetFreeMoverMark(uint32_t(x_), uint32_t(y_), false);
}

void FreeGimmick::Update(uint32_t now) {
    if (LifeTest(now) || !TimingStep(now))
        return;
    WorldMap& map = GetWorldMap();
    RemoveMarks(map);
    x_ += kDx[direction_];
    y_ += kDy[direction_];
    if (!InMap(map, x_, y_)) {
        dead_ = 1;
        return;
    }
    const int32_t w = int32_t(map.GetWidth()), h = int32_t(map.GetHeight());
    if (Row().MovingMethod == 2) {
        const bool edge = (direction_ == 0 && y_ >= h - 1) || (direction_ == 1 && x_ < 1) ||
                          (direction_ == 2 && y_ < 1) || (direction_ == 3 && x_ >= w - 1);
        if (edge) {
            dead_ = 1;
            return;
        }
    } else {
        const std::array<int32_t, 4> order = TurnOrder(state_.random, Row().TurnProbability);
        int32_t chosen = -1;
        for (int32_t i = 0; i < 4 && chosen < 0; ++i) {
            const int32_t d = (order[size_t(i)] + direction_) & 3;
            const int32_t nx = x_ + kDx[d], ny = y_ + kDy[d];
            if (InMap(map, nx, ny) && !map.HasFreeMoverMark(uint32_t(nx), uint32_t(ny)))
                chosen = d;
        }
        if (chosen < 0) {
            dead_ = 1;
            return;
        }
        direction_ = uint8_t(chosen);
    }
    map.SetFreeMoverMark(uint32_t(x_), uint32_t(y_), true);
}

ScreenGimmick::ScreenGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t screenWidth)
    : Gimmick(state, type, now), y_(-128) {
    // A screen of 256 pixels or less leaves no room to choose: the figure
    // starts at 64.
    const int32_t room = screenWidth - 256;
    x_ = 64 + (room > 0 ? int32_t(state.random.Next() % uint32_t(room)) : 0);
}

void ScreenGimmick::Update(uint32_t) {
    const uint32_t now = state_.inputs.realMs;
    if (LifeTest(now))
        return;
    if (state_.inputs.idleSeconds < uint32_t(std::max(Row().IdleTime, 0))) {
        dead_ = 1;
        return;
    }
    if (!TimingStep(now))
        return;
    y_ += kScreenStep;
    if (x_ > state_.inputs.screenWidth || y_ > state_.inputs.screenHeight)
        dead_ = 1;
}

void ScreenGimmick::Draw(uint32_t) {
    const uint32_t now = state_.inputs.realMs;
    GraphicSets::SetFieldB(uint8_t(frame_));
    const TiledImage* image = SpriteFetch(kExtrasSet, type_, 0);
    if (!image || image->textures.empty()) {
        screenRect_ = {1, 1, 1, 1};
        return;
    }
    const int32_t travel = Row().OneSquareTravelTime;
    const int32_t moved =
        travel > 0 && !stopped_ ? int32_t(int64_t(Elapsed(now, lastStep_)) * kScreenStep / travel) : 0;
    screenRect_ = {x_, y_ + moved, x_ + image->imageWidth, y_ + moved + image->imageHeight};
    Engine::QueueTexturedRect(kScreenLayer, TextureHandle(image->textures[0]), screenRect_, 0xFFFFFFFFu, 1,
                              1);
}

const EngineRect* ScreenGimmick::GetSoundRect(EngineRect* rect) {
    *rect = screenRect_;
    return rect;
}

std::unique_ptr<PathGimmick> PathGimmick::Create(GimmickState& state, int32_t type, uint32_t now,
                                                 std::vector<TilePoint> path) {
    if (path.size() < 2)
        return nullptr;
    return std::unique_ptr<PathGimmick>(new PathGimmick(state, type, now, std::move(path)));
}

PathGimmick::PathGimmick(GimmickState& state, int32_t type, uint32_t now, std::vector<TilePoint> path)
    : Gimmick(state, type, now), path_(std::move(path)), index_(path_.size() - 1) {
    const TilePoint p = path_[index_];
    GetWorldMap().SetMoverOccupancy(uint32_t(p.x), uint32_t(p.y), 2);
}

void PathGimmick::RemoveMarks(WorldMap& map) {
    const TilePoint p = path_[index_];
    if (InMap(map, p.x, p.y) && map.GetMoverOccupancy(uint32_t(p.x), uint32_t(p.y)) == 2)
        map.SetMoverOccupancy(uint32_t(p.x), uint32_t(p.y), 0);
}

const EngineRect* PathGimmick::GetSoundRect(EngineRect* rect) {
    const TilePoint p = path_[index_];
    *rect = {p.x, p.y, p.x, p.y};
    return rect;
}

bool PathGimmick::CanEnter(const WorldMap& map, TilePoint p, bool needFree) const {
    if (!InMap(map, p.x, p.y))
        return false;
    const uint32_t ux = uint32_t(p.x), uy = uint32_t(p.y);
    if (state_.MovementOf(type_) == 1) {
        const uint32_t kind = map.GetCellKind(ux, uy);
        return (kind == kCellPlain || (kind == kCellWaterway && map.GetWaterwayValue(ux, uy) == 0)) &&
               map.IsWater(ux, uy);
    }
    return GimmickLandTest(map, p.x, p.y, type_, false) && (!needFree || map.GetMoverOccupancy(ux, uy) < 2);
}

uint8_t PathGimmick::Direction() const {
    if (index_ == 0)
        return 0;
    const TilePoint a = path_[index_], b = path_[index_ - 1];
    const int32_t dx = b.x - a.x, dy = b.y - a.y;
    for (uint8_t d = 0; d < 4; ++d)
        if (kDx[d] == dx && kDy[d] == dy)
            return d;
    return 0;
}

void PathGimmick::Update(uint32_t now) {
    if (LifeTest(now))
        return;
    WorldMap& map = GetWorldMap();
    const bool step = TimingStep(now);
    if (step && index_ <= 1) {
        dead_ = 1;
        return;
    }
    const size_t next = step ? index_ - 1 : index_;
    if (!CanEnter(map, path_[next], step)) {
        dead_ = 1;
        return;
    }
    if (!step)
        return;
    // Something built on the way ahead ends the journey.
    for (size_t k = next; k >= 1 && k + 3 > next; --k) {
        const TilePoint p = path_[k];
        if (InMap(map, p.x, p.y) && (map.GetLayer1Object(uint32_t(p.x), uint32_t(p.y)) ||
                                     (map.GetCellKind(uint32_t(p.x), uint32_t(p.y)) == kCellWaterway &&
                                      map.GetWaterwayValue(uint32_t(p.x), uint32_t(p.y)) != 0))) {
            dead_ = 1;
            return;
        }
    }
    map.SetMoverOccupancy(uint32_t(path_[next].x), uint32_t(path_[next].y), 2);
    RemoveMarks(map);
    index_ = next;
}

void PathGimmick::Draw(uint32_t now) {
    const TilePoint p = path_[index_];
    DrawOnTile(now, p.x, p.y, Direction());
}

bool GimmickLandTest(const WorldMap& map, int32_t x, int32_t y, int32_t type, bool needFree) {
    if (!InMap(map, x, y))
        return false;
    const GimmickState& state = GimmicksOf();
    const GimmickCategoryRow* category = state.CategoryOf(type);
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    const uint32_t wanted = category && category->Movement == 2 ? kCellDecoration : kCellPlain;
    if (map.GetCellKind(ux, uy) != wanted)
        return false;
    if (needFree && map.GetMoverOccupancy(ux, uy) != 0)
        return false;
    if (map.IsWater(ux, uy))
        return false;
    for (int d = 0; d < 4; ++d)
        if (InMap(map, x + kDx[d], y + kDy[d]) && map.IsWater(uint32_t(x + kDx[d]), uint32_t(y + kDy[d])))
            return false;
    if (map.GetBuildingAt(ux, uy) || map.HasRoad(ux, uy) || map.HasTrack(ux, uy) ||
        map.GetLayer1Object(ux, uy) || map.GetLayer2Object(ux, uy))
        return false;
    return MatchesRestrictions(category, int32_t(map.GetTerrainIndex(ux, uy)));
}

bool GimmickWaterTest(const WorldMap& map, int32_t x, int32_t y, int32_t type, bool needFree) {
    if (!InMap(map, x, y))
        return false;
    const uint32_t ux = uint32_t(x), uy = uint32_t(y);
    const uint32_t kind = map.GetCellKind(ux, uy);
    if (kind != kCellPlain && kind != kCellWaterway)
        return false;
    if (needFree && map.GetMoverOccupancy(ux, uy) != 0)
        return false;
    if (kind == kCellWaterway && map.GetWaterwayValue(ux, uy) != 0)
        return false;
    for (int d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d], ny = y + kDy[d];
        if (!InMap(map, nx, ny) || !map.IsWater(uint32_t(nx), uint32_t(ny)))
            return false;
    }
    if (!map.IsWater(ux, uy))
        return false;
    return MatchesRestrictions(GimmicksOf().CategoryOf(type), int32_t(map.GetWaterColourIndex(ux, uy)));
}

void InitGimmickTileLists() {
    GimmickState& s = GimmicksOf();
    s.StopSearches();
    const WorldMap& map = GetWorldMap();
    s.landBlocks.clear();
    s.waterBlocks.clear();
    s.landEdges.clear();
    s.waterEdges.clear();
    s.width = int32_t(map.GetWidth());
    s.height = int32_t(map.GetHeight());
    const int32_t w = s.width, h = s.height;
    for (int32_t y = 0; y < h - 1; y += 4)
        for (int32_t x = 0; x < w - 1; x += 4)
            (map.IsWater(uint32_t(x), uint32_t(y)) ? s.waterBlocks : s.landBlocks)
                .push_back({uint16_t(x / 4), uint16_t(y / 4)});
    const auto same = [&map](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
        const WorldCell* a = map.FindCell(uint32_t(ax), uint32_t(ay));
        const WorldCell* b = map.FindCell(uint32_t(bx), uint32_t(by));
        const TerrainRow* ta = a ? TerrainTable::Find(int32_t(a->TerrainIndex())) : nullptr;
        const TerrainRow* tb = b ? TerrainTable::Find(int32_t(b->TerrainIndex())) : nullptr;
        const int32_t typeA = ta ? ta->TerrainType : 0, typeB = tb ? tb->TerrainType : 0;
        const int32_t mixA = ta ? ta->TerrainMixtureTyp : 0, mixB = tb ? tb->TerrainMixtureTyp : 0;
        return typeA == typeB && mixA == mixB;
    };
    const auto take = [&](int32_t x, int32_t y) {
        (map.IsWater(uint32_t(x), uint32_t(y)) ? s.waterEdges : s.landEdges)
            .push_back({uint16_t(x), uint16_t(y)});
    };
    if (w < 2 || h < 2)
        return;
    for (int32_t y : {0, h - 1})
        for (int32_t x = 1; x < w - 1; x += 2)
            if (same(x, y, x + 1, y))
                take(x, y);
    for (int32_t x : {0, w - 1})
        for (int32_t y = 1; y < h - 1; y += 2)
            if (same(x, y, x, y + 1))
                take(x, y);
}

bool CanSpawnGimmick(int32_t type, const GimmickInputs& in) {
    const GimmickRow* row = GimmickTable::Find(type);
    GimmickState& s = GimmicksOf();
    const GimmickCategoryRow* category = row ? GimmickCategoryTable::Find(row->Category) : nullptr;
    if (!row || !category || row->Category < 0)
        return false;
    if (size_t(row->Category) >= s.categoryLive.size())
        s.categoryLive.resize(size_t(row->Category) + 1, 0);
    auto& appearances = GimmickAppearances();
    if (size_t(type) >= appearances.size())
        appearances.resize(size_t(type) + 1, 0);
    if ((uint32_t(row->RegionCode) & CurrentWorld().region) == 0)
        return false;
    const double limit = double(s.width + s.height) * NonNegative(category->AppearanceFactor);
    const int64_t max = limit < 2147483647.0 ? int64_t(limit) : 2147483647;
    const int64_t live = s.categoryLive[size_t(row->Category)];
    if (live >= max)
        return false;
    if (row->NrOfAppearances != 0 && appearances[size_t(type)] >= row->NrOfAppearances)
        return false;
    if (in.year < uint32_t(row->AppearanceYearStart) ||
        (row->AppearanceYearEnd != 0 && in.year > uint32_t(row->AppearanceYearEnd)))
        return false;
    const int64_t month = int64_t(in.month) + 1;
    if (month < row->AppearanceMonthStart ||
        (row->AppearanceMonthEnd != 0 && month > row->AppearanceMonthEnd))
        return false;
    if (int64_t(in.day) < row->AppearanceDayStart ||
        (row->AppearanceDayEnd != 0 && in.day > uint32_t(row->AppearanceDayEnd)))
        return false;
    if (row->MovingMethod == 1 && !s.SearchesIdle())
        return false;
    if (row->MovingMethod == 4 && in.idleSeconds < uint32_t(std::max(row->IdleTime, 0)))
        return false;
    const double chance = std::min(NonNegative(row->ChanceToAppear), 1.0);
    const uint64_t ppm = uint64_t(chance * 1000000.0);
    const uint64_t a = uint64_t(0xFFFFFFFFu) * ppm / 1000000;
    const uint64_t threshold = a * uint64_t(max - live) / uint64_t(max);
    return s.random.Next() < threshold;
}

namespace {

// Starts the searches of a traveller from one edge point to another by way
// of a random block; the traveller is made when both have found their way.
bool StartTravellerSearch(GimmickState& s, int32_t type, int32_t movement) {
    const std::vector<EdgePoint>& edges = movement == 0 ? s.landEdges : s.waterEdges;
    const std::vector<BlockPos>& blocks = movement == 0 ? s.landBlocks : s.waterBlocks;
    if (!s.SearchesIdle() || edges.size() < 3 || blocks.empty())
        return false;
    const size_t first = s.random.Next() % edges.size();
    size_t last = first;
    while (last == first)
        last = s.random.Next() % edges.size();
    TilePoint start{edges[first].x, edges[first].y}, end{edges[last].x, edges[last].y};
    if (start.x == 0)
        start.y += 1;
    else if (start.y + 1 == s.height)
        start.x += 1;
    if (end.y == 0)
        end.x += 1;
    else if (end.x + 1 == s.width)
        end.y += 1;
    const BlockPos b = blocks[s.random.Next() % blocks.size()];
    const TilePoint via{b.x * 4, b.y * 4};
    s.searchType = type;
    s.MakeSearches();
    const bool ok = s.searches[0]->Start(start.x, start.y, via.x, via.y, s.width, s.height) &&
                    s.searches[1]->Start(via.x, via.y, end.x, end.y, s.width, s.height);
    if (!ok)
        s.StopSearches();
    return ok;
}

// One slice of each search; the traveller once both have found their way.
void DriveSearches(GimmickState& s, uint32_t now) {
    if (s.SearchesIdle())
        return;
    int32_t states[2];
    for (int i = 0; i < 2; ++i)
        states[i] = s.searches[size_t(i)]->Step();
    if (states[0] < 0 || states[1] < 0) {
        s.StopSearches();
        return;
    }
    if (states[0] != PathSearch::kFound || states[1] != PathSearch::kFound)
        return;
    // The second search's way (end first) and then the first's (the point
    // on the way first, so it is left out): the traveller starts at the
    // back and walks to the front.
    std::vector<TilePoint> path;
    for (auto [x, y] : s.searches[1]->Path())
        path.push_back({x, y});
    const auto head = s.searches[0]->Path();
    for (size_t i = 1; i < head.size(); ++i)
        path.push_back({head[i].first, head[i].second});
    const int32_t type = s.searchType;
    s.StopSearches();
    if (path.empty() || TileVisible(path.back().x, path.back().y))
        return;
    const WorldMap& map = GetWorldMap();
    const TilePoint first = path.back();
    const bool startsWell = s.MovementOf(type) == 1
                                ? map.IsWater(uint32_t(first.x), uint32_t(first.y))
                                : GimmickLandTest(map, first.x, first.y, type, false) &&
                                      map.GetMoverOccupancy(uint32_t(first.x), uint32_t(first.y)) < 2;
    if (!startsWell)
        return;
    if (auto traveller = PathGimmick::Create(s, type, now, std::move(path)))
        s.list.push_back(std::move(traveller));
}

} // namespace

bool SpawnGimmick(int32_t type, uint32_t now) {
    GimmickState& s = GimmicksOf();
    const GimmickRow* row = GimmickTable::Find(type);
    const GimmickCategoryRow* category = s.CategoryOf(type);
    if (!row || !category)
        return false;
    WorldMap& map = GetWorldMap();
    const uint8_t d = uint8_t(s.random.Next() >> 30);
    const int32_t movement = category->Movement;
    const auto placeWalker = [&](const std::vector<BlockPos>& blocks) {
        if (blocks.empty())
            return false;
        const BlockPos b = blocks[s.random.Next() % blocks.size()];
        const int32_t x = b.x * 4 + int32_t(s.random.Next() >> 30);
        const int32_t y = b.y * 4 + int32_t(s.random.Next() >> 30);
        if (TileVisible(x, y) || !WalkerCanEnter(map, movement, x, y, type, true))
            return false;
        for (int k = 0; k < 4; ++k) {
            const uint8_t dir = uint8_t((d + k) & 3);
            if (WalkerCanEnter(map, movement, x + kDx[dir], y + kDy[dir], type, true)) {
                s.list.push_back(std::make_unique<WalkerGimmick>(s, type, now, x, y, dir));
                return true;
            }
        }
        return false;
    };
    switch (movement) {
    case 2:
        return placeWalker(s.landBlocks);
    case 0:
    case 1:
        if (row->MovingMethod == 1)
            return StartTravellerSearch(s, type, movement);
        return row->MovingMethod == 0 && placeWalker(movement == 0 ? s.landBlocks : s.waterBlocks);
    case 3: {
        if (s.width <= 0 || s.height <= 0)
            return false;
        int32_t x = int32_t((s.random.Next() >> 20) % uint32_t(s.width));
        int32_t y = int32_t((s.random.Next() >> 20) % uint32_t(s.height));
        uint8_t dir = d;
        if (row->MovingMethod == 2) {
            if (d == 0)
                y = 0;
            else if (d == 1)
                x = s.width - 1;
            else if (d == 2)
                y = s.height - 1;
            else
                x = 0;
        } else {
            int32_t chosen = -1;
            for (int k = 0; k < 4 && chosen < 0; ++k) {
                const int32_t nd = (d + k) & 3;
                if (InMap(map, x + kDx[nd], y + kDy[nd]) &&
                    !map.HasFreeMoverMark(uint32_t(x + kDx[nd]), uint32_t(y + kDy[nd])))
                    chosen = nd;
            }
            if (chosen < 0)
                return false;
            dir = uint8_t(chosen);
        }
        if (!InMap(map, x, y) || TileVisible(x, y) || map.HasFreeMoverMark(uint32_t(x), uint32_t(y)))
            return false;
        s.list.push_back(std::make_unique<FreeGimmick>(s, type, now, x, y, dir));
        return true;
    }
    case 4:
        s.list.push_back(std::make_unique<ScreenGimmick>(s, type, s.inputs.realMs, s.inputs.screenWidth));
        return true;
    default:
        return false;
    }
}

void UpdateGimmicks(uint32_t now, const GimmickInputs& inputs) {
    GimmickState& s = GimmicksOf();
    s.inputs = inputs;
    if (inputs.paused)
        return;
    WorldMap& map = GetWorldMap();
    s.width = int32_t(map.GetWidth());
    s.height = int32_t(map.GetHeight());
    for (auto& g : s.list)
        g->Update(now);
    std::erase_if(s.list, [&](std::unique_ptr<Gimmick>& g) {
        if (!g->IsDead())
            return false;
        g->RemoveMarks(map);
        const GimmickRow* row = GimmickTable::Find(g->Type());
        if (row && row->Category >= 0 && size_t(row->Category) < s.categoryLive.size())
            --s.categoryLive[size_t(row->Category)];
        return true;
    });
    for (int32_t type = 0; type < GimmickTable::RowCount(); ++type)
        if (GimmickTable::Find(type) && CanSpawnGimmick(type, inputs))
            SpawnGimmick(type, now);
    DriveSearches(s, now);
}

void DrawGimmicks(uint32_t now) {
    GimmickState& s = GimmicksOf();
    const bool sound = IsSoundEnabled() && IsSoundAvailable() && InterfaceStateOf().AmbientEffectsOn();
    for (auto& g : s.list) {
        g->Draw(now);
        if (sound)
            g->SoundEmitter::Update(s.inputs.realMs);
    }
}

void DeleteAllGimmicks() {
    GimmickState& s = GimmicksOf();
    WorldMap& map = GetWorldMap();
    for (auto& g : s.list)
        g->RemoveMarks(map);
    s.list.clear();
    std::fill(s.categoryLive.begin(), s.categoryLive.end(), 0);
}
