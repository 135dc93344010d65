// The full critical-point search of the search dialog on the largest example
// model with its cluster: the bond points of every atom pair that passes the
// default filters, then the ring/cage point of every ring of three to eight
// bonded atoms.  Reports the time and the property evaluations it took.
//
// The model is KELDANA_BENCH_MODEL when set (with "gspace.cls" beside it if
// any), else the largest examples/**/*.kdn with its folder's "gspace.cls",
// else tests/fixtures/kdn/ethyne.kdn without a cluster.  Argument 1: the
// locator's derivatives by central differences (as after every load), 0:
// analytic.
#include "bench_model.h"
#include "common/scripted_ui.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/bond_path.h"
#include "keldana/topology/cluster_edge.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/property_source.h"
#include "keldana/topology/shell_search.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;
constexpr size_t LARGEST_RING = 8;

using bench::BenchModel;
using bench::loaded_bench_model;

// Rings of 3..8 atoms in the graph of the bond points found, each once.
std::vector<std::vector<int>> rings_of_bonds()
{
    const int n = current_model().atoms.atom_count;
    std::vector<std::vector<int>> neighbours(static_cast<size_t>(n) + 1);
    const CriticalPointList& list = critical_point_list();
    for (int k = 1; k <= list.cp_count; ++k) {
        const CriticalPoint& p = list.points[k];
        if (p.type == 2 && p.atom1 >= 1 && p.atom2 >= 1 && p.atom1 <= n && p.atom2 <= n) {
            neighbours[p.atom1].push_back(p.atom2);
            neighbours[p.atom2].push_back(p.atom1);
        }
    }
    std::set<std::vector<int>> seen;
    std::vector<std::vector<int>> rings;
    std::vector<int> path;
    // Simple cycles through their smallest atom, found by depth-first search;
    // the ring is kept when no chord shortens it.
    auto chordless = [&neighbours](const std::vector<int>& ring) {
        for (size_t i = 0; i < ring.size(); ++i)
            for (size_t j = i + 2; j < ring.size(); ++j) {
                if (i == 0 && j == ring.size() - 1)
                    continue;
                const auto& adjacent = neighbours[ring[i]];
                if (std::find(adjacent.begin(), adjacent.end(), ring[j]) != adjacent.end())
                    return false;
            }
        return true;
    };
    auto extend = [&](auto& self, int start, int atom) -> void {
        for (int next : neighbours[atom]) {
            if (next == start && path.size() >= 3) {
                std::vector<int> key = path;
                std::sort(key.begin(), key.end());
                if (seen.insert(key).second && chordless(path))
                    rings.push_back(path);
            } else if (next > start && path.size() < LARGEST_RING &&
                       std::find(path.begin(), path.end(), next) == path.end()) {
                path.push_back(next);
                self(self, start, next);
                path.pop_back();
            }
        }
    };
    for (int a = 1; a <= n; ++a) {
        path = {a};
        extend(extend, a, a);
    }
    return rings;
}

// The locator's derivatives for one benchmark: argument 1 central
// differences (as every load leaves them), 0 analytic; back to central
// differences at the end.
class DerivativeMode {
public:
    explicit DerivativeMode(const benchmark::State& state) : numeric_(state.range(0) != 0)
    {
        run_settings().calculation.numerical_derivatives = numeric_ ? 1 : 0;
    }
    ~DerivativeMode() { run_settings().calculation.numerical_derivatives = 1; }
    DerivativeMode(const DerivativeMode&) = delete;
    DerivativeMode& operator=(const DerivativeMode&) = delete;
    std::string label(const BenchModel& m) const
    {
        return m.name + (numeric_ ? ", numerical derivatives" : ", analytic derivatives");
    }

private:
    bool numeric_;
};

// The bond points of every atom pair that passes the default filters.
void search_atom_pairs()
{
    CriticalPointSearchRequest request;
    request.mode = SearchMode::atoms;
    run_critical_point_search(request, RHO);
}

