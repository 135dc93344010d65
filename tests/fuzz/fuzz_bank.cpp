// The wavefunction bank reader, for a model of one carbon atom.
#include "fuzz_support.h"

#include "keldana/model/element_table.h"
#include "keldana/model/wavefunction_bank.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto model = [] {
        auto m = std::make_unique<StructureModel>();
        m->atom_types = fuzz::shipped_atom_types();
        m->atoms.atom_count = 1;
        m->atoms.independent_atom_count = 1;
        m->atoms.atom_type_index[1] = find_atom_type(m->atom_types, std::string("C   "));
        return m;
    }();
    static const auto bank = std::make_unique<WavefunctionBank>();
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    read_wavefunction_bank_stream(input, "fuzz.bnk", *model, *bank);
    return 0;
}
