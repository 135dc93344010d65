// Inputs every reader must refuse at once, with a message naming them: a
// FIFO (opening it would wait for a writer), a device that never ends, and a
// file beyond the input size limit (sparse, so it costs no disk).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

inline std::vector<std::string> unreadable_inputs(const std::filesystem::path& folder, const std::string& extension)
{
    const std::filesystem::path fifo = folder / ("fifo" + extension);
    const std::filesystem::path large = folder / ("large" + extension);
    ::mkfifo(fifo.c_str(), 0644);
    { std::ofstream touch(large); }
    std::filesystem::resize_file(large, 300ull * 1024 * 1024);
    return {fifo.string(), "/dev/zero", large.string()};
}
