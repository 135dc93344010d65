// The model file reader and the checks the load makes on what it read.
#include "fuzz_support.h"

#include "keldana/model/input_checks.h"
#include "keldana/model/kdn_file.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto model = std::make_unique<StructureModel>();
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    if (read_kdn_input_file(input, "fuzz.kdn", *model))
        check_read_model(*model);
    return 0;
}
