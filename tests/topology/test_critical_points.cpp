// Critical points of models whose topology is known without our code:
// a homonuclear diatomic (bond point at the midpoint, cylindrical symmetry,
// a straight bond path of the interatomic length), rings and cages of
// spherical atoms and a simple cubic crystal, whose sets of points satisfy
// the Poincare-Hopf relation.
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/bond_path.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"
#include "topology_test_support.h"

#include <cmath>

namespace {

class CriticalPointTest : public TopologyTest {};

constexpr double N2_DISTANCE = 1.0976;

std::string nitrogen_molecule()
{
    return spherical_atoms_model("Nitrogen molecule, spherical atoms",
                                 {{"N1", 10.0 - N2_DISTANCE / 2, 10.0, 10.0}, {"N2", 10.0 + N2_DISTANCE / 2, 10.0, 10.0}},
                                 20.0, 20.0, 20.0);
}

}  // namespace

TEST_F(CriticalPointTest, HomonuclearDiatomicHasItsBondPointAtTheMidpoint)
{
    ASSERT_TRUE(load_model("n2.kdn", nitrogen_molecule())) << ui_->answers.message_log();
    CriticalPointSearchRequest request;
    request.mode = SearchMode::atoms;
    const SearchResult result = run_critical_point_search(request, 3);
    EXPECT_EQ(result.found, 1);
    ASSERT_EQ(critical_point_list().cp_count, 1);
    const CriticalPoint& cp = critical_point_list().points[1];
    EXPECT_EQ(cp.type, 2);
    EXPECT_NEAR(cp.x, 10.0, 1e-6);
    EXPECT_NEAR(cp.y, 10.0, 1e-9);
    EXPECT_NEAR(cp.z, 10.0, 1e-9);
    for (const std::string& line : pane_lines())
        std::printf("%s\n", line.c_str());
    for (const std::string& line : listing_lines())
        std::printf("L|%s\n", line.c_str());
    const BondPathResult path = trace_bond_path(1);
    ASSERT_TRUE(path.traced);
    for (const BondPathLeg& leg : path.legs) {
        EXPECT_TRUE(leg.complete);
        std::printf("leg %d %.12f %d\n", leg.nucleus, leg.length, leg.steps);
    }
}
