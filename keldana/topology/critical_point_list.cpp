#include "keldana/topology/critical_point_list.h"

#include "common/user_interface.h"

#include <string>

CriticalPointList& critical_point_list()
{
    static CriticalPointList list;
    return list;
}

int append_critical_point(CriticalPointList& list, const CriticalPoint& point)
{
    if (list.cp_count < 0 || list.cp_count >= MAX_CRITICAL_POINTS)
        return 0;
    ++list.cp_count;
    list.points[list.cp_count] = point;
    return list.cp_count;
}

int find_critical_point(const CriticalPointList& list, double x, double y, double z, int code)
{
    constexpr double limit = SAME_CRITICAL_POINT_DISTANCE * SAME_CRITICAL_POINT_DISTANCE;
    for (int k = 1; k <= list.cp_count && k <= MAX_CRITICAL_POINTS; ++k) {
        const CriticalPoint& p = list.points[k];
        const double d2 = (x - p.x) * (x - p.x) + (y - p.y) * (y - p.y) + (z - p.z) * (z - p.z);
        if (p.property_code == code && d2 < limit)
            return k;
    }
    return 0;
}

void report_critical_point_list_full()
{
    ui().message_box("The list of critical points is full (" + std::to_string(MAX_CRITICAL_POINTS) +
                         " points): no more points can be stored.",
                     "Error!", MessageButtons::ok, MessageIcon::warning);
}
