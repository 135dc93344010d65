// Labels of the property codes, 9 characters each, shown in every report
// heading; codes without a property have 9 blanks.
#pragma once

#include <array>
#include <string>

constexpr int MAX_PROPERTY_CODE = 54;

// Index 0 unused. The first characters of labels 8 and 34 change with the
// sign of the Laplacian and of the potential energy density.
std::array<std::string, MAX_PROPERTY_CODE + 1>& PROPERTY_NAMES();

// The label of a code, or 9 blanks outside 1..54.
std::string property_label(int code);
