#include "pathgraf/app/plot_state.h"

#include "common/file_units.h"
#include "pathgraf/postscript/ps_output.h"

#include <algorithm>
#include <cmath>

PlotExtents& plot_extents() { static PlotExtents area; return area; }
AxisSettings& axis_settings() { static AxisSettings area; return area; }
PostData& post_data() { static PostData area; return area; }
StyleSettings& style_settings() { static StyleSettings area; return area; }
PlotFonts& plot_fonts() { static PlotFonts area = default_plot_fonts(); return area; }
PlotTransform& plot_transform() { static PlotTransform area; return area; }
ViewState& view_state() { static ViewState area; return area; }
UserLines& user_lines() { static UserLines area; return area; }
DisplayOptions& display_options() { static DisplayOptions area; return area; }
PlotFileDialogState& plot_file_dialog_state() { static PlotFileDialogState area; return area; }
PostScriptPageSettings& postscript_page_settings() { static PostScriptPageSettings area; return area; }
BmpExportSize& bmp_export_size() { static BmpExportSize area; return area; }

PlotFonts default_plot_fonts()
{
    PlotFonts fonts;
    for (FontChoice* font : {&fonts.text_font, &fonts.label_font, &fonts.axis_font}) {
        *font = FontChoice{};
        font->face_name = "Courier New";
        font->weight = 0;
    }
    fonts.text_font.height = -48;
    fonts.label_font.height = -48;
    fonts.axis_font.height = -34;
    return fonts;
}

PathKindsShown shown_path_kinds()
{
    const StyleSettings& style = style_settings();
    return {style.surface_paths_shown, style.bond_paths_shown, style.trajectory_paths_shown};
}

PathStyle path_style(PathKind kind)
{
    const StyleSettings& style = style_settings();
    switch (kind) {
    case PathKind::surface: return {style.surface_path_width, style.surface_path_colour};
    case PathKind::bond: return {style.bond_path_width, style.bond_path_colour};
    case PathKind::trajectory: break;
    }
    return {style.trajectory_path_width, style.trajectory_path_colour};
}

FontChoice font_at_view_size(FontChoice font)
{
    const ViewState& view = view_state();
    const double quotient = static_cast<double>(font.height) * view.view_width / std::max(view.full_width, 1);
    font.height = static_cast<int>(std::trunc(quotient + 0.5));
    if (font.height == 0)
        font.height = -1;
    return font;
}

void reset_plot_state()
{
    close_unit(DATA_UNIT);
    close_unit(POST_UNIT);
    plot_extents() = {};
    axis_settings() = {};
    post_data() = {};
    style_settings() = {};
    plot_fonts() = default_plot_fonts();
    plot_transform() = {};
    view_state() = {};
    user_lines() = {};
    display_options() = {};
    plot_file_dialog_state() = {};
    postscript_page_settings() = {};
    bmp_export_size() = {};
}

std::string trimmed_item_text(int slot)
{
    if (slot < 1 || slot > MAX_ITEM_SLOTS)
        return {};
    const std::string& text = post_data().item_text[slot];
    return text.substr(0, static_cast<std::size_t>(find_last_nonblank(text)));
}

int next_free_text_slot()
{
    const PostData& post = post_data();
    const int slot = free_text_slot(post.text_count + 1);
    return slot > post.atom_count + post.cp_count ? slot : 0;
}
