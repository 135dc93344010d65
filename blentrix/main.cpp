// Blentrix, the converter of a MOLLY covariance matrix into "covar.dat":
// blentrix FILE writes "covar.dat" in the current directory.  Exit status 0
// when it was written, 1 otherwise (with the reason on the standard error);
// a failed run leaves any earlier "covar.dat" as it was.
#include "blentrix/convert_covariance.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* USAGE =
    "usage: blentrix FILE\n"
    "Converts the MOLLY covariance matrix FILE (*.mat) into covar.dat in the current directory.\n";

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc != 2) {
        std::fputs(USAGE, stderr);
        return 1;
    }
    std::string error;
    if (!convert_covariance_matrix(argv[1], error)) {
        std::fprintf(stderr, "blentrix: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
