// Landscape extras: small figures that appear on the map by themselves,
// live a while and vanish. Walkers on land, in water and on decoration
// cells step square by square, free movers roam or cross the map, and
// screen figures fall down the screen while the player is idle. They are
// presentation only: never saved, drawn from their own shuffled stream, and
// kept per world (the appearance counts of limited types alone last for the
// process). Spawn tiles come from coarse lists of 4 x 4 blocks and edge
// points built once per map.
#pragma once

#include "engine/engine_state.h"
#include "view/path_search.h"
#include "view/sound_events.h"
#include "world/tile_point.h"
#include "world/world.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class WorldMap;
struct GimmickRow;
struct GimmickCategoryRow;

// The extras' stream: a shuffled table of 256 entries behind the world's
// linear congruential constants.
class ExtrasRandom {
public:
    ExtrasRandom() { Seed(1); }
    void Seed(uint32_t t);
    uint32_t Next();
    // True with a chance of p percent.
    bool Percent(int32_t p);

private:
    std::array<uint32_t, 256> table_{};
    uint32_t seed_ = 0, last_ = 0;
};

// A 4 x 4 block of the spawn lists, and an edge point; full 16-bit
// coordinates, so that maps of any size place their extras right.
struct BlockPos {
    uint16_t x = 0, y = 0; // in blocks
};
struct EdgePoint {
    uint16_t x = 0, y = 0; // in tiles
};

class GimmickState;

class Gimmick : public SoundEmitter {
public:
    Gimmick(GimmickState& state, int32_t type, uint32_t now);
    ~Gimmick() override = default;

    virtual void Update(uint32_t now) = 0;
    virtual void Draw(uint32_t now) = 0;
    // Takes the extra's marks off the map before it is deleted.
    virtual void RemoveMarks(WorldMap& map) { (void)map; }
    bool IsDead() const { return dead_ != 0; }
    int32_t Type() const { return type_; }
    const EngineRect& ScreenRect() const { return screenRect_; }
    int32_t Frame() const { return frame_; }
    bool Stopped() const { return stopped_ != 0; }

    uint32_t GetSoundCategory() override;

protected:
    const GimmickRow& Row() const;
    // The animation and the square steps; true when a step is due.
    bool TimingStep(uint32_t now);
    // Dead once its life has passed, unless it is on screen.
    bool LifeTest(uint32_t now);
    // Draws the extra standing on a tile and facing a direction, moved
    // between squares as time passes; an extra off screen forgets its
    // last rectangle.
    void DrawOnTile(uint32_t now, int32_t x, int32_t y, uint8_t direction);

    GimmickState& state_;
    uint32_t birth_, lastStep_, lastAnimation_;
    int32_t type_;
    int32_t frame_ = 0;
    uint8_t dead_ = 0;
    uint8_t stopped_ = 0;
    EngineRect screenRect_{1, 1, 1, 1};
};

// Extras that stand on a tile: walkers and free movers.
class TileGimmick : public Gimmick {
public:
    TileGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY, uint8_t aDirection);
    void Draw(uint32_t now) override;
    const EngineRect* GetSoundRect(EngineRect* rect) override;
    uint8_t IsMapRect() override { return 1; }
    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    uint8_t Direction() const { return direction_; }

protected:
    int32_t x_, y_;
    uint8_t direction_;
};

// A walker of movement 0 (land), 1 (water) or 2 (decoration cells): marks
// its tile as taken and steps onto free neighbours.
class WalkerGimmick final : public TileGimmick {
public:
    WalkerGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY,
                  uint8_t aDirection);
    void Update(uint32_t now) override;
    void RemoveMarks(WorldMap& map) override;
};

// A free mover (movement 3): roams, or with moving method 2 crosses the map.
class FreeGimmick final : public TileGimmick {
public:
    FreeGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t aX, int32_t aY, uint8_t aDirection);
    void Update(uint32_t now) override;
    void RemoveMarks(WorldMap& map) override;
};

