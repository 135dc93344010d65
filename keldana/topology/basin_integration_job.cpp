// The job of the integration dialog's "Start".
#include "keldana/topology/basin_integration.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/topology/surface_file.h"

#include "common/safe_write.h"

#include <ctime>
#include <memory>

namespace {

const std::string TITLE = " INTEGRATED PROPERTY WITHIN ATOMIC BASIN";
const std::string RULE = "  ---------------------------------------------";

void pane_at(int skip, const std::string& text)
{
    for (int k = 1; k < skip; ++k)
        append_pane_line("");
    append_pane_line(text);
}

void both(int skip, const std::string& text)
{
    pane_at(skip, text);
    write_listing_line(text);
}

void show_error(const std::string& text) { ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning); }

void report_title(const BasinJobRequest& request)
{
    text_pane_state().scroll_to_end = true;
    pane_at(2, TITLE);
    ui().text_pane_changed();
    write_listing_line("");
    write_listing_line(" " + TITLE);
    write_listing_line("");
    if (request.mode == BasinJobMode::surfaces) {
        pane_at(2, "");
        return;
    }
    both(2, format_line("(2X,' num  atom',7X,A9,5X,'CPU time (sec)')", {basin_integral_name(request.mode, request.code)}));
    both(1, RULE);
    ui().text_pane_changed();
}

// The images of the symmetry within rCut of atom a's nucleus become the
// cluster.
bool build_cluster_around(StructureModel& model, int a)
{
    const WorkingAtomSet& atoms = model.atoms;
    const Vector3 centre{atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]};
    generate_cluster_images(model, run_settings().calculation.rCut, centre, {}, model.space_group.lattice_type,
                            CLUSTER_AROUND_ATOM);
    return build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST_SILENT, model);
}

bool is_selectable_atom(const StructureModel& model, int a)
{
    return a >= 1 && a <= std::min(model.atoms.independent_atom_count, MAX_SURFACE_ATOMS);
}

}  // namespace

BasinJobResult run_basin_job(const BasinJobRequest& request)
{
    BasinJobResult result;
    StructureModel& model = current_model();
    bool atoms_valid = true;
    for (int a : request.atoms)
        atoms_valid = atoms_valid && is_selectable_atom(model, a);
    if (!is_valid_basin_request(request) || !atoms_valid) {
        show_error("Can not read data. Please, check data in boxes");
        return result;
    }
    const bool surfaces = request.mode == BasinJobMode::surfaces;
    InteratomicSurfaceTable& table = interatomic_surface_table();
    // The surface file goes to a temporary and replaces the old file at the
    // end of the job, with the blocks of every atom finished by then.
    std::unique_ptr<SafeWrite> file;
    if (surfaces) {
        file = std::make_unique<SafeWrite>(request.surface_file);
        if (!file->is_open()) {
            show_error(file->error());
            return result;
        }
        // Surfaces of another grid can no longer be read from the table.
        if (table.ias_theta_count != request.n_theta || table.ias_phi_count != request.n_phi) {
            table.ias_present.fill(0);
            table.ias_start_radius.fill(NO_SURFACE_RADIUS);
        }
        table.ias_theta_count = request.n_theta;
        table.ias_phi_count = request.n_phi;
        write_surface_file_header(file->stream(), request.n_theta, request.n_phi);
    }
    result.started = true;
    // Raised for the whole job, so nothing takes it for finished between atoms.
    job_control().job_running = true;
    run_settings().calculation.rCut = request.cluster_radius;
    note_model_change();
    const auto saved = std::make_unique<StructureModel>(model);
    BasinIntegrationResults& results = basin_integration_results();
    const std::clock_t job_start = std::clock();
    report_title(request);

    bool stopped = false;
    for (int a : request.atoms) {
        if (!build_cluster_around(model, a)) {
            stopped = true;
            break;
        }
        const WorkingAtomSet& atoms = model.atoms;
        if (surfaces) {
            const SurfaceRun run = compute_interatomic_surface(a, request.n_theta, request.n_phi, request.step_factor,
                                                               request.surface_tolerance);
            result.evaluations += run.evaluations;
            if (run.outcome != SurfaceOutcome::completed) {
                stopped = true;
                break;
            }
            store_surface_grid(table, a, run.grid, &run.reach);
            // The file's start radius is the beta radius the listing shows.
            SurfaceGrid block = run.grid;
            block.start_radius = run.beta_radius;
            write_surface_block(file->stream(), a, atoms.atom_label[a],
                                {atoms.cart_x[a], atoms.cart_y[a], atoms.cart_z[a]}, block);
            result.done.push_back(a);
            continue;
        }
        if (table.ias_present[a] == 0)
            continue;
        double& slot = request.mode == BasinJobMode::volume ? results.basin_volume[a] : results.basin_property_integral[a];
        slot = 0.0;
        const int code = request.mode == BasinJobMode::volume ? 0 : request.code;
        const std::clock_t start = std::clock();
        const long long counted = basin_integrand_count();
        double value = 0.0;
        // The surface is traced again where its grid is too coarse to follow it.
        SurfaceRaySearch rays;
        const bool traced = prepare_surface_ray_search(a, request.step_factor, request.surface_tolerance, rays);
        const BasinOutcome outcome = integrate_property_in_basin(a, request.n_theta, request.n_phi, code, table, value,
                                                                 traced ? &rays : nullptr);
        result.evaluations += basin_integrand_count() - counted;
        if (outcome != BasinOutcome::completed) {
            stopped = true;
            break;
        }
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        // A surface file holds the first crossing of each grid direction only.
        if (surface_reach(table, a) == nullptr)
            both(1, format_line("(2X,'Surface of ',A6,' from a file: one crossing per grid direction assumed')",
                                {atoms.atom_label[a]}));
        slot = value;
        result.total += value;
        result.seconds += seconds;
        result.done.push_back(a);
        both(1, format_line("(2X,I3,3X,A6,F14.6,5X,F14.2)", {a, atoms.atom_label[a], value, seconds}));
        ui().text_pane_changed();
    }
    result.completed = !stopped;
    if (surfaces)
        result.seconds = static_cast<double>(std::clock() - job_start) / CLOCKS_PER_SEC;
    else if (result.completed) {
        both(1, RULE);
        both(1, format_line("(4X,'TOTAL',3X,F16.6,5X,F14.2)", {result.total, result.seconds}));
    }

    job_control().job_running = false;
    model = *saved;
    note_model_change();
    ui().redraw_viewer();
    ui().text_pane_changed();
    if (surfaces && !file->commit())
        show_error(file->error());
    return result;
}
