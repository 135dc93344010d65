#include "keldana/properties/map_grid.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/safe_write.h"
#include "common/user_interface.h"
#include "common/worker_pool.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/evaluation_snapshot.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/properties/map_files.h"
#include "keldana/topology/basin_integration_workers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int RHO = 3;
constexpr int LAPLACIAN = 8;
constexpr int ESFED = 22;
constexpr int EPOT = 23;
constexpr int GRAD_RHO = 24;
constexpr int FIRST_ENERGY_DENSITY = 30;
constexpr double ONE_OVER_8_PI = 0.03978873577;
constexpr double IMAGE_WINDOW_MARGIN = 0.25;     // Angstrom
constexpr double IMAGE_MIN_DISTANCE_SQ = 0.01;   // (0.1 Angstrom)^2
constexpr double FAR_FROM_EVERY_PLANE = 1.0e30;  // plane_w of the dummy points' slots
constexpr float NO_MINIMUM = 1.0e20f;
constexpr int GRID_BOX_WIDTH = 8;
constexpr long long RING_POINTS = 1 << 16;  // values a map holds at a time (0.5 MB, 3.7 MB of records)
constexpr int ROW_PIECE = 32;  // points of a row evaluated together

std::string trimmed_name(const std::string& name)
{
    const size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

void show_file_error(const std::string& text, const std::string& name)
{
    ui().message_box(text + " " + name, "Error!", MessageButtons::ok, MessageIcon::warning);
}

std::string progress_title(int code)
{
    std::string title = "          map calculating.  Please, wait...  ";
    title.replace(0, 9, property_label(code));
    return trimmed_name(title);
}

double axis_step(double min, double max, int points) { return points > 1 ? (max - min) / (points - 1) : 0.0; }

// A box's field; empty (unreadable) when more is typed after it, so that the
// arithmetic never works from a cut number.
std::string_view box_field(std::string_view text)
{
    if (text.size() > GRID_BOX_WIDTH && text.find_first_not_of(" \t", GRID_BOX_WIDTH) != std::string_view::npos)
        return {};
    return text.substr(0, std::min(text.size(), size_t(GRID_BOX_WIDTH)));
}

bool read_limits(std::string_view min_text, std::string_view max_text, float& range)
{
    float min = 0, max = 0;
    if (!parse_number_before_slash(box_field(min_text), min) || !parse_number_before_slash(box_field(max_text), max))
        return false;
    range = std::abs(max - min);
    return true;
}

}  // namespace

double evaluate_map_property(double x, double y, double z, int code)
{
    Vector3 gradient{};
    if (code >= FIRST_ENERGY_DENSITY)
        return evaluate_energy_density_property(x, y, z, code);
    if (code == ESFED)
        return compute_property_gradient_or_laplacian_numeric(1, x, y, z, gradient, EPOT) * ONE_OVER_8_PI;
    if (code == GRAD_RHO)
        return compute_property_gradient_or_laplacian_numeric(1, x, y, z, gradient, RHO);
    if (code == LAPLACIAN && evaluated_settings().numerical_derivatives >= 1)
        // The analytic path negates it with the sign setting: so does this one.
        return compute_property_gradient_or_laplacian_numeric(2, x, y, z, gradient, RHO)
               * (evaluated_selection().laplacian_sign == -1 ? -1.0 : 1.0);
    return evaluate_property_at_point(x, y, z, code);
}

void evaluate_map_property_at_points(const Vector3* points, std::size_t count, int code, double* values)
{
    const bool from_evaluator = code >= 0 && code <= 14
                                && !(code == LAPLACIAN && evaluated_settings().numerical_derivatives >= 1);
    if (from_evaluator) {
        evaluate_property_at_points(points, count, code, values);
        return;
    }
    if (code >= FIRST_ENERGY_DENSITY) {
        evaluate_energy_densities_at_points(points, count, code, values);
        return;
    }
    for (std::size_t k = 0; k < count; ++k)
        values[k] = evaluate_map_property(points[k][0], points[k][1], points[k][2], code);
}

