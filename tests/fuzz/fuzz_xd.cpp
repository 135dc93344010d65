// The XD reader: parameter file, master file and Slater table, separated by
// NUL bytes.
#include "fuzz_support.h"

#include "keldana/model/input_checks.h"
#include "keldana/model/xd_files.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto model = std::make_unique<StructureModel>();
    const std::vector<std::string> files = fuzz::split_files(data, size, 3);
    std::istringstream parameter(files[0]), master(files[1]), slater(files[2]);
    model->atom_types = fuzz::shipped_atom_types();
    if (read_xd_input_streams(parameter, master, files[2].empty() ? nullptr : &slater, "fuzz.inp", "fuzz.mas",
                              *model))
        check_read_model(*model);
    return 0;
}
