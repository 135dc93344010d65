// The whole load of a model file: reader, checks, derived geometry, frames,
// symmetry, cluster and bank, with the program's own data files.
#include "fuzz_support.h"

#include "keldana/model/model_loader.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    // A scratch folder of its own: the listing and the model file go there.
    static const std::filesystem::path folder = [] {
        char name[] = "/tmp/kd_fuzz_loader_XXXXXX";
        std::filesystem::path made = mkdtemp(name) ? name : "/tmp";
        std::filesystem::current_path(made);
        return made;
    }();
    const std::filesystem::path model = folder / "fuzz.kdn";
    std::ofstream(model, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    RunSettings& settings = run_settings();
    settings.file_dialog.start_directory = KD_DATA_DIR;
    settings.file_dialog.working_directory = folder.string();
    settings.file_dialog.dialog_path = model.string();
    settings.file_dialog.file_title = "fuzz.kdn";
    settings.output_files.input_type = "kdn";
    settings.output_files.input_file_path = model.string();
    settings.paths.wavefun_bank_path.clear();
    apply_default_calculation_settings(settings.calculation);
    load_structure_file();
    close_report_output();
    return 0;
}
