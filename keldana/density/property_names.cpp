#include "keldana/density/property_names.h"

namespace {

std::array<std::string, MAX_PROPERTY_CODE + 1> make_labels()
{
    std::array<std::string, MAX_PROPERTY_CODE + 1> labels;
    labels.fill("         ");
    const std::pair<int, const char*> known[] = {
        {1, " CORE    "},  {2, " VALENCE "}, {3, " RHO     "}, {4, " DD      "}, {5, "dRhodX   "},
        {6, "dRhodY   "},  {7, "dRhodZ   "}, {8, " d2RHO   "}, {9, "d2RhodX2 "}, {10, "d2RhodY2 "},
        {11, "d2RhodZ2 "}, {12, "d2RhodXdY"}, {13, "d2RhodXdZ"}, {14, "d2RhodYdZ"}, {16, "NPOT     "},
        {17, " SigRHO  "}, {18, " SigLAPL "}, {22, " ESFED   "}, {23, " EPOT    "}, {24, "|GradRHO|"},
        {30, " ELF     "}, {31, " KINET   "}, {32, " SHROE   "}, {33, " ELECTRON"}, {34, " PotEn   "},
        {35, " DIRAC   "}, {36, " BECKE   "}, {37, " EXCHANGE"}, {38, " FERMI   "}, {39, " LEE-ZHOU"},
        {40, " OEP     "}, {41, " LOL     "}, {42, " LTEMP   "}, {43, " ENTROPY "}, {51, "(3,-3)   "},
        {52, "(3,-1)   "}, {53, "(3,+1)   "}, {54, "(3,+3)   "},
    };
    for (const auto& [code, text] : known)
        labels[code] = text;
    return labels;
}

}  // namespace

std::array<std::string, MAX_PROPERTY_CODE + 1>& PROPERTY_NAMES()
{
    static auto labels = make_labels();
    return labels;
}

std::string property_label(int code)
{
    if (code < 1 || code > MAX_PROPERTY_CODE)
        return "         ";
    return PROPERTY_NAMES()[code];
}
