#include "transport/route_construction.h"

#include "data/generated/route_tables.h"
#include "files/chunk_transfer.h"
#include "gameloop/route_commands.h"
#include "platform/endian.h"
#include "transport/signal_commands.h"
#include "transport/signals.h"
#include "transport/special_track.h"
#include "transport/station_construction.h"
#include "transport/transport_log.h"
#include "world/bridge_span.h"
#include "world/game_clock.h"
#include "world/prices.h"
#include "world/world_map.h"

#include <algorithm>
#include <bit>

namespace {

constexpr uint32_t kTagQueues = ChunkTag("rbl1");
constexpr uint32_t kTagPending = ChunkTag("rbl2");
// The construction marks of the route cells, which the map's own chunks
// store clear: without them a resumed build would find nothing left to do.
constexpr uint32_t kTagMarks = ChunkTag("rbl3");
constexpr uint32_t kMarkBytes = 12;
constexpr uint32_t kStepBytes = 28;
// Company slots, and a bound on the rows that a saved queue may name.
constexpr uint32_t kMaxQueuePlayers = 5;
constexpr uint32_t kMaxQueueRows = 256;

uint32_t CurrentYear() {
    const World& world = CurrentWorld();
    return world.clock ? world.clock->GetCurrentYear() : 0;
}

uint32_t RowRouteType(uint32_t row) {
    const RouteBuilderRow* r = RouteBuilderTable::Find(int32_t(row));
    return r && (r->RouteType == 1 || r->RouteType == 2) ? uint32_t(r->RouteType) : 0;
}

void MarkNetworkChanged(uint32_t routeType) {
    WorldMap& map = GetWorldMap();
    if (routeType == 1)
        map.MarkTrackNetworkChanged();
    else if (routeType == 2)
        map.MarkRoadNetworkChanged();
}

// Whether the row's pieces are queued for a worker.
bool QueuedForWorker(uint32_t row, uint32_t player, uint32_t flagWord) {
    uint32_t type = 0, interval = 0, fields = 0;
    return flagWord == 0 && GetConstructionWorker(row, player, type, interval, fields);
}

// Lowers a build's pending count by one step; the build's changes reach
// the network once nothing of it is pending.
void FinishStepOfBuild(ConstructionQueue& queue, uint32_t buildId, uint32_t routeType, bool changed) {
    auto it = queue.pending.find(buildId);
    if (it == queue.pending.end())
        return;
    PendingBuild& build = it->second;
    if (changed) {
        if (routeType == 1)
            build.trackChanged = 1;
        else if (routeType == 2)
            build.roadChanged = 1;
    }
    if (build.steps > 0)
        --build.steps;
    if (build.steps != 0)
        return;
    if (build.trackChanged)
        GetWorldMap().MarkTrackNetworkChanged();
    if (build.roadChanged)
        GetWorldMap().MarkRoadNetworkChanged();
    queue.pending.erase(it);
}

// Completes one queued step; whether the worker did work there.
bool CompleteStep(ConstructionQueue& queue, const ConstructionStep& step, uint32_t row) {
    WorldMap& map = GetWorldMap();
    const uint32_t routeType = RowRouteType(row);
    bool worked = false;
    if (step.kind == 0 && routeType != 0 && map.InMap(step.x, step.y) &&
        map.GetCellKind(step.x, step.y) == kCellRoute && map.GetRouteFlagA(routeType, step.x, step.y)) {
        worked = true;
        map.SetRouteFlagA(routeType, step.x, step.y, false);
        if (map.GetRouteTypeAt(routeType, step.x, step.y) == row)
            map.SetRouteFlagB(routeType, step.x, step.y, false);
        // A new road junction is open to traffic at once.
        if (routeType == 2 && std::popcount(map.GetRoadDirections(step.x, step.y)) >= 3)
            map.MarkRoadNetworkChanged();
    } else if (step.kind == 1 || step.kind == 2) {
        // The chain's construction mark comes off with the first step that
        // finds it; a chain gone meanwhile counts as done.
        BridgeSpan* span = map.InMap(step.x, step.y)
                               ? GetBridgeSpan(step.kind == 1 ? map.GetLayer1Object(step.x, step.y)
                                                              : map.GetLayer2Object(step.x, step.y))
                               : nullptr;
        if (!span || (span->GetFlags() & 1u) != 0) {
            worked = true;
            if (span)
                span->SetChainFlag0(false);
        }
    } else if (step.kind != 0) {
        // Special tracks are laid without marks: done.
        worked = true;
    }
    FinishStepOfBuild(queue, step.buildId, routeType, worked);
    return worked;
}

void StepRowRecord(ConstructionQueue& queue, ConstructionRowRecord& record, uint32_t row, uint32_t player,
                   uint32_t now) {
    uint32_t type = 0, interval = 1, fields = 1;
    if (!GetConstructionWorker(row, player, type, interval, fields)) {
        // The worker has gone (the year changed back on a load): finish at once.
        interval = 1;
        fields = UINT32_MAX;
    }
    // A clock behind the last work (a load) waits for it.
    const uint64_t due = now >= record.lastWork ? uint64_t((now - record.lastWork) / interval) * fields : 0;
    uint64_t worked = 0;
    while (worked < due && !record.jobs.empty()) {
        std::vector<ConstructionStep>& job = record.jobs.front();
        if (record.index >= job.size()) {
            record.jobs.pop_front();
            record.index = 0;
            MarkNetworkChanged(RowRouteType(row));
            continue;
        }
        const ConstructionStep step = job[record.index];
        ++record.index;
        if (CompleteStep(queue, step, row)) {
            record.busy = 0;
            ++worked;
        }
    }
    if (!record.jobs.empty() && record.index >= record.jobs.front().size()) {
        record.jobs.pop_front();
        record.index = 0;
        MarkNetworkChanged(RowRouteType(row));
    }
    if (!record.busy && !record.jobs.empty()) {
        record.busy = 1;
        record.lastWork = now;
    }
}

void StoreStep(const ConstructionStep& step, uint8_t (&b)[kStepBytes]) {
    const uint32_t words[7] = {step.x, step.y, step.kind, step.handle, step.value, step.buildId, step.spare};
    for (uint32_t i = 0; i < 7; ++i)
        plat::StoreLE32(b + 4 * i, words[i]);
}

ConstructionStep LoadStep(const uint8_t (&b)[kStepBytes]) {
    ConstructionStep step;
    step.x = plat::LoadLE32(b);
    step.y = plat::LoadLE32(b + 4);
    step.kind = plat::LoadLE32(b + 8);
    step.handle = plat::LoadLE32(b + 12);
    step.value = plat::LoadLE32(b + 16);
    step.buildId = plat::LoadLE32(b + 20);
    step.spare = 0;
    return step;
}

// A route cell's marks: bit 0 the track's construction mark, bit 1 its
// second mark, bits 2 and 3 the road's.
struct CellMarks {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t marks = 0;
};

uint32_t MarksAt(const WorldMap& map, uint32_t x, uint32_t y) {
    return (map.GetRouteFlagA(1, x, y) ? 1u : 0u) | (map.GetRouteFlagB(1, x, y) ? 2u : 0u) |
           (map.GetRouteFlagA(2, x, y) ? 4u : 0u) | (map.GetRouteFlagB(2, x, y) ? 8u : 0u);
}

void SetMarks(WorldMap& map, const CellMarks& cell) {
    map.SetRouteFlagA(1, cell.x, cell.y, (cell.marks & 1u) != 0);
    map.SetRouteFlagB(1, cell.x, cell.y, (cell.marks & 2u) != 0);
    map.SetRouteFlagA(2, cell.x, cell.y, (cell.marks & 4u) != 0);
    map.SetRouteFlagB(2, cell.x, cell.y, (cell.marks & 8u) != 0);
}

std::vector<CellMarks> CollectMarks() {
    const WorldMap& map = GetWorldMap();
    std::vector<CellMarks> out;
    for (uint32_t y = 0; y < map.GetHeight(); ++y)
        for (uint32_t x = 0; x < map.GetWidth(); ++x)
            if (map.GetCellKind(x, y) == kCellRoute)
                if (const uint32_t marks = MarksAt(map, x, y); marks != 0)
                    out.push_back({x, y, marks});
    return out;
}

bool SaveQueueChunks(ConstructionQueue& queue) {
    bool ok = true;
    const uint32_t tags[] = {kTagQueues, kTagPending, kTagMarks};
    TransferTagList(tags, [&](uint32_t tag) {
        if (tag == kTagQueues) {
            uint32_t playerCount = uint32_t(queue.players.size());
            ok = TransferSizedValue(playerCount) == 8 && ok;
            for (std::vector<ConstructionRowRecord>& rows : queue.players) {
                uint32_t rowCount = uint32_t(rows.size());
                ok = TransferSizedValue(rowCount) == 8 && ok;
                for (ConstructionRowRecord& record : rows) {
                    uint32_t jobCount = uint32_t(record.jobs.size());
                    ok = TransferSizedValue(record.index) == 8 && ok;
                    ok = TransferSizedValue(record.lastWork) == 8 && ok;
                    ok = TransferSizedValue(jobCount) == 8 && ok;
                    for (std::vector<ConstructionStep>& job : record.jobs) {
                        uint32_t count = uint32_t(job.size());
                        TransferListHeader(count, kStepBytes);
                        for (const ConstructionStep& step : job) {
                            uint8_t b[kStepBytes];
                            StoreStep(step, b);
                            TransferListElement(b, kStepBytes, kStepBytes);
                        }
                    }
                }
            }
            return;
        }
        if (tag == kTagMarks) {
            const std::vector<CellMarks> marks = CollectMarks();
            uint32_t count = uint32_t(marks.size());
            TransferListHeader(count, kMarkBytes);
            for (const CellMarks& cell : marks) {
                uint8_t b[kMarkBytes];
                plat::StoreLE32(b, cell.x);
                plat::StoreLE32(b + 4, cell.y);
                plat::StoreLE32(b + 8, cell.marks);
                TransferListElement(b, kMarkBytes, kMarkBytes);
            }
            return;
        }
        ok = TransferSizedValue(queue.buildCounter) == 8 && ok;
        uint32_t count = uint32_t(queue.pending.size());
        Transfer(count);
        for (auto& [id, build] : queue.pending) {
            uint32_t key = id;
            uint8_t b[8] = {};
            plat::StoreLE32(b, build.steps);
            b[4] = build.trackChanged;
            b[5] = build.roadChanged;
            ok = TransferSizedValue(key) == 8 && ok;
            ok = TransferSized(b, sizeof b) == 4 + sizeof b && ok;
        }
    });
    return ok && !StreamFailed();
}

// Reads a sized u32 that must be whole.
bool ReadCount(uint32_t& value) {
    value = 0;
    return TransferSizedValue(value) == 8;
}

bool LoadQueueChunks(ConstructionQueue& queue) {
    ConstructionQueue loaded;
    bool ok = true;
    const WorldMap& map = GetWorldMap();
    uint32_t dropped = 0;
    std::vector<CellMarks> marks;
    bool haveMarks = false;
    const uint32_t tags[] = {kTagQueues, kTagPending, kTagMarks};
    TransferTagList(tags, [&](uint32_t tag) {
        if (!ok)
            return;
        if (tag == kTagQueues) {
            uint32_t playerCount = 0;
            if (!ReadCount(playerCount) || playerCount > kMaxQueuePlayers) {
                TransportWarning("route construction: \"rbl1\" names %u players", playerCount);
                ok = false;
                return;
            }
            loaded.players.resize(playerCount);
            for (uint32_t p = 0; p < playerCount && ok; ++p) {
                uint32_t rowCount = 0;
                if (!ReadCount(rowCount) || rowCount > kMaxQueueRows) {
                    TransportWarning("route construction: \"rbl1\" names %u rows for player %u", rowCount, p);
                    ok = false;
                    return;
                }
                loaded.players[p].resize(rowCount);
                for (uint32_t r = 0; r < rowCount && ok; ++r) {
                    ConstructionRowRecord& record = loaded.players[p][r];
                    uint32_t jobCount = 0;
                    // Each job takes at least its 8-byte list header.
                    if (!ReadCount(record.index) || !ReadCount(record.lastWork) || !ReadCount(jobCount) ||
                        uint64_t(jobCount) * 8 > ChunkBytesLeft()) {
                        TransportWarning("route construction: a queue of \"rbl1\" is damaged");
                        ok = false;
                        return;
                    }
                    for (uint32_t j = 0; j < jobCount; ++j) {
                        uint32_t count = 0;
                        const uint32_t stored = TransferListHeader(count, kStepBytes);
                        if (stored == 0 || StreamFailed()) {
                            TransportWarning("route construction: a job of \"rbl1\" is damaged");
                            ok = false;
                            return;
                        }
                        std::vector<ConstructionStep> job;
                        job.reserve(count);
                        const uint32_t storedIndex = record.index;
                        for (uint32_t s = 0; s < count; ++s) {
                            uint8_t b[kStepBytes] = {};
                            TransferListElement(b, kStepBytes, stored);
                            ConstructionStep step = LoadStep(b);
                            if (step.kind > 3 || !map.InMap(step.x, step.y)) {
                                ++dropped;
                                // The front job's index keeps naming the same step.
                                if (j == 0 && s < storedIndex)
                                    --record.index;
                                continue;
                            }
                            job.push_back(step);
                        }
                        if (!job.empty())
                            record.jobs.push_back(std::move(job));
                        else if (j == 0)
                            record.index = 0;
                    }
                    if (record.jobs.empty() || record.index > record.jobs.front().size())
                        record.index = 0;
                }
            }
            return;
        }
        if (tag == kTagMarks) {
            uint32_t count = 0;
            const uint32_t stored = TransferListHeader(count, kMarkBytes);
            if (stored == 0 || StreamFailed() || uint64_t(count) * stored > ChunkBytesLeft()) {
                TransportWarning("route construction: \"rbl3\" is damaged");
                ok = false;
                return;
            }
            haveMarks = true;
            for (uint32_t i = 0; i < count; ++i) {
                uint8_t b[kMarkBytes] = {};
                TransferListElement(b, kMarkBytes, stored);
                const CellMarks cell{plat::LoadLE32(b), plat::LoadLE32(b + 4), plat::LoadLE32(b + 8) & 15u};
                if (!map.InMap(cell.x, cell.y) || map.GetCellKind(cell.x, cell.y) != kCellRoute) {
                    ++dropped;
                    continue;
                }
                marks.push_back(cell);
            }
            return;
        }
        if (tag != kTagPending)
            return;
        uint32_t count = 0;
        if (!ReadCount(loaded.buildCounter) || Transfer(count) != 4 ||
            uint64_t(count) * 20 > ChunkBytesLeft()) {
            TransportWarning("route construction: \"rbl2\" is damaged");
            ok = false;
            return;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t id = 0;
            uint8_t b[8] = {};
            if (TransferSizedValue(id) != 8 || TransferSized(b, sizeof b) != 4 + sizeof b) {
                TransportWarning("route construction: an entry of \"rbl2\" is cut short");
                ok = false;
                return;
            }
            PendingBuild& build = loaded.pending[id];
            build.trackChanged = b[4] ? 1 : 0;
            build.roadChanged = b[5] ? 1 : 0;
        }
    });
    if (!ok || StreamFailed())
        return false;
    if (dropped > 0)
        TransportWarning(
            "route construction: %u saved steps or marks off the map, off a way or of no kind dropped",
            dropped);
    // Games saved without the marks keep the map's (cleared) ones.
    if (haveMarks) {
        WorldMap& writable = GetWorldMap();
        for (const CellMarks& cell : marks)
            SetMarks(writable, cell);
    }
    // The pending counts are what the queues still hold, whatever the file
    // said; builds with nothing left go.
    std::map<uint32_t, PendingBuild> pending;
    for (const auto& rows : loaded.players)
        for (const ConstructionRowRecord& record : rows)
            for (size_t j = 0; j < record.jobs.size(); ++j)
                for (size_t s = j == 0 ? record.index : 0; s < record.jobs[j].size(); ++s) {
                    const uint32_t id = record.jobs[j][s].buildId;
                    PendingBuild& build = pending[id];
                    ++build.steps;
                    auto stored = loaded.pending.find(id);
                    if (stored != loaded.pending.end()) {
                        build.trackChanged = stored->second.trackChanged;
                        build.roadChanged = stored->second.roadChanged;
                    }
                }
    loaded.pending = std::move(pending);
    queue.players = std::move(loaded.players);
    queue.buildCounter = loaded.buildCounter;
    queue.pending = std::move(loaded.pending);
    // A record with work left had its worker at work when it was saved (the
    // worker takes up the front job in the round after it is queued): a
    // loaded game goes on with the saved last-work time, as an unsaved one
    // would.
    for (auto& rows : queue.players)
        for (ConstructionRowRecord& record : rows)
            record.busy = record.jobs.empty() ? 0 : 1;
    return true;
}

} // namespace

