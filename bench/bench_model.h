// The model the critical-point and map benchmarks run on, loaded once as
// the program loads it: KELDANA_BENCH_MODEL when set (with "gspace.cls"
// beside it if any), else the largest examples/**/*.kdn with its folder's
// "gspace.cls", else tests/fixtures/kdn/ethyne.kdn without a cluster.  The
// files are copied into a scratch folder that becomes the current
// directory (the listing is written there).
#pragma once

#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

inline fs::path chosen_model()
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

// Copies `source` into the scratch folder kd_<tag>_<pid>, which becomes the
// current directory, and points the load at the copy as the file dialog
// would.  Returns the folder.
inline fs::path prepare_bench_folder(const fs::path& source, const std::string& tag)
{
    const fs::path work = fs::temp_directory_path() / ("kd_" + tag + "_" + std::to_string(::getpid()));
    fs::create_directories(work);
    fs::copy_file(source, work / source.filename(), fs::copy_options::overwrite_existing);
    RunSettings& settings = run_settings();
    settings.file_dialog.start_directory = KD_RUNTIME_DIR;
    settings.file_dialog.working_directory = work.string();
    settings.file_dialog.dialog_path = (work / source.filename()).string();
    settings.file_dialog.file_title = source.filename().string();
    settings.output_files.input_type = "kdn";
    settings.output_files.input_file_path = (work / source.filename()).string();
    fs::current_path(work);
    return work;
}

// Copies the "gspace.cls" beside `source` into `work`; without one the load
// is told not to make a cluster.
inline void copy_bench_cluster(const fs::path& source, const fs::path& work, ScriptedUserInterface& ui)
{
    if (fs::exists(source.parent_path() / "gspace.cls"))
        fs::copy_file(source.parent_path() / "gspace.cls", work / "gspace.cls", fs::copy_options::overwrite_existing);
    else
        ui.answers.message_answers.push_back(MessageAnswer::no);
}

inline BenchModel& bench_model(ScriptedUserInterface& ui)
{
    static BenchModel model = [&ui] {
        BenchModel m;
        const fs::path source = chosen_model();
        copy_bench_cluster(source, prepare_bench_folder(source, "bench"), ui);
        if (!load_structure_file())
            return m;
        apply_default_calculation_settings(run_settings().calculation);
        m.loaded = true;
        m.name = source.filename().string();
        std::fprintf(stderr, "model %s: %d atoms, %u cores\n", m.name.c_str(), current_model().atoms.atom_count,
                     std::thread::hardware_concurrency());
        return m;
    }();
    return model;
}

// The model for a benchmark; null, with the benchmark skipped, when it did
// not load.
inline const BenchModel* loaded_bench_model(benchmark::State& state, ScriptedUserInterface& ui)
{
    const BenchModel& m = bench_model(ui);
    if (m.loaded)
        return &m;
    state.SkipWithError("the model did not load");
    return nullptr;
}

}  // namespace bench
