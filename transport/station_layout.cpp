#include "transport/station_layout.h"

#include "data/generated/route_tables.h"
#include "files/virtual_file_system.h"
#include "platform/file.h"
#include "transport/transport_log.h"
#include "world/game_settings.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr std::string_view kBegin = "STATION_DESC_BEGIN";
constexpr std::string_view kEnd = "STATION_DESC_END";
// Longer lines are no layout entries; they are skipped whole.
constexpr size_t kMaxLineLength = 4096;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The words of a line, split at white space.
std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsSpace(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A whole word as a decimal integer (an optional sign, then digits).
bool ParseNumber(std::string_view word, int64_t& out) {
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    if (word.empty() || word.front() == '+')
        return false;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), out);
    return error == std::errc() && end == word.data() + word.size();
}

// Reads one file's text; the layout table it fills is the caller's.
class LayoutReader {
public:
    LayoutReader(std::vector<std::unique_ptr<StationLayout>>& layouts, std::string_view source)
        : layouts_(layouts), source_(source) {}

    uint32_t Read(std::string_view text) {
        size_t position = 0;
        while (position < text.size()) {
            size_t end = text.find('\n', position);
            if (end == std::string_view::npos)
                end = text.size();
            ++lineNumber_;
            Line(text.substr(position, end - position));
            position = end + 1;
        }
        if (pendingRoute_)
            FinishRoute(true);
        if (inBlock_)
            Warn("the file ends inside layout %lld; the block ends there", static_cast<long long>(block_));
        RefuseOversized();
        return warnings_;
    }

private:
    void Warn(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        TransportWarning("%.*s line %u: %s", int(source_.size()), source_.data(), lineNumber_, text);
        ++warnings_;
    }

