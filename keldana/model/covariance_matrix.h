// The variance-covariance matrix of the refined pseudoatom parameters, which
// gives the e.s.d.s of the density, the Laplacian, critical-point values and
// the dipole moment; its text file ("covar.dat", "*.cov"); and its import
// from a MOLLY "*.mat" file through the converter program blentrix.
//
// The text file, one record per line:
//   (I5,F9.3)  N and the scale of every e.s.d.;
//   (15F11.7)  for i = 1..N row i of the upper triangle, c(i,i)..c(i,N), every
//              row starting a new line;
//   (25I4)     the N atom numbers;
//   (25I4)     the N parameter kind codes.
// It is read in free form: blank- or comma-separated values, each group
// (first record, each row, atoms, kinds) starting a new line and allowed to
// run over several; surplus values on a group's last line are ignored.
#pragma once

#include "keldana/model/model_store.h"

#include <array>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

inline constexpr int MAX_COVARIANCE_PARAMETERS = 400;

struct CovarianceMatrix {
    int cov_order = 0;     // N refined parameters
    double cov_scale = 0;  // multiplies every e.s.d. derived from the matrix
    // Element (i, j), 1-based, column by column; only i <= j is filled and read.
    std::vector<double> cov = std::vector<double>(MAX_COVARIANCE_PARAMETERS * MAX_COVARIANCE_PARAMETERS, 0.0);
    std::array<int, MAX_COVARIANCE_PARAMETERS + 1> cov_atom{};  // independent atom of parameter i, 0 for none
    std::array<int, MAX_COVARIANCE_PARAMETERS + 1> cov_kind{};  // kind code of parameter i
    int esd_available = 0;  // 1 after a complete read; the numbers above are used only then

    double& cov_at(int i, int j) { return cov[(i - 1) + MAX_COVARIANCE_PARAMETERS * (j - 1)]; }
    double cov_at(int i, int j) const { return cov[(i - 1) + MAX_COVARIANCE_PARAMETERS * (j - 1)]; }
};

// The program's matrix; zero and without e.s.d.s at start.
CovarianceMatrix& covariance_matrix();

// Reads a whole covariance-matrix text into `matrix`, sets esd_available and
// reports the read in the listing and the text pane.  The text is read into a
// fresh matrix first: on any fault (a value that is not a number, the text
// ending early, N negative or above 400) a message is shown, false is
// returned and `matrix` is left exactly as it was.
bool read_covariance_matrix(std::istream& input, CovarianceMatrix& matrix);

// The same for the model the matrix is read for: a matrix that cannot belong
// to `model` (covariance_model_mismatch) is refused with a message before it
// replaces anything.
bool read_covariance_matrix(std::istream& input, CovarianceMatrix& matrix, const StructureModel& model);

// Why the matrix cannot belong to the model, as far as its atom numbers and
// kind codes show; empty when it may.  The file names no parameter of the
// model and does not say which ones were refined, so only this is checked:
//   - the highest atom number named is the model's number of independent
//     atoms (a matrix of fewer or more atoms is of another model);
//   - a population kind is of an order l no higher than its atom's l_max.
// Counts of parameters per atom are not compared: the converter gives the
// atom's first group the kinds 1..M1, which run into the population kinds
// when M1 is above 11, and all higher multipoles kind 17.
std::string covariance_model_mismatch(const CovarianceMatrix& matrix, const StructureModel& model);

// The order l of a population kind code: 12 (Pv) and 13 (P00) are 0, 14-16
// are dipoles, 17-21 quadrupoles, 22-28 octupoles, 29-37 hexadecapoles; -1
// for every other kind.
int population_kind_order(int kind);

// "Read COVARIANCE matrix...": reads the file at `path` into covariance_matrix()
// for current_model().
bool read_covariance_matrix_file(const std::string& path);

// Writes the matrix's N, scale, upper triangle, atoms and kinds in the file's
// layout.  False when the stream fails.
bool write_covariance_matrix(std::ostream& output, const CovarianceMatrix& matrix);

// "Save COVARIANCE matrix as...": writes covariance_matrix() to `path`; a
// message and false when the file can not be written.
bool save_covariance_matrix_as(const std::string& path);

// "Import COVARIANCE matrix...": asks for a "*.mat" file, runs the converter
// on it in the chosen file's folder and reads the "covar.dat" it writes there
// into covariance_matrix() for current_model().  The converter is run_settings().paths.converter_path,
// or "blentrix" in the start-up directory when that is blank.  An old
// "covar.dat" is deleted before the run, so only a fresh one is read, and the
// new one is deleted after reading.  False after Cancel (without a message) or
// when the converter can not be started, fails (its own reason is shown) or
// writes no readable matrix, or the matrix is of another model (with a
// message); the previous matrix and its e.s.d. flag are then kept.
bool import_covariance_matrix_via_converter();

// Per-load reset: a newly loaded structure has no e.s.d.s until a matrix is
// read again (the numbers are kept).
void reset_covariance_for_load();