MapOutcome compute_property_map_outcome(int code, MapPointCount* count)
{
    MapDefinition& map = map_definition();
    const MapFrame frame = map_frame();  // a plane calculated meanwhile does not move this map
    const bool is_3d = map.map_is_3d;
    const int nx = std::max(map.x_points, 1), ny = std::max(map.y_points, 1);
    const int nz = is_3d ? std::max(map.z_points, 1) : 1;
    const double x_step = axis_step(map.x_min, map.x_max, nx);
    const double y_step = axis_step(map.y_min, map.y_max, ny);
    const double z_step = is_3d ? axis_step(map.z_min, map.z_max, nz) : 0.0;
    const double z_first = is_3d ? map.z_min : 0.0;
    map.map_min_value = NO_MINIMUM;
    map.map_max_value = -NO_MINIMUM;
    const long long total = static_cast<long long>(nx) * ny * nz;
    if (count)
        *count = {0, total};

    const OutputFileNames& names = run_settings().output_files;
    const std::string map_name = trimmed_name(names.map_file_name);
    const std::string post_name = trimmed_name(names.post_file_name);
    const WorkingAtomSet& atoms = current_model().atoms;
    // Both files go to temporaries that replace the old files only when the
    // whole map was written: a cancel or a failed write keeps the old pair.
    SafeWrite post(post_name);
    if (!post.is_open()) {
        show_file_error("Can not open file", post_name);
        return MapOutcome::file_error;
    }
    for (const std::string& record :
         is_3d ? map_post_head_3d(map, atoms, map_post_atoms()) : map_post_records_2d(map, atoms, map_post_atoms()))
        post.stream() << record << '\n';
    SafeWrite grid(map_name);
    if (!grid.is_open()) {
        show_file_error("Can not open file", map_name);
        return MapOutcome::file_error;
    }

    // The map's rows (one y and z, every x) are evaluated and formatted on
    // worker threads where the property allows; whichever worker finishes
    // the row that is next in order writes it with every finished row after
    // it, so the records go out in their fixed order while later rows are
    // still evaluated, and every thread count writes the same files.  The
    // rows live in a ring of at most RING_POINTS values, so a map of any
    // size needs little memory: a row waits for its slot's last row to be
    // written (which only happens when the writing falls a ring behind).
    const int rows = ny * nz;
    const int ring = std::min(rows, std::max(1, static_cast<int>(RING_POINTS / nx)));
    std::vector<double> values(static_cast<size_t>(ring) * nx);
    std::vector<std::string> records(static_cast<size_t>(ring));
    // The row each slot holds once it is finished.  A worker that finds
    // another writing leaves its row to that one, which looks again for
    // finished rows once it has stopped: nobody waits for a write.
    // (Sequentially consistent, so either the writer sees the row finished
    // or the worker sees the writer gone.)
    std::unique_ptr<std::atomic<int>[]> finished(new std::atomic<int>[records.size()]);
    for (int slot = 0; slot < ring; ++slot)
        finished[static_cast<size_t>(slot)].store(-1);
    std::atomic<bool> writing{false};
    std::atomic<int> next_to_write{0};  // moved by the writer
    auto map_min = map.map_min_value, map_max = map.map_max_value;  // the writer's
    std::atomic<long long> evaluated{0};
    auto is_finished = [&](int k) { return k < rows && finished[static_cast<size_t>(k % ring)].load() == k; };
    auto write_finished_rows = [&](int k) {
        finished[static_cast<size_t>(k % ring)].store(k);
        while (is_finished(next_to_write.load())) {
            if (writing.exchange(true))
                return;
            for (int next = next_to_write.load(); is_finished(next); next = next_to_write.load()) {
                const double* row_values = values.data() + static_cast<size_t>(next % ring) * nx;
                for (int ix = 0; ix < nx; ++ix) {
                    map_min = std::min(map_min, static_cast<decltype(map_min)>(row_values[ix]));
                    map_max = std::max(map_max, static_cast<decltype(map_max)>(row_values[ix]));
                }
                grid.stream() << records[static_cast<size_t>(next % ring)];
                if ((next + 1) % ring == 0)
                    grid.start_writeback();  // the disk writes while later rows are evaluated
                next_to_write.store(next + 1);
            }
            writing.store(false);
        }
    };
    std::atomic<bool> rows_here{false};  // rows evaluated on the polling thread: no workers
    auto row = [&](int k, RowControl& control) {
        if (!inside_worker_pool())
            rows_here.store(true);
        while (next_to_write.load() <= k - ring) {
            if (!control.keep_going())
                return;
            std::this_thread::yield();
        }
        const int iy = k % ny, iz = k / ny;
        const double y = map.y_min + iy * y_step, z = z_first + iz * z_step;
        double* out = values.data() + static_cast<size_t>(k % ring) * nx;
        // Counted once a row: one shared counter per point stalls the workers.
        std::array<Vector3, ROW_PIECE> points;
        for (int ix = 0; ix < nx; ix += ROW_PIECE) {
            if (!control.keep_going()) {
                evaluated.fetch_add(ix, std::memory_order_relaxed);
                return;
            }
            const int n = std::min(ROW_PIECE, nx - ix);
            for (int j = 0; j < n; ++j)
                points[j] = plane_point(frame, map.x_min + (ix + j) * x_step, y, z);
            evaluate_map_property_at_points(points.data(), static_cast<size_t>(n), code, out + ix);
        }
        evaluated.fetch_add(nx, std::memory_order_relaxed);
        std::string& text = records[static_cast<size_t>(k % ring)];
        text.clear();
        for (int ix = 0; ix < nx; ++ix) {
            const double point[] = {map.x_min + ix * x_step, y, z};
            append_grid_map_record(text, point, is_3d ? 3 : 2, out[ix]);
            text += '\n';
        }
        write_finished_rows(k);
    };
    int shown_percent = 0;
    auto poll = [&](int rows_done) {
        const int k = std::min(rows_done, rows - 1);
        if (is_3d)
            ui().set_progress_line(3, format_line("('Z =',I3)", {k / ny + 1}));
        ui().set_progress_line(2, format_line("('Y =',I3)", {k % ny + 1}));
        ui().set_progress_line(1, format_line("('X =',I3)", {nx}));
        const int percent = static_cast<int>(100 * evaluated.load() / total);
        if (percent > shown_percent) {
            shown_percent = percent;
            ui().set_progress(percent);
        }
        // The disk takes the rows written so far while the workers go on,
        // not all of them after the last (rows evaluated here would wait).
        if (!rows_here.load())
            grid.sync_written();
        return pump_and_check_job();
    };

    ui().open_progress(progress_title(code));
    ui().set_progress(0);
    JobControl& job = job_control();
    job.job_running = true;
    bool completed = true;
    {
        std::unique_ptr<PreparedModelHold> hold;
        int threads = 0;
        if (is_reentrant_property(code)) {
            hold = std::make_unique<PreparedModelHold>();
            threads = worker_thread_count();
        }
        completed = run_rows(rows, threads, row, poll) && next_to_write.load() == rows;
        map.map_min_value = map_min;
        map.map_max_value = map_max;
    }
    ui().close_progress();
    job.job_running = false;
    if (count)
        count->done = evaluated.load();
    if (!completed) {
        grid.discard();
        post.discard();
        return MapOutcome::cancelled;
    }
    grid.stream() << '\n';
    if (is_3d)
        for (const std::string& record : map_post_tail_3d(map, x_step, y_step, z_step, map.z_max))
            post.stream() << record << '\n';
    // Both are written out before either is renamed: a failure keeps the old pair.
    std::string error;
    if (!commit_in_order(grid, post, error)) {
        ui().message_box(error, "Error!", MessageButtons::ok, MessageIcon::warning);
        return MapOutcome::file_error;
    }
    return MapOutcome::completed;
}