ConstructionQueue& GetConstructionQueue() {
    return CurrentWorld().Attached<ConstructionQueue>();
}

void AddConstructionStep(uint32_t x, uint32_t y, uint32_t player, uint32_t row, uint32_t kind,
                         uint32_t handle, uint32_t value, bool newJob) {
    if (player >= kMaxQueuePlayers || row >= kMaxQueueRows)
        return;
    ConstructionQueue& queue = GetConstructionQueue();
    if (queue.players.size() <= player)
        queue.players.resize(player + 1);
    std::vector<ConstructionRowRecord>& rows = queue.players[player];
    if (rows.size() <= row)
        rows.resize(row + 1);
    ConstructionRowRecord& record = rows[row];
    if (record.jobs.empty())
        record.lastWork = CurrentGameTimeMs();
    if (newJob || record.jobs.empty())
        record.jobs.emplace_back();
    record.jobs.back().push_back({x, y, kind, handle, value, queue.buildCounter, 0});
    ++queue.pending[queue.buildCounter].steps;
}

void AdvanceRoutePlannerCounter() {
    ++GetConstructionQueue().buildCounter;
}

bool IsConstructionPending(uint32_t player, uint32_t row) {
    const ConstructionQueue& queue = GetConstructionQueue();
    return player < queue.players.size() && row < queue.players[player].size() &&
           !queue.players[player][row].jobs.empty();
}