void BM_FullSearch(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const BenchModel* m = loaded_bench_model(state, ui.get());
    if (!m)
        return;
    const DerivativeMode mode(state);
    long long evaluations = 0;
    int points = 0;
    size_t ring_count = 0;
    for (auto _ : state) {
        critical_point_list().cp_count = 0;
        const long long before = search_evaluation_count();
        search_atom_pairs();
        const std::vector<std::vector<int>> rings = rings_of_bonds();
        for (const std::vector<int>& ring : rings) {
            CriticalPointSearchRequest request;
            request.mode = SearchMode::ring;
            request.ring.ring_atom_count = static_cast<int>(ring.size());
            std::copy(ring.begin(), ring.end(), request.ring.ring_atoms.begin() + 1);
            run_critical_point_search(request, RHO);
        }
        evaluations = search_evaluation_count() - before;
        points = critical_point_list().cp_count;
        ring_count = rings.size();
    }
    state.counters["evaluations"] = static_cast<double>(evaluations);
    state.counters["points"] = points;
    state.counters["rings"] = static_cast<double>(ring_count);
    state.counters["evaluations/s"] =
        benchmark::Counter(static_cast<double>(evaluations) * state.iterations(), benchmark::Counter::kIsRate);
    state.SetLabel(mode.label(*m));
}

// The atom-pair search alone: what pressing Search in the untouched dialog
// does, to compare with the same search through the window.
void BM_AtomPairSearch(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const BenchModel* m = loaded_bench_model(state, ui.get());
    if (!m)
        return;
    const DerivativeMode mode(state);
    int points = 0;
    for (auto _ : state) {
        critical_point_list().cp_count = 0;
        search_atom_pairs();
        points = critical_point_list().cp_count;
    }
    state.counters["points"] = points;
    state.SetLabel(mode.label(*m));
}

// The shell search around the first atom with a grid of 10 x 10 x 5
// points: the gradient at every grid point, the Newton search from those
// below the threshold.  Argument as for BM_FullSearch.
void BM_ShellSearch(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const BenchModel* m = loaded_bench_model(state, ui.get());
    if (!m)
        return;
    const DerivativeMode mode(state);
    const ShellSearchParameters parameters{1, 10, 10, 5, 0.3, 0.9, 0.5, true};
    int points = 0;
    for (auto _ : state) {
        critical_point_list().cp_count = 0;
        search_critical_points_in_shell(false, parameters, RHO, SearchExecution{});
        points = critical_point_list().cp_count;
    }
    state.counters["points"] = points;
    state.SetLabel(mode.label(*m));
}

// The bond paths of every bond point of the pair search, one after another.
void BM_BondPaths(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const BenchModel* m = loaded_bench_model(state, ui.get());
    if (!m)
        return;
    const DerivativeMode mode(state);
    critical_point_list().cp_count = 0;
    search_atom_pairs();
    int paths = 0;
    for (auto _ : state) {
        paths = 0;
        for (int c = 1; c <= critical_point_list().cp_count; ++c)
            if (check_bond_path_point(c) == BondPathCheck::ok)
                paths += trace_bond_path(c).traced ? 1 : 0;
    }
    state.counters["paths"] = paths;
    state.SetLabel(mode.label(*m));
}

// The test whether a located point is the crystal's: its preparation (the
// bound tables of the independent atoms) and the test of one point, at the
// midpoints of the atom pairs within 3 Angstrom.
void BM_ClusterEdgePreparation(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!loaded_bench_model(state, ui.get()))
        return;
    // A new revision each time, so the tables are made, not read from the
    // last search; the evaluator's own preparation is not timed.
    for (auto _ : state) {
        state.PauseTiming();
        note_model_change();
        global_frame_density_model();
        state.ResumeTiming();
        benchmark::DoNotOptimize(prepare_cluster_reach(RHO));
    }
}

void BM_ClusterEdgeTestOfAPoint(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!loaded_bench_model(state, ui.get()))
        return;
    const ClusterReach reach = prepare_cluster_reach(RHO);
    const WorkingAtomSet& atoms = current_model().atoms;
    std::vector<Vector3> points;
    for (int i = 1; i <= atoms.atom_count; ++i)
        for (int j = 1; j < i; ++j) {
            const Vector3 a{atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]};
            const Vector3 b{atoms.cart_x[j], atoms.cart_y[j], atoms.cart_z[j]};
            if (point_distance(a, b) < 3.0)
                points.push_back({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2});
        }
    std::size_t k = 0;
    int held = 0;
    for (auto _ : state) {
        held += cluster_holds_point(reach, points[k], 0.1, {-1.0, -1.0, 1.0}) ? 1 : 0;
        k = (k + 1) % points.size();
    }
    benchmark::DoNotOptimize(held);
    state.counters["points"] = static_cast<double>(points.size());
}

}  // namespace

BENCHMARK(BM_ClusterEdgePreparation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClusterEdgeTestOfAPoint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullSearch)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AtomPairSearch)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_ShellSearch)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BondPaths)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
