#include "economy/city_site_grid.h"

#include "files/chunk_transfer.h"
#include "platform/endian.h"
#include "world/world_map.h"
#include "world/world_warnings.h"

#include <cstdlib>

namespace {

constexpr int32_t kTerrainRadius = 8;
// Distances in 1/65536 tile, so the cones need no floating-point roots.
constexpr int64_t kUnit = 65536;

bool blockedByPlan = false;

uint64_t SquareRoot(uint64_t v) {
    uint64_t result = 0, bit = uint64_t(1) << 62;
    while (bit > v)
        bit >>= 2;
    while (bit != 0) {
        if (v >= result + bit) {
            v -= result + bit;
            result = (result >> 1) + bit;
        } else {
            result >>= 1;
        }
        bit >>= 2;
    }
    return result;
}

} // namespace

int32_t RunPredicateList(int32_t priority, int32_t x, int32_t y, std::span<const Predicate> predicates) {
    for (const Predicate& p : predicates)
        if (p.test && p.test(priority, x, y, p.param) == 0)
            return 0;
    return 1;
}

bool& BlockedByPlan() {
    return blockedByPlan;
}

void CitySiteGrid::Resize(uint32_t width, uint32_t height) {
    width_ = width;
    height_ = height;
    values_.assign(size_t(width) * height, 0);
    for (Layer& layer : layers_) {
        layer.built = false;
        for (auto& bucket : layer.buckets)
            bucket.clear();
        layer.results.clear();
    }
}

int8_t CitySiteGrid::Get(int32_t x, int32_t y) const {
    return values_[size_t(y - top_) * width_ + size_t(x - left_)];
}

void CitySiteGrid::Set(int32_t x, int32_t y, int8_t value) {
    values_[size_t(y - top_) * width_ + size_t(x - left_)] = value;
}

void CitySiteGrid::ClearValues() {
    std::fill(values_.begin(), values_.end(), int8_t(0));
}

template <typename Write>
void CitySiteGrid::Spread(int32_t x, int32_t y, int32_t radius, Write write) {
    if (radius <= 0 || values_.empty())
        return;
    const WorldMap& map = GetWorldMap();
    for (int32_t j = y - radius; j < y + radius; ++j) {
        for (int32_t i = x - radius; i < x + radius; ++i) {
            if (i < 0 || j < 0 || !map.InMap(uint32_t(i), uint32_t(j)) || !Inside(i, j))
                continue;
            const int64_t d2 = int64_t(x - i) * (x - i) + int64_t(y - j) * (y - j);
            if (d2 > int64_t(radius) * radius)
                continue;
            const int64_t distance = int64_t(SquareRoot(uint64_t(d2) << 32));
            int8_t& cell = values_[size_t(j - top_) * width_ + size_t(i - left_)];
            write(cell, distance);
        }
    }
}

void CitySiteGrid::SpreadTerrain(int32_t x, int32_t y, int32_t v) {
    if (v == 0)
        return;
    Spread(x, y, kTerrainRadius, [v](int8_t& cell, int64_t distance) {
        const int64_t candidate = (int64_t(v) * kUnit - distance) / kUnit;
        if (cell <= candidate)
            cell = int8_t(uint8_t(candidate));
    });
}

void CitySiteGrid::SpreadCone(int32_t x, int32_t y, int32_t v) {
    const int32_t r = std::abs(v);
    Spread(x, y, r, [v, r](int8_t& cell, int64_t distance) {
        const int64_t candidate = (int64_t(r) * kUnit - distance) * v / (int64_t(r) * kUnit);
        if (cell <= candidate)
            cell = int8_t(uint8_t(candidate));
    });
}

void CitySiteGrid::SpreadAdd(int32_t x, int32_t y, int32_t v) {
    const int32_t r = std::abs(v);
    Spread(x, y, r, [v, r](int8_t& cell, int64_t distance) {
        const int64_t scale = int64_t(r) * kUnit;
        const int64_t sum = ((scale - distance) * v + int64_t(cell) * scale) / scale;
        cell = int8_t(uint8_t(sum));
    });
}

void CitySiteGrid::BuildLayer(uint32_t layer) {
    Layer& l = layers_[layer];
    if (l.built)
        return;
    for (auto& bucket : l.buckets)
        bucket.clear();
    for (uint32_t row = 0; row < height_; ++row) {
        for (uint32_t column = 0; column < width_; ++column) {
            const int8_t p = GetCell(column, row);
            if (p >= 1 && p <= 99)
                l.buckets[size_t(p)].push_back(
                    {uint32_t(left_ + int32_t(column)), uint32_t(top_ + int32_t(row))});
        }
    }
    l.built = true;
}

int32_t CitySiteGrid::Search(Mode mode, uint32_t layer, std::span<const Predicate> predicates, int32_t& x,
                             int32_t& y, uint32_t& count, bool stopAtFirst, bool prune) {
    BuildLayer(layer);
    Layer& l = layers_[layer];
    l.results.clear();
    count = 0;
    int32_t top = 99;
    while (top >= 1 && l.buckets[size_t(top)].empty())
        --top;
    if (top < 1)
        return kNothing;
    const WorldMap& map = GetWorldMap();
    int32_t answer = kNothing;
    for (int32_t p = top; p >= 1; --p) {
        if (count > 0 && mode != Mode::All)
            break;
        std::vector<Tile>& bucket = l.buckets[size_t(p)];
        for (size_t k = 0; k < bucket.size();) {
            const Tile tile = bucket[k];
            if (!map.InMap(tile.x, tile.y)) {
                ++k;
                continue;
            }
            if (mode == Mode::Pruning)
                blockedByPlan = false;
            if (RunPredicateList(p, int32_t(tile.x), int32_t(tile.y), predicates)) {
                if (count == 0) {
                    x = int32_t(tile.x);
                    y = int32_t(tile.y);
                }
                ++count;
                l.results.push_back({tile.x, tile.y, uint32_t(k)});
                answer = p;
                if (stopAtFirst) {
                    x = int32_t(tile.x);
                    y = int32_t(tile.y);
                    if (mode == Mode::Pruning)
                        bucket.erase(bucket.begin() + std::ptrdiff_t(k));
                    return p;
                }
                ++k;
                continue;
            }
            const bool drop = mode == Mode::Pruning ? blockedByPlan : prune;
            if (drop)
                bucket.erase(bucket.begin() + std::ptrdiff_t(k));
            else
                ++k;
        }
        if (mode == Mode::Pruning && prune && count == 0)
            bucket.clear();
    }
    return answer;
}

