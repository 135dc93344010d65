// Reading files whole or by lines, and splitting and joining text, for the
// tests that compare written files.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string file_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> file_lines(const std::filesystem::path& path) { return split_lines(file_text(path)); }

inline std::string join_lines(const std::vector<std::string>& lines, const char* end = "\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// Names of the temporaries a failed or abandoned safe write would leave in a
// folder (".NAME.PID.XXXXXX").
inline std::vector<std::string> safe_write_temporaries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 8 && name[0] == '.' && name[name.size() - 7] == '.')
            names.push_back(name);
    }
    return names;
}
