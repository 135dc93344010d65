// A 3-D grid map of the total density (60 x 60 x 20 points, 6 x 6 x 2
// Angstrom around the first atom, and 100 x 100 x 100 in a 6 A cube) on the largest example model with its
// cluster, as "Calculate Map" writes it, and a line profile of 1001 points
// through the same box; a 2-D map (40 x 40 points, 6 x 6 Angstrom) of the
// electrostatic potential or of the kinetic energy density.  Argument:
// worker threads (0: one per core).
//
// The model is KELDANA_BENCH_MODEL when set (with "gspace.cls" beside it if
// any), else the largest examples/**/*.kdn with its folder's "gspace.cls".
#include "bench_model.h"
#include "common/scripted_ui.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/properties/line_profile.h"
#include "keldana/properties/map_grid.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/map_areas.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;

using bench::bench_model;
using bench::loaded_bench_model;

void centre_on_first_atom()
{
    const WorkingAtomSet& atoms = current_model().atoms;
    map_frame().map_centre = {atoms.cart_x[1], atoms.cart_y[1], atoms.cart_z[1]};
}

// The density on nx x nx x nz points of a box around the first atom.
void run_density_map_3d(benchmark::State& state, int nx, int nz, double half_height)
{
    ScopedScriptedUi ui;
    if (!loaded_bench_model(state, ui.get()))
        return;
    centre_on_first_atom();
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.x_min = map.y_min = -3.0;
    map.x_max = map.y_max = 3.0;
    map.z_min = -half_height;
    map.z_max = half_height;
    map.x_points = map.y_points = nx;
    map.z_points = nz;
    set_worker_thread_count(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (compute_property_map_outcome(RHO) != MapOutcome::completed)
            state.SkipWithError("the map did not complete");
    set_worker_thread_count(0);
    state.counters["points"] = double(nx) * nx * nz;
    state.SetLabel(bench_model(ui.get()).name);
}

void BM_DensityMap3d(benchmark::State& state) { run_density_map_3d(state, 60, 20, 1.0); }

// 100 x 100 x 100 points in a 6 A cube: a large map, where writing the
// records weighs as much as evaluating them.
void BM_DensityMap3dLarge(benchmark::State& state) { run_density_map_3d(state, 100, 100, 3.0); }

// Arguments: the property code, the worker threads.
void BM_PropertyMap2d(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!bench_model(ui.get()).loaded || !build_spherical_potential_tables()) {
        state.SkipWithError("the model or its potential tables did not load");
        return;
    }
    centre_on_first_atom();
    MapDefinition& map = map_definition();
    map.map_is_3d = false;
    map.x_min = map.y_min = -3.0;
    map.x_max = map.y_max = 3.0;
    map.x_points = map.y_points = 40;
    const int code = static_cast<int>(state.range(0));
    set_worker_thread_count(static_cast<int>(state.range(1)));
    for (auto _ : state)
        if (compute_property_map_outcome(code) != MapOutcome::completed)
            state.SkipWithError("the map did not complete");
    set_worker_thread_count(0);
    state.counters["points"] = 40.0 * 40.0;
    state.SetLabel(bench_model(ui.get()).name + (code == 23 ? ", EPOT" : ", kinetic energy density"));
}

void BM_DensityLineProfile(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!loaded_bench_model(state, ui.get()))
        return;
    const WorkingAtomSet& atoms = current_model().atoms;
    const Vector3 c{atoms.cart_x[1], atoms.cart_y[1], atoms.cart_z[1]};
    set_worker_thread_count(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        LineProfileRun run = start_line_profile({c[0] - 3, c[1] - 3, c[2] - 1}, {c[0] + 3, c[1] + 3, c[2] + 1},
                                                MAX_PROFILE_POINTS, RHO);
        while (compute_next_line_profile_point(run, RHO)) {
        }
    }
    set_worker_thread_count(0);
    state.SetLabel(bench_model(ui.get()).name);
}

}  // namespace

BENCHMARK(BM_DensityMap3d)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DensityMap3dLarge)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PropertyMap2d)
    ->ArgsProduct({{23, 31}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_DensityLineProfile)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
