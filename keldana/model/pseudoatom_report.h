// Listings of the loaded pseudoatom model, written as report lines to the
// listing file and the text pane.
#pragma once

#include "keldana/model/model_store.h"

#include <string_view>

// selector "PARMS" or "parms": kappas, radial powers and exponents and the
// symmetry-related atoms of every independent atom; "POPS " or "pops ": the
// global-frame multipole populations of every working atom, images included.
// The selector is compared on 5 characters, blank-padded; any other text
// writes nothing.  The pane scrolls to its end in every case.
void write_pseudoatom_report(std::string_view selector, const StructureModel& model);
