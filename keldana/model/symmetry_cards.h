// Symmetry cards: the space-group operators as the input files write them,
// one card per operator, three rows of three 3-character fields (translation,
// two variable terms), turned into rotations in fractional coordinates plus
// translations.
#pragma once

#include "keldana/model/model_store.h"

#include <string_view>

// Value of a translation field ("   ", "1/2", "1/3", "2/3", "1/4", "3/4",
// "1/6", "5/6"), as the single-precision constants of the cards give them
// (1/3 is 0.3333333433).  False for any other text.
bool look_up_card_translation(std::string_view field, double& value);

// Code of a variable field: 0 for three blanks, +-1 x, +-2 y, +-3 z
// ("  X", " +X", " -X", ...; upper case, right-aligned).  False for any other
// text.
bool look_up_card_variable(std::string_view field, int& code);

// Fills `operators` from the cards of `space_group`: operator k from card k,
// then, for a centrosymmetric group, the copies with negated rotations.  The
// flag is set only by a centring word starting with "CEN"; any other word
// leaves the group non-centrosymmetric, so nothing carries over from an
// earlier model.  With write_listing the cards are listed in the listing
// file; error records are listed always.
//
// False, with a message and `operators` unchanged, for a field found in
// neither table ("Error in symmetry operator no.  k.  Job terminated."), or for
// more operators than the table holds, the inverted copies included ("Too many
// symmetry cards. Job terminated.").
bool parse_symmetry_cards(const SpaceGroupSymmetry& space_group, SymmetryOperators& operators, bool write_listing);