// A figure falling down the screen while the player is idle (movement 4);
// it runs on real time.
class ScreenGimmick final : public Gimmick {
public:
    ScreenGimmick(GimmickState& state, int32_t type, uint32_t now, int32_t screenWidth);
    void Update(uint32_t now) override;
    void Draw(uint32_t now) override;
    const EngineRect* GetSoundRect(EngineRect* rect) override;
    uint8_t IsMapRect() override { return 0; }
    int32_t ScreenX() const { return x_; }
    int32_t ScreenY() const { return y_; }

private:
    int32_t x_, y_;
};

// A traveller (moving method 1) on a found path from one map edge to
// another: it stands on node `index` and walks towards node 0, dying on
// reaching node 1; it marks its node as taken by a traveller.
class PathGimmick final : public Gimmick {
public:
    // Null for a path of fewer than two nodes.
    static std::unique_ptr<PathGimmick> Create(GimmickState& state, int32_t type, uint32_t now,
                                               std::vector<TilePoint> path);
    void Update(uint32_t now) override;
    void Draw(uint32_t now) override;
    void RemoveMarks(WorldMap& map) override;
    const EngineRect* GetSoundRect(EngineRect* rect) override;
    uint8_t IsMapRect() override { return 1; }
    size_t Index() const { return index_; }
    TilePoint Position() const { return path_[index_]; }

private:
    PathGimmick(GimmickState& state, int32_t type, uint32_t now, std::vector<TilePoint> path);
    bool CanEnter(const WorldMap& map, TilePoint p, bool needFree) const;
    uint8_t Direction() const;

    std::vector<TilePoint> path_;
    size_t index_;
};

// What the extras read of the outside world each frame.
struct GimmickInputs {
    uint32_t year = 1850;
    uint32_t day = 1;   // 1..31, the computer's calendar
    uint32_t month = 0; // 0..11
    uint32_t idleSeconds = 0;
    uint32_t realMs = 0; // for screen figures
    int32_t screenWidth = 1024, screenHeight = 768;
    bool paused = false; // the game clock stands
};

class GimmickState : public WorldAttachment {
public:
    std::vector<std::unique_ptr<Gimmick>> list;
    std::vector<int32_t> categoryLive;
    ExtrasRandom random;
    int32_t width = 0, height = 0;
    std::vector<BlockPos> landBlocks, waterBlocks;
    std::vector<EdgePoint> landEdges, waterEdges;
    uint32_t drawSequence = 0;
    GimmickInputs inputs;
    // The two searches of a traveller being placed: from its start edge to
    // a tile on the way, and from there to its end edge (none until needed).
    std::array<std::unique_ptr<PathSearch>, 2> searches;
    int32_t searchType = -1;

    GimmickState();
    ~GimmickState() override;
    // The searches are made when the first traveller is placed.
    void MakeSearches();
    bool SearchesIdle() const;
    void StopSearches();

    const GimmickCategoryRow* CategoryOf(int32_t type) const;
    int32_t MovementOf(int32_t type) const;
};

GimmickState& GimmicksOf(World& world = CurrentWorld());

// Extras of limited types created since the program started.
std::vector<int32_t>& GimmickAppearances();

// The cell tests; false outside the map.
bool GimmickLandTest(const WorldMap& map, int32_t x, int32_t y, int32_t type, bool needFree);
bool GimmickWaterTest(const WorldMap& map, int32_t x, int32_t y, int32_t type, bool needFree);

void InitGimmickTileLists();
bool CanSpawnGimmick(int32_t type, const GimmickInputs& inputs);
// Creates an extra of the type at a place its category allows; false when
// none was created.
bool SpawnGimmick(int32_t type, uint32_t now);
void UpdateGimmicks(uint32_t now, const GimmickInputs& inputs);
void DrawGimmicks(uint32_t now);
void DeleteAllGimmicks();