bool RblEntryHasRouteType(uint32_t player, uint32_t routeType) {
    const ConstructionQueue& queue = GetConstructionQueue();
    if (player >= queue.players.size())
        return false;
    const auto& rows = queue.players[player];
    for (size_t row = 0; row < rows.size(); ++row)
        if (!rows[row].jobs.empty() && RowRouteType(uint32_t(row)) == routeType)
            return true;
    return false;
}

bool GetConstructionWorker(uint32_t row, uint32_t, uint32_t& type, uint32_t& interval,
                           uint32_t& fieldsPerBuild) {
    const RouteBuilderRow* r = RouteBuilderTable::Find(int32_t(row));
    if (!r || !CurrentWorld().clock)
        return false;
    const ValueTable& workers = r->ConstructionWorker;
    if (workers.ColumnCount() < 2)
        return false;
    const int64_t year = CurrentYear();
    for (uint32_t i = workers.RowCount(); i-- > 0;) {
        if (workers.IntCell(0, i) > year)
            continue;
        const int32_t kind = workers.IntCell(1, i);
        const RouteConstructionWorkerRow* worker = RouteConstructionWorkerTable::Find(kind);
        if (!worker)
            return false;
        type = uint32_t(kind);
        const int64_t ms = int64_t(worker->MSPerFrame) * worker->NrOfFrames * worker->NrOfCycles;
        // A worker of no pace works every millisecond rather than never.
        interval = ms <= 0 ? 1u : ms > INT32_MAX ? uint32_t(INT32_MAX) : uint32_t(ms);
        fieldsPerBuild = worker->NrOfFieldsPerBuild > 0 ? uint32_t(worker->NrOfFieldsPerBuild) : 1u;
        return true;
    }
    return false;
}

