// A 3-D grid map of the total density (60 x 60 x 20 points, 6 x 6 x 2
// Angstrom around the first atom) on the largest example model with its
// cluster, as "Calculate Map" writes it, and a line profile of 1001 points
// through the same box.  Argument: worker threads (0: one per core).
//
// The model is KELDANA_BENCH_MODEL when set (with "gspace.cls" beside it if
// any), else the largest examples/**/*.kdn with its folder's "gspace.cls".
#include "common/scripted_ui.h"
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

fs::path chosen_model()
{
    if (const char* path = std::getenv("KELDANA_BENCH_MODEL"))
        return path;
    fs::path largest;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(KD_SOURCE_DIR) / "examples", error))
        if (entry.path().extension() == ".kdn" && (largest.empty() || entry.file_size() > fs::file_size(largest)))
            largest = entry.path();
    return largest.empty() ? fs::path(KD_SOURCE_DIR) / "tests/fixtures/kdn/ethyne.kdn" : largest;
}

struct BenchModel {
    bool loaded = false;
    std::string name;
};

BenchModel& bench_model(ScriptedUserInterface& ui)
{
    static BenchModel model = [&ui] {
        BenchModel m;
        const fs::path source = chosen_model();
        const fs::path work = fs::temp_directory_path() / ("kd_bench_map_" + std::to_string(::getpid()));
        fs::create_directories(work);
        fs::copy_file(source, work / source.filename(), fs::copy_options::overwrite_existing);
        if (fs::exists(source.parent_path() / "gspace.cls"))
            fs::copy_file(source.parent_path() / "gspace.cls", work / "gspace.cls",
                          fs::copy_options::overwrite_existing);
        else
            ui.answers.message_answers.push_back(MessageAnswer::no);
        RunSettings& settings = run_settings();
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = work.string();
        settings.file_dialog.dialog_path = (work / source.filename()).string();
        settings.file_dialog.file_title = source.filename().string();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (work / source.filename()).string();
        fs::current_path(work);
        if (!load_structure_file())
            return m;
        apply_default_calculation_settings(settings.calculation);
        m.loaded = true;
        m.name = source.filename().string();
        std::fprintf(stderr, "model %s: %d atoms, %u cores\n", m.name.c_str(), current_model().atoms.atom_count,
                     std::thread::hardware_concurrency());
        return m;
    }();
    return model;
}

void centre_on_first_atom()
{
    const WorkingAtomSet& atoms = current_model().atoms;
    map_frame().map_centre = {atoms.cart_x[1], atoms.cart_y[1], atoms.cart_z[1]};
}

void BM_DensityMap3d(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!bench_model(ui.get()).loaded) {
        state.SkipWithError("the model did not load");
        return;
    }
    centre_on_first_atom();
    MapDefinition& map = map_definition();
    map.map_is_3d = true;
    map.x_min = map.y_min = -3.0;
    map.x_max = map.y_max = 3.0;
    map.z_min = -1.0;
    map.z_max = 1.0;
    map.x_points = map.y_points = 60;
    map.z_points = 20;
    set_worker_thread_count(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (compute_property_map_outcome(RHO) != MapOutcome::completed)
            state.SkipWithError("the map did not complete");
    set_worker_thread_count(0);
    state.counters["points"] = 60.0 * 60.0 * 20.0;
    state.SetLabel(bench_model(ui.get()).name);
}

void BM_DensityLineProfile(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!bench_model(ui.get()).loaded) {
        state.SkipWithError("the model did not load");
        return;
    }
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
BENCHMARK(BM_DensityLineProfile)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
