// Shared set-up of the topology tests: a fresh working directory with an
// open listing, the program's default calculation settings, an empty
// critical-point list, and models of spherical atoms written as "*.kdn"
// text and loaded through the real loader.
#pragma once

#include "common/scripted_ui.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/model/model_store.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

struct SphericalAtom {
    std::string label;  // element symbol first, e.g. "C1"
    double x, y, z;     // Cartesian, Angstrom, in an orthogonal cell
};

// A model file of neutral spherical atoms (l_max 0, no deformation) in an
// orthogonal cell a x b x c, space group P1.
std::string spherical_atoms_model(const std::string& title, const std::vector<SphericalAtom>& atoms, double a,
                                  double b, double c);

class TopologyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `text` as NAME in the working directory and loads it; without a
    // "gspace.cls" there the cluster question is answered No.
    bool load_model(const std::string& name, const std::string& text);
    // Writes a default cluster file of lattice translations of atoms 1..n.
    void write_translation_cluster(int n, int range);

    // Lines of the text pane from record `from` (1-based), right-trimmed.
    std::vector<std::string> pane_lines(int from = 1) const;
    // Lines of the listing file, right-trimmed.
    std::vector<std::string> listing_lines() const;
    static bool contains_line(const std::vector<std::string>& lines, const std::string& line);

    ScopedScriptedUi ui_;
    std::filesystem::path previous_directory_;
    std::filesystem::path directory_;
};

std::string right_trimmed(std::string text);

// The current model's crystal density, summed over every symmetry and
// lattice image of its independent atoms within rCut (each image its atom's
// terms turned by the operator), each site once (atoms
// on special positions are their own images), from each atom's own terms:
// no cluster involved.  For a point of the cluster's density it tells how
// far the crystal's critical point is.
struct CrystalSum {
    struct Site {
        int atom = 0;       // the independent atom
        Vector3 position{};
        Matrix3 rotation;   // Cartesian: the image's density at d is the atom's at rotation^T d
    };
    std::vector<Site> sites;  // within reach of the cell at the origin
    double r_cut = 0;
    OrthogonalisationMatrix orthogonalisation;
    // The gradient and the Hessian at the point's lattice image in the cell
    // at the origin.
    void derivatives(const Vector3& point, Vector3& g, Matrix3& h) const;
    double gradient_norm(const Vector3& point) const;
    // |H^-1 g|: how far a Newton step moves the point.
    double newton_shift(const Vector3& point) const;
};
CrystalSum crystal_sum();