    void Line(std::string_view line) {
        if (line.size() > kMaxLineLength) {
            Warn("a line of %zu characters is skipped", line.size());
            return;
        }
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty())
            return;
        if (pendingRoute_ && ContinueRoute(words))
            return;
        if (!inBlock_) {
            if (words[0] == kBegin)
                Begin(words);
            return;
        }
        if (words[0] == kEnd && words.size() == 1) {
            inBlock_ = false;
            return;
        }
        if (words[0] == kBegin) {
            Warn("layout %lld is not closed before the next begins", static_cast<long long>(block_));
            Begin(words);
            return;
        }
        if (skipBlock_)
            return;
        Entry(words);
    }

    void Begin(const std::vector<std::string_view>& words) {
        inBlock_ = true;
        skipBlock_ = false;
        int64_t number = 0;
        if (words.size() >= 2 && !ParseNumber(words[1], number)) {
            Warn("layout number \"%.*s\" is not a number; the block is skipped",
                 int(std::min<size_t>(words[1].size(), 32)), words[1].data());
            skipBlock_ = true;
            return;
        }
        if (number < 0 || number > StationLayouts::kMaxLayoutNumber) {
            Warn("layout number %lld is outside 0 to %lld; the block is skipped",
                 static_cast<long long>(number), static_cast<long long>(StationLayouts::kMaxLayoutNumber));
            skipBlock_ = true;
            return;
        }
        block_ = number;
    }

    StationLayout* Record(bool create) {
        if (size_t(block_) < layouts_.size() && layouts_[size_t(block_)])
            return layouts_[size_t(block_)].get();
        if (!create)
            return nullptr;
        if (size_t(block_) >= layouts_.size())
            layouts_.resize(size_t(block_) + 1);
        layouts_[size_t(block_)] = std::make_unique<StationLayout>();
        return layouts_[size_t(block_)].get();
    }

    // The numbers after the keyword: at least min of them, each a whole
    // number; later words are ignored.
    bool Numbers(const std::vector<std::string_view>& words, size_t min, size_t max,
                 std::vector<int64_t>& out) {
        out.clear();
        for (size_t i = 1; i < words.size() && out.size() < max; ++i) {
            int64_t value = 0;
            if (!ParseNumber(words[i], value))
                break;
            out.push_back(value);
        }
        if (out.size() < min) {
            Warn("%.*s needs %zu numbers; the entry is skipped", int(words[0].size()), words[0].data(), min);
            return false;
        }
        return true;
    }

    bool InRange(std::string_view what, int64_t value, int64_t low, int64_t high) {
        if (value >= low && value <= high)
            return true;
        Warn("%.*s %lld is outside %lld to %lld; the entry is skipped", int(what.size()), what.data(),
             static_cast<long long>(value), static_cast<long long>(low), static_cast<long long>(high));
        return false;
    }

    bool Coordinates(std::string_view keyword, const int64_t* values, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (!InRange(keyword, values[i], -StationLayouts::kMaxCoordinate, StationLayouts::kMaxCoordinate))
                return false;
        }
        return true;
    }

    void Entry(const std::vector<std::string_view>& words) {
        const std::string_view keyword = words[0];
        const bool isArea = keyword == "AREA";
        const bool isLoadArea = keyword == "LOAD_AREA";
        std::vector<int64_t> n;
        if (isArea || isLoadArea) {
            if (!Numbers(words, 6, 6, n))
                return;
            const int64_t tableSize = isArea ? StationLayout::kAreas : StationLayout::kLoadAreas;
            if (!InRange(keyword, n[0], 0, tableSize - 1) || !Coordinates(keyword, &n[1], 4) ||
                !InRange("mask", n[5], 0, 255))
                return;
            StationLayout* layout = Record(true);
            LayoutArea& area = isArea ? layout->areas[size_t(n[0])] : layout->loadAreas[size_t(n[0])];
            area = LayoutArea{int32_t(n[1]), int32_t(n[2]), int32_t(n[3]), int32_t(n[4]), uint8_t(n[5]), 1};
            return;
        }
        const bool isPoint = keyword == "POINT";
        const bool isLoadPoint = keyword == "LOAD_POINT";
        const bool isConnPoint = keyword == "CONN_POINT";
        const bool isPart = keyword == "PART";
        const bool isRoute = keyword == "ROUTE";
        if (!isPoint && !isLoadPoint && !isConnPoint && !isPart && !isRoute) {
            Warn("unknown keyword \"%.*s\" is ignored", int(std::min<size_t>(keyword.size(), 32)),
                 keyword.data());
            return;
        }
        StationLayout* layout = Record(false);
        if (!layout) {
            Warn("%.*s before the layout's first AREA or LOAD_AREA is skipped", int(keyword.size()),
                 keyword.data());
            return;
        }
        if (isPoint || isLoadPoint || isConnPoint) {
            if (!Numbers(words, 4, 4, n))
                return;
            const int64_t tableSize = isPoint       ? StationLayout::kPoints
                                      : isLoadPoint ? StationLayout::kLoadPoints
                                                    : StationLayout::kConnPoints;
            if (!InRange(keyword, n[0], 0, tableSize - 1) || !Coordinates(keyword, &n[1], 2) ||
                !InRange("mask", n[3], 0, 255))
                return;
            LayoutPoint& point = isPoint       ? layout->points[size_t(n[0])]
                                 : isLoadPoint ? layout->loadPoints[size_t(n[0])]
                                               : layout->connPoints[size_t(n[0])];
            point = LayoutPoint{int32_t(n[1]), int32_t(n[2]), uint8_t(n[3]), 1};
            return;
        }
        if (isPart) {
            // n v x y c [f]
            if (!Numbers(words, 5, 6, n))
                return;
            if (!InRange(keyword, n[0], 0, StationLayout::kParts - 1) ||
                !InRange("frame", n[1], 0, INT32_MAX) || !Coordinates(keyword, &n[2], 2) ||
                !InRange("class", n[4], 0, INT32_MAX))
                return;
            const int64_t f = n.size() > 5 ? n[5] : 0;
            if (!InRange("turn", f, 0, 255))
                return;
            layout->parts[size_t(n[0])] =
                LayoutPart{int32_t(n[2]), int32_t(n[3]), int32_t(n[4]), int32_t(n[1]), 1, uint8_t(f)};
            return;
        }
        // ROUTE n k, then k points of x y mask value, on this line and the next.
        if (!Numbers(words, 2, SIZE_MAX, n))
            return;
        if (!InRange(keyword, n[0], 0, StationLayout::kRoutes - 1) ||
            !InRange("point count", n[1], 0, StationLayouts::kMaxRoutePoints))
            return;
        pendingRoute_ = true;
        routeNumber_ = uint32_t(n[0]);
        routeCount_ = uint32_t(n[1]);
        routeLine_ = lineNumber_;
        routeValues_.assign(n.begin() + 2, n.end());
        if (routeValues_.size() >= size_t(routeCount_) * 4)
            FinishRoute(false);
    }

    // Takes a line of numbers as more of the pending route; false when the
    // line is something else (the route then ends short).
    bool ContinueRoute(const std::vector<std::string_view>& words) {
        std::vector<int64_t> values;
        for (std::string_view word : words) {
            int64_t value = 0;
            if (!ParseNumber(word, value)) {
                FinishRoute(true);
                return false;
            }
            values.push_back(value);
        }
        routeValues_.insert(routeValues_.end(), values.begin(), values.end());
        if (routeValues_.size() >= size_t(routeCount_) * 4)
            FinishRoute(false);
        return true;
    }

    void FinishRoute(bool cut) {
        pendingRoute_ = false;
        if (cut || routeValues_.size() != size_t(routeCount_) * 4) {
            Warn("ROUTE %u of line %u needs %u numbers, has %zu; the route is skipped", routeNumber_,
                 routeLine_, routeCount_ * 4, routeValues_.size());
            return;
        }
        WaypointList list(std::max<uint32_t>(routeCount_, 1));
        for (uint32_t i = 0; i < routeCount_; ++i) {
            const int64_t* p = &routeValues_[size_t(i) * 4];
            if (!Coordinates("ROUTE point", p, 2) || !InRange("mask", p[2], 0, 255) ||
                !InRange("value", p[3], INT32_MIN, UINT32_MAX))
                return;
            list.Add(uint32_t(int32_t(p[0])), uint32_t(int32_t(p[1])));
            list.SetDirection(i, uint8_t(p[2]));
            list.SetValue(i, uint32_t(p[3]));
        }
        if (StationLayout* layout = Record(false))
            layout->routes[routeNumber_] = std::move(list);
    }

    void RefuseOversized() {
        for (size_t i = 0; i < layouts_.size(); ++i) {
            if (layouts_[i] && layouts_[i]->LoadAreaCount() > StationLayout::kMaxLoadAreaCount) {
                TransportWarning(
                    "%.*s: layout %zu has %u loading areas, more than %u can be reserved; refused",
                    int(source_.size()), source_.data(), i, layouts_[i]->LoadAreaCount(),
                    StationLayout::kMaxLoadAreaCount);
                ++warnings_;
                layouts_[i].reset();
            }
        }
    }

    std::vector<std::unique_ptr<StationLayout>>& layouts_;
    std::string_view source_;
    uint32_t lineNumber_ = 0;
    uint32_t warnings_ = 0;
    bool inBlock_ = false;
    bool skipBlock_ = false;
    int64_t block_ = 0;
    bool pendingRoute_ = false;
    uint32_t routeNumber_ = 0;
    uint32_t routeCount_ = 0;
    uint32_t routeLine_ = 0;
    std::vector<int64_t> routeValues_;
};