void WriteTileBack(const TileEditRecord& record, uint32_t routeType, uint32_t wayRow, bool queued,
                   uint32_t flagWord) {
    WorldMap& map = GetWorldMap();
    const uint32_t x = record.x, y = record.y;
    if (!map.InMap(x, y) || map.GetCellKind(x, y) == kCellFootprint)
        return;
    const uint32_t layer = routeType == 1 ? 1u : 2u;
    if (record.sub == 0) {
        map.ResetCell(x, y);
        return;
    }
    const bool wasRoute = map.GetCellKind(x, y) == kCellRoute;
    const uint32_t oldSub = wasRoute ? map.GetRouteSubKind(x, y) : 0;
    const uint32_t oldMask = wasRoute ? map.GetRouteDirections(layer, x, y) : 0;
    const uint32_t oldRow = wasRoute ? map.GetRouteTypeAt(layer, x, y) : 0;
    const bool hadMark = wasRoute && map.GetRouteFlagA(layer, x, y);
    const bool newMark = queued && (!wasRoute || oldMask == 0 || oldRow != wayRow);
    const uint32_t otherMask = wasRoute ? map.GetRouteDirections(layer == 1 ? 2 : 1, x, y) : 0;
    map.SetRouteKind(x, y, record.sub);
    if (record.sub == 1 || record.sub == 3) {
        map.SetRouteType(1, x, y, record.trackRow);
        map.SetTrackDirections(x, y, layer == 1 ? record.mask : otherMask);
    }
    if (record.sub == 2 || record.sub == 3) {
        map.SetRouteType(2, x, y, record.roadRow);
        map.SetRoadDirections(x, y, layer == 2 ? record.mask : otherMask);
    }
    // A layer that the tile no longer carries leaves nothing behind.
    if (record.sub == 1) {
        map.SetRouteType(2, x, y, 0);
        map.SetRoadDirections(x, y, 0);
    } else if (record.sub == 2) {
        map.SetRouteType(1, x, y, 0);
        map.SetTrackDirections(x, y, 0);
    }
    for (uint32_t d = 0; d < 4; ++d)
        map.SetEdgeHeights(x, y, record.owner[d] == kNoDirectionOwner ? -1 : int32_t(record.owner[d]),
                           1u << d);
    if (flagWord == 1) {
        // A tentative piece keeps what lay there before it, once.
        if (!hadMark) {
            map.SetSavedDirections(layer, x, y, oldMask);
            map.SetSavedRouteType(layer, x, y, oldRow);
        }
        map.SetRouteFlagA(layer, x, y, true);
        map.SetRouteFlagB(layer, x, y, true);
    } else {
        map.SetRouteFlagA(layer, x, y, newMark);
        map.SetRouteFlagB(layer, x, y, false);
        map.SetSavedDirections(layer, x, y, 0);
        map.SetSavedRouteType(layer, x, y, 0);
    }
    if (record.sub == 3 && oldSub != 3)
        map.RegisterCrossing(x, y, CurrentGameTimeMs());
}

