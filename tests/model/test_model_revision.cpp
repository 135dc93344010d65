// The model's revision follows changes of the lattice translations, and
// only changes.
#include "keldana/model/model_store.h"

#include <gtest/gtest.h>

namespace {

TEST(ModelRevision, LatticeTranslationsChangeTheModelOnlyWhenTheyDiffer)
{
    ClusterTranslations t = current_model().translations;
    const std::uint64_t start = model_revision();
    set_lattice_translations(t);
    EXPECT_EQ(model_revision(), start);
    for (int field = 0; field < 4; ++field) {
        ClusterTranslations changed = t;
        int* values[4] = {&changed.cluster_k, &changed.cluster_l, &changed.cluster_m, &changed.unit_cell_mode};
        *values[field] += 1;
        const std::uint64_t before = model_revision();
        set_lattice_translations(changed);
        EXPECT_GT(model_revision(), before) << field;
        EXPECT_EQ(current_model().translations.cluster_k, changed.cluster_k);
        EXPECT_EQ(current_model().translations.unit_cell_mode, changed.unit_cell_mode);
        set_lattice_translations(t);
    }
}

}  // namespace
