// The covariance matrix text reader ("covar.dat", "*.cov").
#include "fuzz_support.h"

#include "keldana/model/covariance_matrix.h"

#include <memory>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::install_quiet_ui();
    static const auto matrix = std::make_unique<CovarianceMatrix>();
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    read_covariance_matrix(input, *matrix);
    return 0;
}
