#include "keldana/model/model_store.h"

#include <atomic>
#include <utility>

namespace {

std::atomic<std::uint64_t> revision{1};

std::unique_ptr<StructureModel>& model_slot()
{
    static std::unique_ptr<StructureModel> model = std::make_unique<StructureModel>();
    return model;
}

}  // namespace

StructureModel& current_model() { return *model_slot(); }

void commit_model(std::unique_ptr<StructureModel> loaded)
{
    if (loaded) {
        *model_slot() = std::move(*loaded);
        note_model_change();
    }
}

std::uint64_t model_revision() { return revision.load(std::memory_order_acquire); }

void note_model_change() { revision.fetch_add(1, std::memory_order_acq_rel); }

void set_lattice_translations(const ClusterTranslations& translations)
{
    ClusterTranslations& current = current_model().translations;
    if (translations.cluster_k == current.cluster_k && translations.cluster_l == current.cluster_l
        && translations.cluster_m == current.cluster_m && translations.unit_cell_mode == current.unit_cell_mode)
        return;
    current = translations;
    note_model_change();
}
