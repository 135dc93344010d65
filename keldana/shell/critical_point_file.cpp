#include "keldana/shell/critical_point_file.h"

#include "common/fortran_format.h"
#include "common/safe_write.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/model/model_store.h"
#include "keldana/topology/critical_point_list.h"


namespace {

// The first four characters of an atom's label; blanks for an index outside
// the working set.
std::string short_label(const StructureModel& model, int atom)
{
    if (atom < 1 || atom > model.atoms.atom_count)
        return "    ";
    const AtomLabel& label = model.atoms.atom_label[atom];
    return std::string(label.data(), 4);
}

}  // namespace

bool write_critical_point_file(const std::string& path, const CriticalPointList& list,
                               const StructureModel& model)
{
    SafeWrite file(path);
    if (file.is_open()) {
        std::ostream& out = file.stream();
        out << "    CP     CP         Bond or\n";
        out << "  number  type      nearest atom      CP in         x       y       z\n";
        for (int k = 1; k <= list.cp_count && k <= MAX_CRITICAL_POINTS; ++k) {
            const CriticalPoint& cp = list.points[k];
            out << format_line("(3X,I3,2X,A9,1X,A4,I3,' - ',A4,I3,3X,A9,3F8.3)",
                               {k, property_label(50 + cp.type), short_label(model, cp.atom1), cp.atom1,
                                short_label(model, cp.atom2), cp.atom2, property_label(cp.property_code), cp.x,
                                cp.y, cp.z})
                << '\n';
        }
    }
    if (!file.commit()) {
        ui().message_box("Can not write the critical points file " + path, "Error!", MessageButtons::ok,
                         MessageIcon::error);
        return false;
    }
    return true;
}

void write_critical_point_file_at_exit()
{
    const CriticalPointList& list = critical_point_list();
    if (list.cp_count > 0)
        write_critical_point_file("cps.dat", list, current_model());
}