StationLayouts gameLayouts;

} // namespace

StationLayout::StationLayout() = default;

uint32_t StationLayout::LoadAreaCount() const {
    for (uint32_t n = kLoadAreas - 1; n >= 1; --n) {
        if (loadAreas[n].used)
            return n;
    }
    return 0;
}

int32_t RotationIndex(uint32_t rotation) {
    switch (rotation) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return -1;
    }
}

uint8_t TurnMask(uint8_t mask, int32_t rotationIndex) {
    const uint32_t v = (uint32_t(mask) << (rotationIndex & 3)) & 255;
    return uint8_t(((v >> 4) | v) & 15);
}

bool TurnLayoutPoint(int32_t px, int32_t py, uint8_t mask, int32_t width, int32_t height, uint32_t rotation,
                     int32_t originX, int32_t originY, LayoutTile& out) {
    const int32_t r = RotationIndex(rotation);
    if (r < 0)
        return false;
    // In 64 bits: an origin near the end of the range must not wrap.
    const int64_t w = (r & 1) ? height : width;
    const int64_t h = (r & 1) ? width : height;
    int64_t x = 0, y = 0;
    switch (r) {
    case 0:
        x = int64_t(originX) + px, y = int64_t(originY) + py;
        break;
    case 1:
        x = int64_t(originX) + w - py - 1, y = int64_t(originY) + px;
        break;
    case 2:
        x = int64_t(originX) + w - px - 1, y = int64_t(originY) + h - py - 1;
        break;
    default:
        x = int64_t(originX) + py, y = int64_t(originY) + h - px - 1;
        break;
    }
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
        return false;
    out.x = int32_t(x);
    out.y = int32_t(y);
    out.mask = TurnMask(mask, r);
    return true;
}

