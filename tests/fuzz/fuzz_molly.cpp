// The MOLLY reader: parameter file and table file, separated by a NUL byte.
#include "fuzz_support.h"

#include "keldana/model/input_checks.h"
#include "keldana/model/molly_file.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto model = std::make_unique<StructureModel>();
    const std::vector<std::string> files = fuzz::split_files(data, size, 2);
    std::istringstream parameter(files[0]), table(files[1]);
    model->atom_types = fuzz::shipped_atom_types();
    if (read_mol_input_streams(parameter, table, "fuzz.par", "fuzz.tab", *model))
        check_read_model(*model);
    return 0;
}