bool compute_property_map(int code) { return compute_property_map_outcome(code) == MapOutcome::completed; }

void write_map_stopped_listing(const MapPointCount& count)
{
    write_listing_line("");
    write_listing_line(" Map stopped by user after " + std::to_string(count.done) + " of " +
                       std::to_string(count.total) + " points: the map file was not written.");
}

void write_map_extremes_listing()
{
    const MapDefinition& map = map_definition();
    for (const std::string& line : format_records("(/,'   Minimum value: ',E14.7,'  Maximum value: ',E14.7,/)",
                                                  {map.map_min_value, map.map_max_value}))
        write_listing_line(line);
}

int append_lattice_images_near_plane(StructureModel& model, const MapFrame& frame, const MapDefinition& map,
                                     double out_of_plane_distance, MapPostAtoms& post)
{
    WorkingAtomSet& atoms = model.atoms;
    const int n_atoms = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    const int first_free = n_atoms + std::max(model.dummies.dummy_count, 0) + 1;
    const int capacity = std::min(MAX_WORKING_ATOMS, MAX_POST_ATOMS);
    const ClusterTranslations& t = model.translations;
    const double u_min = map.x_min - IMAGE_WINDOW_MARGIN, u_max = map.x_max + IMAGE_WINDOW_MARGIN;
    const double v_min = map.y_min - IMAGE_WINDOW_MARGIN, v_max = map.y_max + IMAGE_WINDOW_MARGIN;
    int appended = 0;
    for (int i = -t.cluster_k; i <= t.cluster_k; ++i)
        for (int j = -t.cluster_l; j <= t.cluster_l; ++j)
            for (int k = -t.cluster_m; k <= t.cluster_m; ++k) {
                if (i == 0 && j == 0 && k == 0)
                    continue;
                for (int n = 1; n <= n_atoms; ++n) {
                    if (atoms.subset_mask[n] == 0)
                        continue;
                    Vector3 r{};
                    convert_fractional_to_cartesian(model.orthogonalisation, atoms.frac_x[n] + i,
                                                    atoms.frac_y[n] + j, atoms.frac_z[n] + k, r[0], r[1], r[2]);
                    bool on_atom = false;
                    for (int m = 1; m <= n_atoms && !on_atom; ++m) {
                        if (atoms.subset_mask[m] == 0)
                            continue;
                        const double dx = r[0] - atoms.cart_x[m], dy = r[1] - atoms.cart_y[m],
                                     dz = r[2] - atoms.cart_z[m];
                        on_atom = dx * dx + dy * dy + dz * dz < IMAGE_MIN_DISTANCE_SQ;
                    }
                    if (on_atom)
                        continue;
                    const Vector3 p = plane_coordinates(frame, r);
                    if (std::abs(p[2]) > out_of_plane_distance || p[0] < u_min || p[0] > u_max || p[1] < v_min
                        || p[1] > v_max)
                        continue;
                    const int slot = std::max(post.post_atom_count + 1, first_free);
                    if (slot > capacity)
                        return appended;
                    for (int d = post.post_atom_count + 1; d < slot; ++d) {
                        post.plane_u[d] = post.plane_v[d] = 0.0;
                        post.plane_w[d] = FAR_FROM_EVERY_PLANE;
                    }
                    atoms.cart_x[slot] = r[0];
                    atoms.cart_y[slot] = r[1];
                    atoms.cart_z[slot] = r[2];
                    model.images.parent_atom[slot] = model.images.parent_atom[n];
                    model.images.generating_operator[slot] = model.images.generating_operator[n];
                    atoms.atomic_number[slot] = atoms.atomic_number[n];
                    atoms.atom_label[slot] = atoms.atom_label[n];
                    atoms.subset_mask[slot] = atoms.subset_mask[n];
                    post.plane_u[slot] = p[0];
                    post.plane_v[slot] = p[1];
                    post.plane_w[slot] = p[2];
                    post.post_atom_count = slot;
                    ++appended;
                }
            }
    return appended;
}

