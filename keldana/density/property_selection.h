// The active property and the kinetic-energy model of the energy densities.
#pragma once

struct PropertySelection {
    int property_code = 3;          // 1..54; RHO after every load
    int laplacian_sign = 1;         // -1 negates code 8
    int potential_energy_sign = 1;  // sign of code 34
    int kinetic_model = 0;          // 0 gradient expansion, 1 Becke 1988, 2 Lee-Zhou 1991
    double elambda = 0;             // kinetic-energy coefficient lambda
    double coeff = 0;               // kinetic-energy coefficient k
};

PropertySelection& property_selection();
