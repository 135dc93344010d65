// Blentrix, the converter of a MOLLY covariance matrix into "covar.dat".
// The conversion itself is not built yet: the program refuses to run.
#include <cstdio>

int main(int argc, char** argv)
{
    std::fprintf(stderr, "blentrix: the covariance conversion is not available yet\n");
    return 2;
}