bool TurnLayoutArea(const LayoutArea& area, int32_t width, int32_t height, uint32_t rotation, int32_t originX,
                    int32_t originY, LayoutRect& out) {
    const int32_t r = RotationIndex(rotation);
    if (r < 0)
        return false;
    // The corner that becomes the lowest after the turn.
    const int32_t cx = (r == 0 || r == 1) ? area.x1 : area.x2;
    const int32_t cy = (r == 0 || r == 3) ? area.y1 : area.y2;
    LayoutTile corner;
    if (!TurnLayoutPoint(cx, cy, area.mask, width, height, rotation, originX, originY, corner))
        return false;
    out.x = corner.x;
    out.y = corner.y;
    out.mask = corner.mask;
    out.w = area.x2 - area.x1 + 1;
    out.h = area.y2 - area.y1 + 1;
    if (r & 1)
        std::swap(out.w, out.h);
    // Its far edge must be a coordinate too.
    return int64_t(out.x) + out.w <= INT32_MAX && int64_t(out.y) + out.h <= INT32_MAX;
}

uint32_t StationLayouts::Read(std::string_view text, std::string_view sourceName) {
    return LayoutReader(layouts_, sourceName).Read(text);
}

const StationLayout* StationLayouts::Get(int64_t number) const {
    if (number < 0 || uint64_t(number) >= layouts_.size())
        return nullptr;
    return layouts_[size_t(number)].get();
}

StationLayouts& GetStationLayouts() {
    return gameLayouts;
}

bool LoadStationConfig(std::string_view path) {
    gameLayouts.Clear();
    RefPtr<VfsFile> file = VfsOpen(path, kAccessRead, kOpenExisting);
    const std::string name(path);
    if (!file) {
        // Without a file system source: the installation folder on disk.
        std::string text;
        const std::string installed = InstallPath() + "/" + name;
        if (!InstallPath().empty() && plat::ReadWholeFile(installed, text)) {
            gameLayouts.Read(text, installed);
            return true;
        }
        TransportWarning("cannot open %s: no station layouts", name.c_str());
        return false;
    }
    std::string text(file->Size(), '\0');
    uint32_t read = 0;
    if (!file->Read(uint32_t(text.size()), text.data(), &read) || read != text.size()) {
        TransportWarning("cannot read %s: no station layouts", name.c_str());
        return false;
    }
    gameLayouts.Read(text, name);
    return true;
}

bool GetStationSize(int32_t kind, int32_t rotationIndex, int32_t& w, int32_t& h) {
    const StationRow* row = StationTable::Find(kind);
    if (!row)
        return false;
    w = row->XSizeInMapSquares;
    h = row->YSizeInMapSquares;
    if (rotationIndex == 1 || rotationIndex == 3)
        std::swap(w, h);
    return true;
}

const StationLayout* GetLayoutForKind(int32_t kind) {
    const StationRow* row = StationTable::Find(kind);
    return row ? gameLayouts.Get(row->LayoutIndex) : nullptr;
}

namespace {

template <size_t N>
bool PointQuery(const std::array<LayoutPoint, N> StationLayout::*table, int32_t kind, uint32_t n,
                uint32_t rotation, int32_t x, int32_t y, LayoutTile& out) {
    const StationLayout* layout = GetLayoutForKind(kind);
    int32_t w = 0;
    int32_t h = 0;
    if (!layout || n >= N || !GetStationSize(kind, 0, w, h))
        return false;
    const LayoutPoint& point = (layout->*table)[n];
    return point.used && TurnLayoutPoint(point.x, point.y, point.mask, w, h, rotation, x, y, out);
}

template <size_t N>
bool AreaQuery(const std::array<LayoutArea, N> StationLayout::*table, int32_t kind, uint32_t n,
               uint32_t rotation, int32_t x, int32_t y, LayoutRect& out) {
    const StationLayout* layout = GetLayoutForKind(kind);
    int32_t w = 0;
    int32_t h = 0;
    if (!layout || n >= N || !GetStationSize(kind, 0, w, h))
        return false;
    const LayoutArea& area = (layout->*table)[n];
    return area.used && TurnLayoutArea(area, w, h, rotation, x, y, out);
}

} // namespace

bool GetLayoutPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out) {
    return PointQuery(&StationLayout::points, kind, n, rotation, x, y, out);
}

bool GetLayoutLoadPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out) {
    return PointQuery(&StationLayout::loadPoints, kind, n, rotation, x, y, out);
}

bool GetLayoutConnPoint(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutTile& out) {
    return PointQuery(&StationLayout::connPoints, kind, n, rotation, x, y, out);
}

bool GetLayoutArea(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out) {
    return AreaQuery(&StationLayout::areas, kind, n, rotation, x, y, out);
}

