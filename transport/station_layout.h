// Station layouts: in a station's own unrotated coordinates, which tiles of
// its rectangle form its areas, where vehicles load, where roads and tracks
// connect, which paths vehicles take through it and where its graphic parts
// stand. Read from "station_config.txt"; a `Station` kind names its layout
// by `LayoutIndex`. Queries turn an entry by the station's rotation (the bits
// 1, 2, 4, 8) and move it to the station's origin.
#pragma once

#include "transport/waypoint_list.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct LayoutArea {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    uint8_t mask = 0;
    uint32_t used = 0;
};

struct LayoutPoint {
    int32_t x = 0;
    int32_t y = 0;
    uint8_t mask = 0;
    uint32_t used = 0;
};

struct LayoutPart {
    int32_t x = 0;
    int32_t y = 0;
    // Class: 0 main sprite, 4 and 9 buildings, 5 to 8 ground pieces.
    int32_t c = 0;
    // Sprite frame.
    int32_t v = 0;
    uint32_t used = 0;
    // Further quarter turns of a building.
    uint8_t f = 0;
};

struct StationLayout {
    static constexpr uint32_t kAreas = 15;
    static constexpr uint32_t kLoadAreas = 65;
    static constexpr uint32_t kPoints = 20;
    static constexpr uint32_t kLoadPoints = 65;
    static constexpr uint32_t kConnPoints = 129;
    static constexpr uint32_t kParts = 200;
    static constexpr uint32_t kRoutes = 128;
    // Reservation bits exist for loading areas 1 to 31: a layout with more
    // is refused at load, so that no berth or stand can be promised twice.
    static constexpr uint32_t kMaxLoadAreaCount = 31;
    // The area that stands for the extension strip.
    static constexpr uint32_t kExtensionArea = 5;

    std::array<LayoutArea, kAreas> areas{};
    std::array<LayoutArea, kLoadAreas> loadAreas{};
    std::array<LayoutPoint, kPoints> points{};
    std::array<LayoutPoint, kLoadPoints> loadPoints{};
    std::array<LayoutPoint, kConnPoints> connPoints{};
    std::array<LayoutPart, kParts> parts{};
    std::array<WaypointList, kRoutes> routes;

    StationLayout();
    // The highest used LOAD_AREA number; 0 when none.
    uint32_t LoadAreaCount() const;
};

// A point of a layout on the map.
struct LayoutTile {
    int32_t x = 0;
    int32_t y = 0;
    uint8_t mask = 0;
};

// A rectangle of a layout on the map: its lowest corner and its extent.
struct LayoutRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    uint8_t mask = 0;
};

// The rotation index (0 to 3) of a rotation bit, or -1.
int32_t RotationIndex(uint32_t rotation);
// A direction mask turned left within its four bits by the rotation index.
uint8_t TurnMask(uint8_t mask, int32_t rotationIndex);
// A layout point of a station of size (width, height) at (originX, originY)
// with the rotation bit; false for a rotation that is not one bit of 1-8.
bool TurnLayoutPoint(int32_t px, int32_t py, uint8_t mask, int32_t width, int32_t height, uint32_t rotation,
                     int32_t originX, int32_t originY, LayoutTile& out);
bool TurnLayoutArea(const LayoutArea& area, int32_t width, int32_t height, uint32_t rotation, int32_t originX,
                    int32_t originY, LayoutRect& out);

// The layout table, indexed by layout number.
class StationLayouts {
public:
    // The highest layout number a file may use.
    static constexpr int64_t kMaxLayoutNumber = 1023;
    // The most points of one ROUTE entry.
    static constexpr int64_t kMaxRoutePoints = 1024;
    // Layout coordinates lie within this distance of the origin.
    static constexpr int64_t kMaxCoordinate = 4096;

    // Reads a layout file's text, adding to and replacing the records read
    // before. Lines that cannot be used are skipped with a warning naming
    // the source and line. Returns the number of warnings.
    uint32_t Read(std::string_view text, std::string_view sourceName);
    // Forgets every layout.
    void Clear() { layouts_.clear(); }

    // The layout, or null when the number is beyond the table or unused.
    const StationLayout* Get(int64_t number) const;
    // One past the highest layout number read.
    uint32_t Size() const { return uint32_t(layouts_.size()); }

private:
    std::vector<std::unique_ptr<StationLayout>> layouts_;
};

// The file read by LoadStationConfig, found through the virtual file system.
inline constexpr std::string_view kStationConfigPath = "station_config.txt";

// The game's layouts, read at new-game set-up.
StationLayouts& GetStationLayouts();
// Reads kStationConfigPath (or the given path) through the virtual file
// system into the game's layouts, replacing them. False, with a warning and
// an empty table, when the file cannot be read.
bool LoadStationConfig(std::string_view path = kStationConfigPath);

// Queries by station kind (a row of the `Station` table) and rotation bit.
bool GetStationSize(int32_t kind, int32_t rotationIndex, int32_t& w, int32_t& h);
const StationLayout* GetLayoutForKind(int32_t kind);
bool GetLayoutPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out);
bool GetLayoutLoadPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out);
bool GetLayoutConnPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out);
bool GetLayoutArea(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out);
bool GetLayoutLoadArea(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out);
uint32_t GetLoadAreaCountForKind(int32_t kind);
// Appends every point of ROUTE n, turned and moved, with its value and
// turned mask; false when the route is empty or missing.
bool AppendLayoutRoute(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, WaypointList& list);

// What is wrong with the layouts of the `Station` rows: a missing layout,
// entries outside the kind's footprint, a loading area without its load or
// connection point, no whole-station area 3, no extension strip, no main
// part. One line per problem, each naming the kind; empty when all is well.
std::vector<std::string> CheckStationKinds(const StationLayouts& layouts);
