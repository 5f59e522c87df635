// The route graph on 2048 x 2048 maps whose road or track forms a lattice
// with random gaps (about 1 000, 10 000 and 60 000 junctions): the full
// graph build, and route queries between random junctions beside a plain
// Dijkstra over the same node graph (for track over (node, arrival side)
// with the same turn rules) and, where Boost Graph is installed, beside its
// dijkstra_shortest_paths on the same graph. Each query run reports the
// planner's and the references' mean, p50 and p99 in microseconds,
// "vs_reference" and "vs_boost", the planner's time over each reference's
// for the same queries, timed in turns in the same run. The costs must
// agree; a run where they differ fails.
#include "transport/route_planner.h"
#include "tests/transport/route_network.h"
#include "world/game_clock.h"

#include <benchmark/benchmark.h>

#ifdef MD_HAVE_BOOST_GRAPH
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#endif

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <queue>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t kMapSize = 2048;

// The planner's graph as flat arrays, with each node's allowed turns.
struct ReferenceGraph {
    uint32_t count = 0;
    std::vector<uint32_t> neighbour; // node * 4 + d
    std::vector<uint32_t> length;
    std::vector<uint8_t> arrival;
    std::vector<uint16_t> turns; // node: bit (from side * 4 + d)

    explicit ReferenceGraph(const RoutePlanner& planner) : count(planner.NodeSlots()) {
        neighbour.assign(size_t(count) * 4, 0);
        length.assign(size_t(count) * 4, 0);
        arrival.assign(size_t(count) * 4, 0);
        turns.assign(count, 0);
        for (uint32_t n = 1; n < count; ++n) {
            const RouteGraphNode* node = planner.Node(n);
            if (!node)
                continue;
            for (uint32_t d = 0; d < 4; ++d) {
                neighbour[n * 4 + d] = node->neighbour[d];
                length[n * 4 + d] = node->length[d];
                arrival[n * 4 + d] = node->arrival[d];
                for (uint32_t a = 0; a < 4; ++a)
                    if (a != d && RouteStepPenalty(node->x, node->y, DirectionMask((a + 2) & 3),
                                                   DirectionMask(d), planner.Mode()) < kRouteStepForbidden)
                        turns[n] = uint16_t(turns[n] | (1u << (a * 4 + d)));
            }
        }
    }

    uint32_t Road(uint32_t from, uint32_t to, std::vector<uint32_t>& dist) const {
        dist.assign(count, UINT32_MAX);
        using Entry = std::pair<uint32_t, uint32_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
        dist[from] = 0;
        open.emplace(0, from);
        while (!open.empty()) {
            const auto [c, n] = open.top();
            open.pop();
            if (n == to)
                return c;
            if (c != dist[n])
                continue;
            for (uint32_t d = 0; d < 4; ++d) {
                const uint32_t m = neighbour[n * 4 + d];
                if (m == 0 || m == from)
                    continue;
                const uint32_t nc = c + length[n * 4 + d];
                if (nc < dist[m]) {
                    dist[m] = nc;
                    open.emplace(nc, m);
                }
            }
        }
        return 0;
    }

    uint32_t Track(uint32_t from, uint32_t to, std::vector<uint32_t>& dist) const {
        dist.assign(size_t(count) * 4, UINT32_MAX);
        using Entry = std::pair<uint32_t, uint32_t>; // cost, node * 4 + side
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
        for (uint32_t a = 0; a < 4; ++a) {
            dist[from * 4 + a] = 0;
            open.emplace(0, from * 4 + a);
        }
        while (!open.empty()) {
            const auto [c, state] = open.top();
            open.pop();
            const uint32_t n = state / 4, a = state % 4;
            if (n == to)
                return c;
            if (c != dist[state])
                continue;
            for (uint32_t d = 0; d < 4; ++d) {
                const uint32_t m = neighbour[n * 4 + d];
                if (m == 0 || m == from || !(turns[n] & (1u << (a * 4 + d))))
                    continue;
                const uint32_t next = m * 4 + ((arrival[n * 4 + d] + 2) & 3);
                const uint32_t nc = c + length[n * 4 + d];
                if (nc < dist[next]) {
                    dist[next] = nc;
                    open.emplace(nc, next);
                }
            }
        }
        return 0;
    }
};

