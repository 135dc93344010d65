#include "keldana/model/model_store.h"

#include <utility>

namespace {

std::unique_ptr<StructureModel>& model_slot()
{
    static std::unique_ptr<StructureModel> model = std::make_unique<StructureModel>();
    return model;
}

}  // namespace

StructureModel& current_model() { return *model_slot(); }

void commit_model(std::unique_ptr<StructureModel> loaded)
{
    if (loaded)
        *model_slot() = std::move(*loaded);
}
