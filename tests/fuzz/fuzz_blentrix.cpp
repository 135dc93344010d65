// Blentrix's reader of MOLLY's unformatted covariance file, its checks and
// the text it would write.
#include "blentrix/convert_covariance.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader takes a path: one scratch file for the whole run.
    static const std::string path = [] {
        char name[] = "/tmp/kd_fuzz_blentrix_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    ConverterInputFile input;
    std::string error;
    if (read_converter_input(path, input, error) && check_covariance_values(input, error))
        format_covariance_records(input, build_parameter_codes(input));
    return 0;
}
