#include "keldana/density/property_selection.h"

PropertySelection& property_selection()
{
    static PropertySelection selection;
    return selection;
}
