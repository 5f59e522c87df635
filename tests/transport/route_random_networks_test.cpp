// The route planner against a plain Dijkstra over the tiles: random road
// and track pieces on small maps, with a tile cost callback, and routes
// between random junctions must cost the same in both.
#include "transport/route_planner.h"

#include "tests/world/world_fixture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <queue>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kSide = 16;

// The sanitizer build checks memory use on fewer networks; the release run
// compares all of them.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint32_t kNetworks = 100;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr uint32_t kNetworks = 100;
#else
constexpr uint32_t kNetworks = 500;
#endif
#else
constexpr uint32_t kNetworks = 500;
#endif

// Road and track direction masks of a small map, kept symmetric: a
// direction on one tile always has its opposite on the neighbour.
struct Pieces {
    std::vector<uint8_t> mask[2];

    Pieces() {
        mask[0].assign(kSide * kSide, 0);
        mask[1].assign(kSide * kSide, 0);
    }
    uint8_t& At(uint32_t mode, uint32_t x, uint32_t y) { return mask[mode][y * kSide + x]; }

    void Link(uint32_t mode, uint32_t x, uint32_t y, uint32_t d) {
        const uint32_t nx = x + uint32_t(kDirections[d].dx), ny = y + uint32_t(kDirections[d].dy);
        At(mode, x, y) |= uint8_t(DirectionMask(d));
        At(mode, nx, ny) |= uint8_t(OppositeDirectionMask(d));
    }
    void Unlink(uint32_t mode, uint32_t x, uint32_t y, uint32_t d) {
        const uint32_t nx = x + uint32_t(kDirections[d].dx), ny = y + uint32_t(kDirections[d].dy);
        At(mode, x, y) &= uint8_t(~DirectionMask(d));
        if (nx < kSide && ny < kSide)
            At(mode, nx, ny) &= uint8_t(~OppositeDirectionMask(d));
    }

    // Random pieces of both modes; where road and track meet, only a
    // straight track crossed at right angles by a straight road stays, as
    // construction allows (the track is taken off other shared tiles).
    void Generate(std::mt19937& random, uint32_t roadPercent, uint32_t trackPercent) {
        for (uint32_t mode = 0; mode < 2; ++mode) {
            const uint32_t percent = mode == 0 ? roadPercent : trackPercent;
            for (uint32_t y = 1; y + 1 < kSide; ++y)
                for (uint32_t x = 1; x + 1 < kSide; ++x)
                    for (uint32_t d : {1u, 2u})
                        if ((d == 1 ? x + 2 < kSide : y + 2 < kSide) && random() % 100 < percent)
                            Link(mode, x, y, d);
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (uint32_t y = 0; y < kSide; ++y) {
                for (uint32_t x = 0; x < kSide; ++x) {
                    const uint32_t road = At(0, x, y), track = At(1, x, y);
                    if (!road || !track || ((track == 5 || track == 10) && road == (track ^ 15u)))
                        continue;
                    for (uint32_t d = 0; d < 4; ++d)
                        if (track & DirectionMask(d))
                            Unlink(1, x, y, d);
                    changed = true;
                }
            }
        }
    }

    void Apply() const {
        WorldMap& map = GetWorldMap();
        for (uint32_t y = 0; y < kSide; ++y) {
            for (uint32_t x = 0; x < kSide; ++x) {
                const uint32_t road = mask[0][y * kSide + x], track = mask[1][y * kSide + x];
                if (!road && !track)
                    continue;
                map.SetRouteKind(x, y, road && track ? 3 : road ? 2 : 1);
                if (track) {
                    map.SetRouteType(1, x, y, 1);
                    map.SetTrackDirections(x, y, track);
                }
                if (road)
                    map.SetRoadDirections(x, y, road);
            }
        }
        map.MarkRoadNetworkChanged();
        map.MarkTrackNetworkChanged();
    }
};

// A cost of 0 to 4 for each tile that is no junction; junctions cost
// nothing, so that the callback's charge does not depend on where the
// planner's graph puts its nodes.
struct TileCosts {
    std::vector<uint8_t> cost;
};

uint32_t ChargeTile(uint32_t x, uint32_t y, uint32_t, uint32_t, void* context, uint32_t) {
    const auto* costs = static_cast<const TileCosts*>(context);
    return x < kSide && y < kSide ? costs->cost[y * kSide + x] : 0;
}