bool GetLayoutLoadArea(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y, LayoutRect& out) {
    return AreaQuery(&StationLayout::loadAreas, kind, n, rotation, x, y, out);
}

uint32_t GetLoadAreaCountForKind(int32_t kind) {
    const StationLayout* layout = GetLayoutForKind(kind);
    return layout ? layout->LoadAreaCount() : 0;
}

bool AppendLayoutRoute(int32_t kind, uint32_t n, uint32_t rotation, int32_t x, int32_t y,
                       WaypointList& list) {
    const StationLayout* layout = GetLayoutForKind(kind);
    int32_t w = 0;
    int32_t h = 0;
    if (!layout || n >= StationLayout::kRoutes || !GetStationSize(kind, 0, w, h) ||
        RotationIndex(rotation) < 0)
        return false;
    const WaypointList& route = layout->routes[n];
    if (route.Count() == 0)
        return false;
    for (uint32_t i = 0; i < route.Count(); ++i) {
        const Waypoint& p = route.Get(i);
        LayoutTile tile;
        TurnLayoutPoint(int32_t(p.x), int32_t(p.y), p.direction, w, h, rotation, x, y, tile);
        list.Add(uint32_t(tile.x), uint32_t(tile.y));
        list.SetValue(list.Count() - 1, p.value);
        list.SetDirection(list.Count() - 1, tile.mask);
    }
    return true;
}

std::vector<std::string> CheckStationKinds(const StationLayouts& layouts) {
    std::vector<std::string> problems;
    const StationTable::Slots& rows = StationTable::Rows();
    for (size_t kind = 0; kind < rows.size(); ++kind) {
        if (!rows[kind])
            continue;
        const StationRow& row = *rows[kind];
        auto problem = [&](const std::string& text) {
            problems.push_back("kind " + std::to_string(kind) + " (" + row.Name + "): " + text);
        };
        const StationLayout* layout = layouts.Get(row.LayoutIndex);
        const int32_t w = row.XSizeInMapSquares;
        const int32_t h = row.YSizeInMapSquares;
        if (!layout) {
            problem("no layout " + std::to_string(row.LayoutIndex));
            continue;
        }
        if (w < 1 || h < 1) {
            problem("a footprint of " + std::to_string(w) + " x " + std::to_string(h));
            continue;
        }
        auto inside = [&](int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < w && y < h; };
        auto checkAreas = [&](const auto& table, const char* name) {
            for (size_t n = 0; n < table.size(); ++n) {
                const LayoutArea& a = table[n];
                if (a.used && (a.x1 > a.x2 || a.y1 > a.y2 || !inside(a.x1, a.y1) || !inside(a.x2, a.y2)))
                    problem(std::string(name) + " " + std::to_string(n) + " lies outside the footprint");
            }
        };
        auto checkPoints = [&](const auto& table, const char* name) {
            for (size_t n = 0; n < table.size(); ++n) {
                if (table[n].used && !inside(table[n].x, table[n].y))
                    problem(std::string(name) + " " + std::to_string(n) + " lies outside the footprint");
            }
        };
        checkAreas(layout->areas, "AREA");
        checkAreas(layout->loadAreas, "LOAD_AREA");
        checkPoints(layout->points, "POINT");
        checkPoints(layout->loadPoints, "LOAD_POINT");
        checkPoints(layout->connPoints, "CONN_POINT");
        checkPoints(layout->parts, "PART");
        const LayoutArea& whole = layout->areas[3];
        if (!whole.used || whole.x1 != 0 || whole.y1 != 0 || whole.x2 != w - 1 || whole.y2 != h - 1)
            problem("AREA 3 does not cover the whole station");
        if (!layout->areas[StationLayout::kExtensionArea].used)
            problem("no extension strip (AREA 5)");
        const bool hasMain = std::any_of(layout->parts.begin(), layout->parts.end(),
                                         [](const LayoutPart& p) { return p.used && p.c == 0; });
        if (!hasMain)
            problem("no main part (a PART of class 0)");
        for (uint32_t n = 1; n <= layout->LoadAreaCount(); ++n) {
            if (!layout->loadAreas[n].used)
                continue;
            if (!layout->loadPoints[n].used)
                problem("LOAD_AREA " + std::to_string(n) + " has no LOAD_POINT");
            if (row.ConnectionType == 1 && !layout->connPoints[2 * n - 1].used)
                problem("LOAD_AREA " + std::to_string(n) + " has no CONN_POINT " + std::to_string(2 * n - 1));
        }
    }
    return problems;
}
