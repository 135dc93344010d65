#include "keldana/model/covariance_matrix.h"

#include "common/fortran_format.h"
#include "common/safe_write.h"
#include "common/file_units.h"
#include "common/user_interface.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr const char* READ_ERROR_TEXT = "Error when reading data from file <*.cov>";
constexpr const char* CONVERTER_OUTPUT_NAME = "covar.dat";
constexpr const char* DEFAULT_CONVERTER_NAME = "blentrix";

void show_read_error(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::error);
}

void show_import_error(const std::string& text)
{
    ui().message_box(text, "Error", MessageButtons::ok, MessageIcon::warning);
}

bool read_values(ListReader& reader, std::vector<FortranTarget>& targets)
{
    return reader.read(targets.data(), targets.size());
}

// Atom numbers and kind codes are (25I4) fields: anything else is no code
// the converter writes, and would overflow where a kind is mapped to (l, m).
constexpr int MAX_DESCRIPTOR = 9999;

bool check_groups(const CovarianceMatrix& matrix)
{
    const int n = matrix.cov_order;
    if (!std::isfinite(matrix.cov_scale)) {
        show_read_error("The scale of the covariance matrix is not a finite number.");
        return false;
    }
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j)
            if (!std::isfinite(matrix.cov_at(i, j))) {
                show_read_error("The covariance (" + std::to_string(i) + "," + std::to_string(j) +
                                ") is not a finite number.");
                return false;
            }
    for (int i = 1; i <= n; ++i)
        if (matrix.cov_atom[i] < 0 || matrix.cov_atom[i] > MAX_DESCRIPTOR || matrix.cov_kind[i] < 0 ||
            matrix.cov_kind[i] > MAX_DESCRIPTOR) {
            show_read_error("Parameter " + std::to_string(i) + " of the covariance matrix has the atom " +
                            std::to_string(matrix.cov_atom[i]) + " and the kind code " +
                            std::to_string(matrix.cov_kind[i]) + ": both must lie between 0 and " +
                            std::to_string(MAX_DESCRIPTOR) + ".");
            return false;
        }
    return true;
}

// Reads the whole text into `matrix`, which starts zero.  False with the
// message already shown.
bool read_groups(std::istream& input, CovarianceMatrix& matrix)
{
    ListReader reader(input);
    int n = INT_MIN;  // stays so when the record holds no value
    double scale = NAN;
    if (!reader.read({&n, &scale}) || n == INT_MIN || std::isnan(scale)) {
        show_read_error(READ_ERROR_TEXT);
        return false;
    }
    if (n < 0 || n > MAX_COVARIANCE_PARAMETERS) {
        show_read_error("The covariance matrix has " + std::to_string(n) +
                        " refined parameters: it must have between 0 and " +
                        std::to_string(MAX_COVARIANCE_PARAMETERS) + ".");
        return false;
    }
    matrix.cov_order = n;
    matrix.cov_scale = scale;

    std::vector<FortranTarget> targets;
    for (int i = 1; i <= n; ++i) {
        targets.clear();
        for (int j = i; j <= n; ++j)
            targets.emplace_back(&matrix.cov_at(i, j));
        if (!read_values(reader, targets)) {
            show_read_error(READ_ERROR_TEXT);
            return false;
        }
    }
    for (auto* list : {&matrix.cov_atom, &matrix.cov_kind}) {
        targets.clear();
        for (int i = 1; i <= n; ++i)
            targets.emplace_back(&(*list)[i]);
        if (!read_values(reader, targets)) {
            show_read_error(READ_ERROR_TEXT);
            return false;
        }
    }
    return check_groups(matrix);
}

void report_matrix_read(int n)
{
    // Written only once the whole matrix is in: a failed read claims nothing.
    for (const std::string& record :
         format_records("(/,' Covariance matrix read in for ',I3,' refined parameters',/)", {n}))
        write_listing_line(record);
    write_listing_line("");
    write_listing_line(format_line("*", {" E.s.d.s will be computed, where available"}));

    text_pane_state().scroll_to_end = true;
    append_pane_line("");
    append_pane_line("A variance-covariance matrix read successfully. E.s.d.s will be computed, where available.");
    append_pane_line("");
    append_pane_line(format_line("(' Covariance matrix read in for ',I3,' refined parameters')", {n}));
    ui().text_pane_changed();
}

