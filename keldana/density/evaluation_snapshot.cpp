#include "keldana/density/evaluation_snapshot.h"

#include "common/job_control.h"
#include "common/worker_pool.h"
#include "keldana/density/electrostatic_potential.h"

#include <atomic>
#include <memory>

namespace {

// Changed only on the main thread while no worker runs.
std::unique_ptr<EvaluationSnapshot> kept;
std::atomic<const EvaluationSnapshot*> active{nullptr};
unsigned kept_for_job = 0;

// The running job's snapshot, taken at its first call on the main thread;
// nullptr outside a job.
const EvaluationSnapshot* job_snapshot()
{
    if (inside_worker_pool())
        return active.load(std::memory_order_acquire);
    const JobControl& job = job_control();
    if (!job.job_active) {
        if (kept) {
            active.store(nullptr, std::memory_order_release);
            kept.reset();
        }
        return nullptr;
    }
    if (!kept || kept_for_job != job.job_number) {
        // EPOT's unit cell follows the model the snapshot copies.
        refresh_potential_cell();
        auto fresh = std::make_unique<EvaluationSnapshot>();
        fresh->revision = model_revision();
        fresh->model = current_model();
        fresh->settings = run_settings().calculation;
        fresh->selection = property_selection();
        fresh->covariance = covariance_matrix();
        kept = std::move(fresh);
        kept_for_job = job.job_number;
        active.store(kept.get(), std::memory_order_release);
    }
    return kept.get();
}

}  // namespace

const StructureModel& evaluated_model()
{
    const EvaluationSnapshot* snapshot = job_snapshot();
    return snapshot ? snapshot->model : current_model();
}

const CalculationSettings& evaluated_settings()
{
    const EvaluationSnapshot* snapshot = job_snapshot();
    return snapshot ? snapshot->settings : run_settings().calculation;
}

const PropertySelection& evaluated_selection()
{
    const EvaluationSnapshot* snapshot = job_snapshot();
    return snapshot ? snapshot->selection : property_selection();
}

const CovarianceMatrix& evaluated_covariance()
{
    const EvaluationSnapshot* snapshot = job_snapshot();
    return snapshot ? snapshot->covariance : covariance_matrix();
}

std::uint64_t evaluated_revision()
{
    const EvaluationSnapshot* snapshot = job_snapshot();
    return snapshot ? snapshot->revision : model_revision();
}
