#include "keldana/model/run_settings.h"

void apply_default_calculation_settings(CalculationSettings& s)
{
    if (!(s.eps > 0)) s.eps = DEFAULT_EPS;
    if (!(s.Scale > 0)) s.Scale = DEFAULT_SCALE;
    if (!(s.rCut > 0)) s.rCut = DEFAULT_RCUT;
    if (!(s.ds > 0)) s.ds = DEFAULT_DS;
    if (!(s.dr > 0)) s.dr = DEFAULT_DR;
    if (s.nStep <= 0) s.nStep = DEFAULT_NSTEP;
    if (s.lPole <= 0 || s.lPole > 4) s.lPole = DEFAULT_LPOLE;
}

RunSettings& run_settings()
{
    static RunSettings settings;
    return settings;
}