bool write_group(std::ostream& output, std::string_view format, const std::vector<FortranValue>& values)
{
    std::vector<std::string> records = format_records(format, values);
    if (records.empty())
        records.emplace_back();  // a WRITE of nothing still makes one empty record
    for (const std::string& record : records)
        output << record << '\n';
    return static_cast<bool>(output);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The converter to run: the configured path (made absolute, since the child
// starts in another folder; a bare name is looked up on the PATH), or
// blentrix in the start-up directory.
std::string converter_program()
{
    const std::string configured = trimmed(run_settings().paths.converter_path);
    if (configured.empty())
        return (fs::path(run_settings().file_dialog.start_directory) / DEFAULT_CONVERTER_NAME).string();
    if (configured.find('/') == std::string::npos)
        return configured;
    std::error_code ec;
    const fs::path absolute = fs::absolute(configured, ec);
    return ec ? configured : absolute.string();
}

// Reads into a fresh matrix, checks it against the model when one is given,
// and only then replaces `matrix`.
bool read_matrix_for(std::istream& input, CovarianceMatrix& matrix, const StructureModel* model)
{
    auto fresh = std::make_unique<CovarianceMatrix>();
    if (!read_groups(input, *fresh))
        return false;
    if (const std::string mismatch = model ? covariance_model_mismatch(*fresh, *model) : std::string();
        !mismatch.empty()) {
        show_read_error("This covariance matrix does not belong to the loaded model: " + mismatch +
                        "\nIt is not used; no e.s.d.s are computed from it.");
        return false;
    }
    fresh->esd_available = 1;
    matrix = std::move(*fresh);
    report_matrix_read(matrix.cov_order);
    return true;
}

}  // namespace

CovarianceMatrix& covariance_matrix()
{
    static CovarianceMatrix matrix;
    return matrix;
}

bool read_covariance_matrix(std::istream& input, CovarianceMatrix& matrix)
{
    return read_matrix_for(input, matrix, nullptr);
}

int population_kind_order(int kind)
{
    // First kind code of each order l = 0..4.
    constexpr int FIRST_KIND[] = {12, 14, 17, 22, 29, 38};
    for (int l = 0; l <= 4; ++l)
        if (kind >= FIRST_KIND[l] && kind < FIRST_KIND[l + 1])
            return l;
    return -1;
}

std::string covariance_model_mismatch(const CovarianceMatrix& matrix, const StructureModel& model)
{
    const int n = std::clamp(matrix.cov_order, 0, MAX_COVARIANCE_PARAMETERS);
    const int atoms = model.atoms.independent_atom_count;
    int highest = 0;
    for (int i = 1; i <= n; ++i)
        highest = std::max(highest, matrix.cov_atom[i]);
    if (highest != atoms)
        return "The matrix holds parameters of " + std::to_string(highest) + " atoms, the model has " +
               std::to_string(atoms) + " independent atoms.";
    for (int i = 1; i <= n; ++i) {
        const int atom = matrix.cov_atom[i];
        const int order = population_kind_order(matrix.cov_kind[i]);
        if (atom < 1 || order < 0)
            continue;
        const int l_max = model.pseudoatoms.l_max[atom];
        const std::string label = text_field_string(model.atoms.atom_label[atom]);
        if (order > l_max)
            return "Parameter " + std::to_string(i) + " is a population of order " + std::to_string(order) +
                   " of atom " + label + ", whose multipoles go up to order " + std::to_string(l_max) + ".";
    }
    return {};
}

bool read_covariance_matrix(std::istream& input, CovarianceMatrix& matrix, const StructureModel& model)
{
    return read_matrix_for(input, matrix, &model);
}

bool read_covariance_matrix_file(const std::string& path)
{
    std::ifstream input;
    std::string refusal;
    if (!open_input_file(path, input, refusal)) {
        show_read_error(refusal.empty() ? "Can not open the covariance matrix file " + path + "." : refusal);
        return false;
    }
    return read_covariance_matrix(input, covariance_matrix(), current_model());
}

bool write_covariance_matrix(std::ostream& output, const CovarianceMatrix& matrix)
{
    const int n = matrix.cov_order;
    if (!write_group(output, "(I5,F9.3)", {n, matrix.cov_scale}))
        return false;
    std::vector<FortranValue> values;
    for (int i = 1; i <= n; ++i) {
        values.clear();
        for (int j = i; j <= n; ++j)
            values.emplace_back(matrix.cov_at(i, j));
        if (!write_group(output, "(15F11.7)", values))
            return false;
    }
    for (const auto* list : {&matrix.cov_atom, &matrix.cov_kind}) {
        values.clear();
        for (int i = 1; i <= n; ++i)
            values.emplace_back((*list)[i]);
        if (!write_group(output, "(25I4)", values))
            return false;
    }
    return static_cast<bool>(output.flush());
}

bool save_covariance_matrix_as(const std::string& path)
{
    SafeWrite output(path);
    const bool ok =
        output.is_open() && write_covariance_matrix(output.stream(), covariance_matrix()) && output.commit();
    if (!ok)
        show_read_error("Can not write the covariance matrix file " + path + ".");
    return ok;
}

bool import_covariance_matrix_via_converter()
{
    FileDialogState& dialog = run_settings().file_dialog;
    dialog.dialog_mode = "open";
    run_file_dialog("Molly covariance matrix (*.mat)", "*.mat");
    if (file_dialog_cancelled())
        return false;
    const std::string input_path = dialog.dialog_path;
    const fs::path folder = fs::path(input_path).parent_path();
    const fs::path output_path = folder / CONVERTER_OUTPUT_NAME;

    // A "covar.dat" left from an earlier run must never pass for this one's.
    std::error_code ec;
    fs::remove(output_path, ec);
    if (ec) {
        show_import_error("Can not delete the old " + output_path.string() + ": " + ec.message() + ".");
        return false;
    }

    const ProcessResult run = ui().run_process(converter_program(), {input_path}, folder.string(), true);
    if (!run.started) {
        show_import_error("Please, check path to CONVERTOR program!");
        return false;
    }
    std::ifstream input;
    std::string refusal;
    if (run.exit_code == 0)
        open_input_file(output_path.string(), input, refusal);
    if (!input.is_open()) {
        // The converter's own words (which name the file) say what was wrong.
        std::string reason = trimmed(run.error_output);
        if (reason.empty())
            reason = !refusal.empty() ? refusal
                     : dialog.file_title + ": " +
                           (run.exit_code == 0 ? "it wrote no " + std::string(CONVERTER_OUTPUT_NAME) + "."
                                               : "it ended with status " + std::to_string(run.exit_code) + ".");
        show_import_error("The CONVERTOR program could not convert the covariance matrix:\n" + reason +
                          "\nNo covariance matrix was imported.");
        fs::remove(output_path, ec);
        return false;
    }
    const bool ok = read_covariance_matrix(input, covariance_matrix(), current_model());
    input.close();
    fs::remove(output_path, ec);
    return ok;
}

void reset_covariance_for_load() { covariance_matrix().esd_available = 0; }