int32_t CitySiteGrid::FindSite(uint32_t layer, std::span<const Predicate> predicates, int32_t& x, int32_t& y,
                               uint32_t& count, bool stopAtFirst, bool prune) {
    return Search(Mode::First, layer, predicates, x, y, count, stopAtFirst, prune);
}

int32_t CitySiteGrid::FindAllSites(uint32_t layer, std::span<const Predicate> predicates, int32_t& x,
                                   int32_t& y, uint32_t& count, bool stopAtFirst, bool prune) {
    return Search(Mode::All, layer, predicates, x, y, count, stopAtFirst, prune);
}

int32_t CitySiteGrid::FindSitePruning(uint32_t layer, std::span<const Predicate> predicates, int32_t& x,
                                      int32_t& y, uint32_t& count, bool stopAtFirst, bool prune) {
    return Search(Mode::Pruning, layer, predicates, x, y, count, stopAtFirst, prune);
}

bool CitySiteGrid::Transfer(uint32_t townWidth, uint32_t townHeight) {
    const bool loading = StreamMode() == kStreamLoad;
    uint32_t tag = ChunkTag("data");
    BeginChunk(tag);
    bool ok = true;
    if (loading && tag != ChunkTag("data")) {
        WorldWarning("towns: town %u has no priority grid where one belongs", town_);
        ok = false;
    } else {
        uint8_t head[12] = {};
        plat::StoreLE32(head, width_);
        plat::StoreLE32(head + 4, height_);
        plat::StoreLE32(head + 8, town_);
        std::vector<uint8_t> bytes(values_.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(values_[i]);
        const bool whole = TransferSized(head, sizeof head) == 4 + sizeof head;
        TransferVector(bytes);
        if (loading) {
            const uint32_t w = plat::LoadLE32(head), h = plat::LoadLE32(head + 4);
            if (!whole || w != townWidth || h != townHeight || bytes.size() != size_t(w) * h) {
                WorldWarning("towns: a priority grid of town %u does not fit the town's %u x %u tiles", town_,
                             townWidth, townHeight);
                ok = false;
            } else {
                Resize(w, h);
                for (size_t i = 0; i < bytes.size(); ++i)
                    values_[i] = int8_t(bytes[i]);
            }
        }
    }
    EndChunk();
    return ok && !StreamFailed();
}

void CitySiteGrid::TransferLayers() {
    const bool loading = StreamMode() == kStreamLoad;
    const int32_t left = left_, top = top_;
    for (uint32_t i = 0; i < kLayers; ++i) {
        Layer& layer = layers_[i];
        uint8_t built = layer.built ? 1 : 0;
        ::Transfer(built);
        std::vector<uint32_t> tiles;
        std::vector<uint32_t> results;
        if (!loading) {
            // Per bucket its length, then its tiles as x, y.
            for (const auto& bucket : layer.buckets) {
                tiles.push_back(uint32_t(bucket.size()));
                for (const Tile& t : bucket) {
                    tiles.push_back(t.x);
                    tiles.push_back(t.y);
                }
            }
            for (const Hit& h : layer.results) {
                results.push_back(h.x);
                results.push_back(h.y);
                results.push_back(h.position);
            }
        }
        TransferVector(tiles);
        TransferVector(results);
        if (!loading)
            continue;
        Layer restored;
        bool sound = built <= 1 && results.size() % 3 == 0;
        const size_t cells = size_t(width_) * height_;
        size_t k = 0, total = 0;
        auto inTown = [&](uint32_t x, uint32_t y) {
            const int64_t tx = int32_t(x), ty = int32_t(y);
            return tx >= left && tx < int64_t(left) + width_ && ty >= top && ty < int64_t(top) + height_;
        };
        for (size_t b = 0; b < kBuckets && sound && built; ++b) {
            if (k >= tiles.size()) {
                sound = false;
                break;
            }
            const size_t n = tiles[k++];
            total += n;
            if (total > cells || n > (tiles.size() - k) / 2) {
                sound = false;
                break;
            }
            for (size_t e = 0; e < n; ++e, k += 2) {
                if (!inTown(tiles[k], tiles[k + 1]))
                    sound = false;
                restored.buckets[b].push_back({tiles[k], tiles[k + 1]});
            }
        }
        for (size_t r = 0; r + 2 < results.size() && sound; r += 3) {
            if (!inTown(results[r], results[r + 1]) || results.size() / 3 > cells)
                sound = false;
            restored.results.push_back({results[r], results[r + 1], results[r + 2]});
        }
        if (!sound) {
            WorldWarning("towns: search layer %u of a grid of town %u is damaged, it is built anew", i,
                         town_);
            layers_[i] = Layer{};
            continue;
        }
        restored.built = built != 0;
        layers_[i] = std::move(restored);
    }
}