#ifdef MD_HAVE_BOOST_GRAPH
// The same graph for Boost's Dijkstra. Road: one vertex per node. Track:
// five per node, one per arrival side and one for a start there, which may
// leave by every direction some side may turn into.
class BoostGraph {
public:
    struct Edge {
        uint32_t length = 0;
    };
    using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Edge>;

    BoostGraph(const ReferenceGraph& reference, uint32_t mode) : track_(mode == kRouteModeTrack) {
        const uint32_t per = track_ ? 5 : 1;
        std::vector<std::pair<uint32_t, uint32_t>> edges;
        std::vector<Edge> lengths;
        for (uint32_t n = 1; n < reference.count; ++n) {
            for (uint32_t d = 0; d < 4; ++d) {
                const uint32_t m = reference.neighbour[n * 4 + d];
                if (m == 0)
                    continue;
                const uint32_t length = reference.length[n * 4 + d];
                if (!track_) {
                    edges.emplace_back(n, m);
                    lengths.push_back({length});
                    continue;
                }
                const uint32_t side = (reference.arrival[n * 4 + d] + 2u) & 3u;
                bool fromAnySide = false;
                for (uint32_t a = 0; a < 4; ++a) {
                    if (!(reference.turns[n] & (1u << (a * 4 + d))))
                        continue;
                    fromAnySide = true;
                    edges.emplace_back(n * 5 + a, m * 5 + side);
                    lengths.push_back({length});
                }
                if (fromAnySide) {
                    edges.emplace_back(n * 5 + 4, m * 5 + side);
                    lengths.push_back({length});
                }
            }
        }
        graph_ = Graph(boost::edges_are_unsorted_multi_pass, edges.begin(), edges.end(), lengths.begin(),
                       size_t(reference.count) * per);
        dist_.resize(boost::num_vertices(graph_));
    }

    // The cheapest cost from one node to another, 0 when there is none.
    uint32_t Cost(uint32_t from, uint32_t to) {
        const uint32_t start = track_ ? from * 5 + 4 : from;
        try {
            boost::dijkstra_shortest_paths(graph_, start,
                                           boost::weight_map(boost::get(&Edge::length, graph_))
                                               .distance_map(boost::make_iterator_property_map(
                                                   dist_.begin(), boost::get(boost::vertex_index, graph_)))
                                               .visitor(StopAtGoal{to, track_ ? 5u : 1u}));
        } catch (const Reached& reached) {
            return dist_[reached.vertex];
        }
        return 0;
    }

private:
    struct Reached {
        size_t vertex;
    };
    struct StopAtGoal : boost::default_dijkstra_visitor {
        uint32_t goal;
        uint32_t per;
        StopAtGoal(uint32_t aGoal, uint32_t aPer) : goal(aGoal), per(aPer) {}
        template <class Vertex, class G>
        void examine_vertex(Vertex v, const G&) const {
            if (v / per == goal && (per == 1 || v % per != 4))
                throw Reached{size_t(v)};
        }
    };

    bool track_;
    Graph graph_;
    std::vector<uint32_t> dist_;
};
#endif

struct Scene {
    std::unique_ptr<World> world;
    std::unique_ptr<ReferenceGraph> reference;
#ifdef MD_HAVE_BOOST_GRAPH
    std::unique_ptr<BoostGraph> boost;
#endif
    std::vector<std::pair<uint32_t, uint32_t>> queries; // node ids
    size_t junctions = 0;
};

Scene& GetScene(uint32_t mode, uint32_t spacing) {
    static std::map<std::pair<uint32_t, uint32_t>, Scene> scenes;
    Scene& scene = scenes[{mode, spacing}];
    if (scene.world)
        return scene;
    scene.world = std::make_unique<World>();
    WorldScope scope(*scene.world);
    CreateGameClock(0);
    GetWorldMap().SetMapSize(kMapSize, kMapSize);
    RouteNetwork net;
    net.Lattice(mode, 17 + spacing, spacing, 88);
    net.Apply();
    const auto junctions = net.Junctions(mode);
    scene.junctions = junctions.size();
    CreateRoutePlanners();
    RoutePlanner& planner = *GetRoutePlanner(mode);
    planner.BuildGraph();
    scene.reference = std::make_unique<ReferenceGraph>(planner);
#ifdef MD_HAVE_BOOST_GRAPH
    scene.boost = std::make_unique<BoostGraph>(*scene.reference, mode);
#endif
    std::mt19937 random(spacing);
    while (scene.queries.size() < 200) {
        const auto a = junctions[random() % junctions.size()];
        const auto b = junctions[random() % junctions.size()];
        const uint32_t na = GetWorldMap().GetTileNodeId(a.first, a.second);
        const uint32_t nb = GetWorldMap().GetTileNodeId(b.first, b.second);
        if (na != 0 && nb != 0 && na != nb)
            scene.queries.emplace_back(na, nb);
    }
    return scene;
}

