// Blentrix, the converter of a MOLLY covariance matrix into "covar.dat":
// blentrix FILE writes "covar.dat" in the current directory.  Exit status 0
// when it was written, 1 otherwise (with the reason on the standard error);
// a failed run leaves any earlier "covar.dat" as it was.
#include "blentrix/convert_covariance.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: blentrix FILE\n");
        return 1;
    }
    std::string error;
    if (!convert_covariance_matrix(argv[1], error)) {
        std::fprintf(stderr, "blentrix: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
