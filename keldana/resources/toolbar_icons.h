// The 14 images of Keldana's toolbar, 24 by 24 pixels, drawn by the program.
#pragma once

#include <QIcon>

constexpr int TOOLBAR_IMAGE_COUNT = 14;

QIcon toolbar_icon(int image);