void BuildGraph(benchmark::State& state) {
    const uint32_t mode = uint32_t(state.range(0));
    Scene& scene = GetScene(mode, uint32_t(state.range(1)));
    WorldScope scope(*scene.world);
    RoutePlanner& planner = *GetRoutePlanner(mode);
    for (auto _ : state)
        planner.BuildGraph();
    state.counters["junctions"] = double(scene.junctions);
    state.counters["nodes"] = planner.NodeCount();
    state.counters["edges"] = planner.EdgeCount();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void Query(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const uint32_t mode = uint32_t(state.range(0));
    Scene& scene = GetScene(mode, uint32_t(state.range(1)));
    WorldScope scope(*scene.world);
    RoutePlanner& planner = *GetRoutePlanner(mode);
    std::vector<uint32_t> dist;
    std::vector<double> planned, reference, boosted;
    size_t next = 0;
    for (auto _ : state) {
        const auto [a, b] = scene.queries[next++ % scene.queries.size()];
        const RouteGraphNode& from = *planner.Node(a);
        const RouteGraphNode& to = *planner.Node(b);
        const auto t0 = Clock::now();
        const uint32_t cost = planner.FindRoute(from.x, from.y, to.x, to.y, nullptr, nullptr, nullptr);
        const auto t1 = Clock::now();
        const uint32_t expected =
            mode == kRouteModeRoad ? scene.reference->Road(a, b, dist) : scene.reference->Track(a, b, dist);
        const auto t2 = Clock::now();
        planned.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        reference.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
        if (cost != expected) {
            state.SkipWithError("the planner's cost differs from the reference's");
            return;
        }
#ifdef MD_HAVE_BOOST_GRAPH
        const auto t3 = Clock::now();
        const uint32_t boostCost = scene.boost->Cost(a, b);
        boosted.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t3).count());
        if (boostCost != cost) {
            state.SkipWithError("the planner's cost differs from Boost's");
            return;
        }
#endif
    }
    double sumPlanned = 0, sumReference = 0;
    for (size_t i = 0; i < planned.size(); ++i) {
        sumPlanned += planned[i];
        sumReference += reference[i];
    }
    state.counters["planner_us"] = sumPlanned / double(planned.size());
    state.counters["planner_p50_us"] = Percentile(planned, 0.5);
    state.counters["planner_p99_us"] = Percentile(planned, 0.99);
    state.counters["reference_us"] = sumReference / double(reference.size());
    state.counters["reference_p50_us"] = Percentile(reference, 0.5);
    state.counters["reference_p99_us"] = Percentile(reference, 0.99);
    state.counters["vs_reference"] = sumReference > 0 ? sumPlanned / sumReference : 0;
    if (!boosted.empty()) {
        double sumBoost = 0;
        for (double t : boosted)
            sumBoost += t;
        state.counters["boost_p50_us"] = Percentile(boosted, 0.5);
        state.counters["boost_p99_us"] = Percentile(boosted, 0.99);
        state.counters["vs_boost"] = sumBoost > 0 ? sumPlanned / sumBoost : 0;
    }
}

// Lattice spacings of about 1 000, 10 000 and 60 000 junctions.
void Spacings(benchmark::internal::Benchmark* b) {
    for (int64_t mode : {0, 1})
        for (int64_t spacing : {60, 19, 8})
            b->Args({mode, spacing});
}

BENCHMARK(BuildGraph)->Apply(Spacings)->Unit(benchmark::kMillisecond);
BENCHMARK(Query)->Apply(Spacings)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