// The cheapest route over (tile, direction of arrival) states: each step
// costs 1 plus the entered tile's cost, a track vehicle never reverses and
// obeys the turn rule of each tile it passes.
uint32_t ReferenceDijkstra(uint32_t mode, uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY,
                           const TileCosts& costs) {
    constexpr uint32_t kStart = 4;
    std::vector<uint32_t> dist(kSide * kSide * 5, UINT32_MAX);
    using Entry = std::tuple<uint32_t, uint32_t, uint32_t>; // cost, tile, arrival
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    dist[(fromY * kSide + fromX) * 5 + kStart] = 0;
    open.emplace(0, fromY * kSide + fromX, kStart);
    while (!open.empty()) {
        const auto [cost, tile, arrival] = open.top();
        open.pop();
        if (cost != dist[tile * 5 + arrival])
            continue;
        const uint32_t x = tile % kSide, y = tile / kSide;
        if (x == toX && y == toY && arrival != kStart)
            return cost;
        const uint32_t usable = RouteTileUsable(x, y, mode);
        for (uint32_t d = 0; d < 4; ++d) {
            if (!(usable & DirectionMask(d)))
                continue;
            if (arrival != kStart && (d == kDirections[arrival].opposite ||
                                      RouteStepPenalty(x, y, DirectionMask(arrival), DirectionMask(d),
                                                       mode) >= kRouteStepForbidden))
                continue;
            uint32_t nx = 0, ny = 0;
            if (!NextTileAlong(x, y, d, nx, ny) ||
                !(RouteTileUsable(nx, ny, mode) & OppositeDirectionMask(d)))
                continue;
            const uint32_t next = cost + 1 + costs.cost[ny * kSide + nx];
            uint32_t& known = dist[(ny * kSide + nx) * 5 + d];
            if (next < known) {
                known = next;
                open.emplace(next, ny * kSide + nx, d);
            }
        }
    }
    return 0;
}

class RouteRandomNetworkTest : public WorldTest {};

TEST_F(RouteRandomNetworkTest, PlannerCostsEqualDijkstraOnRandomPieces) {
    uint32_t compared = 0, routed = 0;
    for (uint32_t seed = 1; seed <= kNetworks; ++seed) {
        ResetWorld(kSide, kSide);
        CreateRoutePlanners();
        std::mt19937 random(seed);
        Pieces pieces;
        pieces.Generate(random, 35 + seed % 40, 35 + (seed / 7) % 40);
        pieces.Apply();
        // Half the networks are searched with tile costs, half without.
        TileCosts costs;
        costs.cost.assign(kSide * kSide, 0);
        const bool charged = seed % 2 == 0;
        for (uint32_t mode = 0; mode < 2; ++mode) {
            std::vector<std::pair<uint32_t, uint32_t>> junctions;
            for (uint32_t y = 0; y < kSide; ++y)
                for (uint32_t x = 0; x < kSide; ++x)
                    if (std::popcount(uint32_t(pieces.At(mode, x, y))) >= 3)
                        junctions.emplace_back(x, y);
            if (charged)
                for (uint32_t i = 0; i < kSide * kSide; ++i)
                    costs.cost[i] =
                        std::popcount(uint32_t(pieces.mask[mode][i])) >= 3 ? 0 : uint8_t(random() % 5);
            if (junctions.size() < 2)
                continue;
            for (int q = 0; q < 6; ++q) {
                const auto a = junctions[random() % junctions.size()];
                const auto b = junctions[random() % junctions.size()];
                if (a == b)
                    continue;
                const uint32_t expected =
                    ReferenceDijkstra(mode, a.first, a.second, b.first, b.second, costs);
                const uint32_t got = GetRoutePlanner(mode)->FindRoute(
                    a.first, a.second, b.first, b.second, nullptr, charged ? ChargeTile : nullptr, &costs);
                ASSERT_EQ(got, expected)
                    << "seed " << seed << " mode " << mode << " from " << a.first << "," << a.second << " to "
                    << b.first << "," << b.second << (charged ? " with tile costs" : "");
                // Asked for the tiles too, the route costs the same.
                WaypointList list;
                EXPECT_EQ(GetRoutePlanner(mode)->FindRoute(a.first, a.second, b.first, b.second, &list,
                                                           charged ? ChargeTile : nullptr, &costs),
                          expected)
                    << "seed " << seed << " mode " << mode << " with a list";
                EXPECT_EQ(list.Count() == 0, expected == 0);
                ++compared;
                routed += expected != 0;
            }
        }
    }
    // The networks are dense enough that most queries find a route.
    EXPECT_GT(compared, kNetworks * 5);
    EXPECT_GT(routed, compared / 2);
}

} // namespace
