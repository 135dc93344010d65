#include "keldana/viewer/viewer_settings.h"

#include "common/qt/settings_store.h"

uint32_t pack_italic_bytes(const ViewerLabelFont& font)
{
    return uint32_t{font.italic} | uint32_t{font.underline} << 8 | uint32_t{font.strike_out} << 16
           | uint32_t{font.char_set} << 24;
}

uint32_t pack_char_set_bytes(const ViewerLabelFont& font)
{
    return uint32_t{font.char_set} | uint32_t{font.out_precision} << 8 | uint32_t{font.clip_precision} << 16
           | uint32_t{font.quality} << 24;
}

void unpack_italic_bytes(uint32_t value, ViewerLabelFont& font)
{
    font.italic = static_cast<uint8_t>(value);
    font.underline = static_cast<uint8_t>(value >> 8);
    font.strike_out = static_cast<uint8_t>(value >> 16);
    font.char_set = static_cast<uint8_t>(value >> 24);
}

void unpack_char_set_bytes(uint32_t value, ViewerLabelFont& font)
{
    font.char_set = static_cast<uint8_t>(value);
    font.out_precision = static_cast<uint8_t>(value >> 8);
    font.clip_precision = static_cast<uint8_t>(value >> 16);
    font.quality = static_cast<uint8_t>(value >> 24);
}

void read_viewer_settings(ViewerSceneState& state)
{
    ViewerLabelFont& font = state.label_font;
    if (auto face = read_setting_string(VIEWER_KEY, "FaceName"))
        font.face_name = face->substr(0, MAX_FACE_NAME_LENGTH);
    // DWORDs hold the signed LOGFONT numbers bit for bit; a size beyond
    // any font is not taken.
    auto font_size = [](const char* name, int32_t& field) {
        if (auto value = read_setting_dword(VIEWER_KEY, name)) {
            const int32_t size = static_cast<int32_t>(*value);
            if (size >= -MAX_FONT_PIXELS && size <= MAX_FONT_PIXELS)
                field = size;
        }
    };
    font_size("Height", font.height);
    font_size("Width", font.width);
    if (auto value = read_setting_dword(VIEWER_KEY, "Italic"))
        unpack_italic_bytes(*value, font);
    if (auto value = read_setting_dword(VIEWER_KEY, "CharSet"))
        unpack_char_set_bytes(*value, font);
    if (auto value = read_setting_dword(VIEWER_KEY, "fntColor"))
        state.label_colour = *value & COLOUR_BITS;
    if (auto value = read_setting_dword(VIEWER_KEY, "bkColor"))
        state.background_colour = *value & COLOUR_BITS;
}

void write_viewer_font_settings(const ViewerSceneState& state)
{
    const ViewerLabelFont& font = state.label_font;
    write_setting_string(VIEWER_KEY, "FaceName", font.face_name.substr(0, MAX_FACE_NAME_LENGTH));
    write_setting_dword(VIEWER_KEY, "Height", static_cast<uint32_t>(font.height));
    write_setting_dword(VIEWER_KEY, "Width", static_cast<uint32_t>(font.width));
    write_setting_dword(VIEWER_KEY, "Italic", pack_italic_bytes(font));
    write_setting_dword(VIEWER_KEY, "fntColor", state.label_colour);
    write_setting_dword(VIEWER_KEY, "CharSet", pack_char_set_bytes(font));
}

void write_viewer_background_setting(unsigned colour) { write_setting_dword(VIEWER_KEY, "bkColor", colour); }

std::string read_bond_delta_text()
{
    auto text = read_setting_string(VIEWER_KEY, "bondDlt");
    return text ? text->substr(0, MAX_BOND_DELTA_TEXT) : std::string();
}

void write_bond_delta_text(const std::string& text)
{
    write_setting_string(VIEWER_KEY, "bondDlt", text.substr(0, MAX_BOND_DELTA_TEXT));
}
