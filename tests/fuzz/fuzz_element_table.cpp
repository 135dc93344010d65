// The element table reader (atoms.axp).
#include "fuzz_support.h"

#include "keldana/model/element_table.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto types = std::make_unique<AtomTypeTable>();
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    read_element_table_stream(input, "fuzz.axp", *types);
    return 0;
}