bool parse_number_before_slash(std::string_view text, float& value)
{
    size_t start = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ')
            continue;
        if (c == '/')
            return false;
        if (start == std::string_view::npos)
            start = i;
        if (c >= '0' && c <= '9') {
            double number = 0;
            if (!read_list(text.substr(start), {&number}) || !std::isfinite(static_cast<float>(number)))
                return false;
            value = static_cast<float>(number);
            return true;
        }
    }
    return false;
}

int parse_first_integer(std::string_view text, int& value)
{
    const size_t first = text.find_first_of("0123456789");
    if (first == std::string_view::npos)
        return -1;
    int number = 0;
    if (!read_list(text.substr(first), {&number}))
        return -1;
    value = number;
    return number < 10 ? 1 : number < 100 ? 2 : number < 1000 ? 3 : number < 10000 ? 4 : 5;
}

std::optional<std::string> grid_step_for_points(std::string_view min_text, std::string_view max_text,
                                                std::string_view points_text)
{
    float range = 0;
    int n = 0;
    if (!read_limits(min_text, max_text, range) || parse_first_integer(box_field(points_text), n) < 0 || n < 2)
        return std::nullopt;
    const float step = range / static_cast<float>(n - 1);
    return format_line("(F6.4)", {step});
}

std::optional<std::string> grid_points_for_step(std::string_view min_text, std::string_view max_text,
                                                std::string_view step_text)
{
    float range = 0, step = 0;
    if (!read_limits(min_text, max_text, range) || !parse_number_before_slash(box_field(step_text), step)
        || !(step > 0))
        return std::nullopt;
    // Clamped so that a tiny step cannot overflow the count.
    const float quotient = std::min(range / step + 0.5f, 1.0e9f);
    const int n = static_cast<int>(quotient) + 1;
    const int width = n <= 9 ? 1 : n <= 99 ? 2 : n <= 999 ? 3 : n <= 9999 ? 4 : 5;
    return format_line("(I" + std::to_string(width) + ")", {n});
}
