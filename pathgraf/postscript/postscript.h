// The PostScript plotting library: everything a caller needs.
#pragma once

#include "pathgraf/postscript/ps_attributes.h"
#include "pathgraf/postscript/ps_axis.h"
#include "pathgraf/postscript/ps_contour_levels.h"
#include "pathgraf/postscript/ps_contour_plot.h"
#include "pathgraf/postscript/ps_contour_trace.h"
#include "pathgraf/postscript/ps_greek.h"
#include "pathgraf/postscript/ps_lines.h"
#include "pathgraf/postscript/ps_output.h"
#include "pathgraf/postscript/ps_overbar.h"
#include "pathgraf/postscript/ps_page.h"
#include "pathgraf/postscript/ps_scripts.h"
#include "pathgraf/postscript/ps_shapes.h"
#include "pathgraf/postscript/ps_signs.h"
#include "pathgraf/postscript/ps_text.h"
#include "pathgraf/postscript/ps_text_variants.h"
