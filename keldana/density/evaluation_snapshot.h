// What evaluation reads of the model store and the settings.  A job reads
// one copy of them, taken when it first evaluates on the main thread
// (before any of its workers starts), so nothing done while it runs can
// change its results or free what its workers read; outside a job the
// live store is read.
#pragma once

#include "keldana/density/property_selection.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <cstdint>

struct EvaluationSnapshot {
    std::uint64_t revision = 0;
    StructureModel model;
    CalculationSettings settings;
    PropertySelection selection;
    CovarianceMatrix covariance;
};

const StructureModel& evaluated_model();
const CalculationSettings& evaluated_settings();
const PropertySelection& evaluated_selection();
const CovarianceMatrix& evaluated_covariance();
// model_revision() when the snapshot was taken.
std::uint64_t evaluated_revision();
