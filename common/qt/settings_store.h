// The program's settings in place of the Windows registry: keys such as
// "Software\Orvo\Keldana\Options" hold named string and DWORD values.  They
// live in an INI file of the user's configuration directory (organisation
// "Orvo", application "Keldana"); each key is a group of that file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Font sizes (signed, the magnitude in pixels) and colours (COLORREF)
// are taken from the settings only within these bounds.
inline constexpr int MAX_FONT_PIXELS = 1000;
inline constexpr uint32_t COLOUR_BITS = 0xFFFFFF;

// Missing values, and values stored with the other type, read as nullopt.
std::optional<std::string> read_setting_string(const std::string& key, const std::string& name);
std::optional<uint32_t> read_setting_dword(const std::string& key, const std::string& name);
void write_setting_string(const std::string& key, const std::string& name, const std::string& text);
void write_setting_dword(const std::string& key, const std::string& name, uint32_t value);

// The settings file a write since the last call could not store to (empty
// when every write was stored); the record is cleared.
std::string take_settings_write_failure();

// Keeps the settings in path instead (tests); an empty path restores the
// user's file.
void set_settings_file(const std::string& path);
// The group a key maps to: "Software\Orvo\Keldana\Options" -> "Options".
std::string settings_group_of(const std::string& key);