namespace {

// Puts a curve piece on every bend of a free track route that asks for
// them (flags 8 and 16): computer players' directly, others' as the
// special-track build would, paid by the planning player. The price of
// what was placed directly.
int64_t PlaceCurvePieces(const BuildRoutePlanner& planner, const std::vector<PlannedTile>& tiles,
                         const std::vector<const RouteSpan*>& spanOf) {
    if ((planner.flags & (kPlanFreeRoute | kPlanCurvePieces)) != (kPlanFreeRoute | kPlanCurvePieces) ||
        planner.flagWord != 0)
        return 0;
    int64_t cost = 0;
    for (size_t i = 1; i + 1 < tiles.size(); ++i) {
        const PlannedTile& bend = tiles[i];
        const uint32_t rotation = CurveRotation(bend.mask);
        if (rotation > 3 || spanOf[i] ||
            !CanPlaceSpecialTrack(bend.x, bend.y, uint8_t(rotation), kCurvePieceType,
                                  int32_t(planner.player)))
            continue;
        if (planner.directPieces) {
            if (CreateSpecialTrack(bend.x, bend.y, uint8_t(rotation), kCurvePieceType, planner.wayRow,
                                   int32_t(planner.player)))
                cost += GetSpecialTrackConstructionCost(kCurvePieceType, int32_t(planner.wayRow));
            continue;
        }
        // Run here on every machine alike, rather than posted once more.
        if (const auto& place = GetRouteCommandHandlers().specialTrack) {
            BuildSpecialTrackCommand command(bend.x, bend.y, uint8_t(rotation), kCurvePieceType,
                                             planner.wayRow, 0);
            command.SetPlayerId(planner.player);
            place(command);
        }
    }
    return cost;
}

// Signals on the free neighbours of every four-way track tile of the
// route: on track without road or a signal. Their price.
int64_t PlaceJunctionSignals(const std::vector<PlannedTile>& tiles) {
    const WorldMap& map = GetWorldMap();
    int64_t cost = 0;
    for (const PlannedTile& tile : tiles) {
        if (map.GetCellKind(tile.x, tile.y) != kCellRoute || map.GetTrackDirections(tile.x, tile.y) != 15)
            continue;
        for (uint32_t d = 1; d <= 8; d <<= 1) {
            int32_t dx = 0, dy = 0;
            OffsetOfDirection(uint8_t(d), dx, dy);
            const int64_t nx = int64_t(tile.x) + dx, ny = int64_t(tile.y) + dy;
            if (nx < 0 || ny < 0 || !map.InMap(uint32_t(nx), uint32_t(ny)))
                continue;
            const uint32_t x = uint32_t(nx), y = uint32_t(ny);
            if (map.GetCellKind(x, y) != kCellRoute || map.GetRouteSignal(x, y) != 0 || !map.HasTrack(x, y) ||
                map.HasRoad(x, y))
                continue;
            CreateSignal(x, y, 0);
            cost += GetSignalPrice(0);
        }
    }
    return cost;
}

// Lays the span of a bridge or tunnel plan (a new chain, or an existing one
// given the new row) and marks it; its price, 0 when it cannot be laid.
int64_t LaySpan(const BuildRoutePlanner& planner, const PlannedTile& second, const PlannedTile& last,
                bool queued) {
    const int32_t row = int32_t(planner.spanRow);
    BridgeSpan* chain = SpanOnTile(second.x, second.y);
    int64_t cost = 0;
    if (!chain) {
        cost = BuildBridge(second.x, second.y, last.x, last.y, row, int32_t(planner.player));
        chain = cost != 0 ? SpanOnTile(second.x, second.y) : nullptr;
    } else if (chain->CanRetypeChain(second.x, second.y, last.x, last.y, row)) {
        // A new deck or bore costs what a new span would.
        cost = GetBridgeSpanCost(second.x, second.y, last.x, last.y, row);
        if (cost != 0) {
            chain->SaveChainRouteType();
            chain->SetChainRouteType(row);
        }
    }
    if (!chain || cost == 0)
        return 0;
    chain->SetChainFlag0(queued || planner.flagWord == 1);
    chain->SetChainFlag1(planner.flagWord == 1);
    return cost;
}

// Builds a bridge or tunnel plan: the span, then a piece of the ramp way at
// each end. With a worker the two end pieces and every tile of the span
// are queued.
int64_t BuildPlannedSpan(BuildRoutePlanner& planner, bool* built) {
    const std::vector<PlannedTile> tiles = PlannedRouteTiles();
    const uint32_t routeType = planner.plannedType;
    const uint32_t row = planner.wayRow;
    const bool queued = QueuedForWorker(row, planner.player, planner.flagWord);
    WorldMap& map = GetWorldMap();
    const bool trackBefore = map.TrackNetworkChanged();
    const bool roadBefore = map.RoadNetworkChanged();
    int64_t cost = LaySpan(planner, tiles[1], tiles[tiles.size() - 2], queued);
    planner.plannedType = 0;
    if (cost == 0)
        return 0;
    if (queued) {
        AddConstructionStep(tiles.front().x, tiles.front().y, planner.player, row, 0, 0, 0, true);
        AddConstructionStep(tiles.back().x, tiles.back().y, planner.player, row, 0, 0, 0, false);
        const uint32_t kind = SpanKindOf(planner.spanRow);
        for (size_t i = 1; i + 1 < tiles.size(); ++i)
            AddConstructionStep(tiles[i].x, tiles[i].y, planner.player, planner.spanRow, kind, 0, 0, i == 1);
    }
    for (const PlannedTile* tile : {&tiles.front(), &tiles.back()}) {
        TileEditRecord record = ReadTileEdit(tile->x, tile->y, routeType);
        cost += PieceCost(record, tile->mask, routeType, row, planner.player);
        WriteTileBack(record, routeType, row, queued, planner.flagWord);
    }
    if (queued) {
        if (!trackBefore)
            map.ClearTrackNetworkChanged();
        if (!roadBefore)
            map.ClearRoadNetworkChanged();
        AdvanceRoutePlannerCounter();
    } else {
        MarkNetworkChanged(routeType);
    }
    if (built)
        *built = true;
    return cost;
}

} // namespace

