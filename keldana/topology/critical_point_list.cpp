#include "keldana/topology/critical_point_list.h"

CriticalPointList& critical_point_list()
{
    static CriticalPointList list;
    return list;
}