int64_t BuildPlannedRoute(bool* built) {
    BuildRoutePlanner& planner = GetBuildRoutePlanner();
    if (built)
        *built = false;
    if (!ValidatePlannedRoute()) {
        planner.plannedType = 0;
        return 0;
    }
    if (planner.spanRow != 0)
        return BuildPlannedSpan(planner, built);
    const std::vector<PlannedTile> tiles = PlannedRouteTiles();
    const std::vector<RouteSpan> spans = FindRouteSpans(tiles);
    const uint32_t routeType = planner.plannedType;
    const uint32_t row = planner.wayRow;
    const bool queued = QueuedForWorker(row, planner.player, planner.flagWord);
    // The span of each tile that lies in one, else null.
    std::vector<const RouteSpan*> spanOf(tiles.size(), nullptr);
    for (const RouteSpan& span : spans)
        for (size_t k = 0; k < span.length; ++k)
            spanOf[span.first + k] = &span;
    if (queued) {
        // The worker goes from the start to the goal; the tiles of a span
        // are steps of its row.
        std::vector<uint32_t> opened;
        for (size_t i = tiles.size(); i-- > 0;) {
            const uint32_t stepRow = spanOf[i] ? spanOf[i]->spanRow : row;
            const uint32_t kind = spanOf[i] ? SpanKindOf(stepRow) : 0;
            const bool newJob = std::find(opened.begin(), opened.end(), stepRow) == opened.end();
            if (newJob)
                opened.push_back(stepRow);
            AddConstructionStep(tiles[i].x, tiles[i].y, planner.player, stepRow, kind, 0, 0, newJob);
        }
    }
    // A queued build reaches the route search only when its last step is
    // done: the marks that writing the tiles sets are taken back.
    WorldMap& map = GetWorldMap();
    const bool trackBefore = map.TrackNetworkChanged();
    const bool roadBefore = map.RoadNetworkChanged();
    int64_t cost = 0;
    for (const RouteSpan& span : spans) {
        const PlannedTile& first = tiles[span.first];
        const PlannedTile& last = tiles[span.first + span.length - 1];
        const int64_t price =
            BuildBridge(first.x, first.y, last.x, last.y, int32_t(span.spanRow), int32_t(planner.player));
        BridgeSpan* chain = price != 0 ? SpanOnTile(first.x, first.y) : nullptr;
        if (chain) {
            chain->SetChainFlag0(queued || planner.flagWord == 1);
            chain->SetChainFlag1(planner.flagWord == 1);
        }
        cost += price;
    }
    std::vector<PathPoint> runs;
    for (size_t i = 0; i < tiles.size(); ++i) {
        const PlannedTile& tile = tiles[i];
        if (spanOf[i] || RunsOnExistingSpan(tile, routeType) ||
            std::find(runs.begin(), runs.end(), PathPoint{tile.x, tile.y}) != runs.end())
            continue;
        // A station's loading area takes the new way as one run; its cells
        // stay the station's.
        std::vector<PathPoint> run;
        int32_t owner = -1;
        if (routeType == 1 && LoadingAreaRun(tile.x, tile.y, run, owner)) {
            cost += UpgradeLoadingAreaRun(run, owner, row, planner.player, true);
            runs.insert(runs.end(), run.begin(), run.end());
            continue;
        }
        TileEditRecord record = ReadTileEdit(tile.x, tile.y, routeType);
        cost += PieceCost(record, tile.mask, routeType, row, planner.player);
        WriteTileBack(record, routeType, row, queued, planner.flagWord);
        // A rail station's platform met by the track takes its row.
        if (routeType == 1 && planner.flagWord == 0)
            cost += LayLoadAreaTrackAt(int32_t(tile.x), int32_t(tile.y), row, int32_t(planner.player));
    }
    if (routeType == 1)
        cost += PlaceCurvePieces(planner, tiles, spanOf);
    if (routeType == 1 && planner.flagWord == 0 && (planner.flags & kPlanFreeRoute) && planner.signalSwitch)
        cost += PlaceJunctionSignals(tiles);
    if (queued) {
        if (!trackBefore)
            map.ClearTrackNetworkChanged();
        if (!roadBefore)
            map.ClearRoadNetworkChanged();
        AdvanceRoutePlannerCounter();
    } else {
        MarkNetworkChanged(routeType);
    }
    planner.plannedType = 0;
    if (built)
        *built = !tiles.empty();
    return cost;
}

void StepRouteConstruction(uint32_t now) {
    ConstructionQueue& queue = GetConstructionQueue();
    for (uint32_t player = 0; player < queue.players.size(); ++player) {
        std::vector<ConstructionRowRecord>& rows = queue.players[player];
        for (uint32_t row = 0; row < rows.size(); ++row)
            if (!rows[row].jobs.empty())
                StepRowRecord(queue, rows[row], row, player, now);
    }
}

bool SerializeRoutePlannerState() {
    ConstructionQueue& queue = GetConstructionQueue();
    if (StreamMode() != kStreamLoad)
        return SaveQueueChunks(queue);
    // Games saved before the queue existed have an empty section.
    if (ChunkBytesLeft() == 0) {
        queue.Clear();
        return true;
    }
    return LoadQueueChunks(queue);
}
