#include "keldana/resources/viewer_resources.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

const std::vector<MenuResource>& viewer_menu_resource()
{
    static const std::vector<MenuResource> menus = {
        {"&File",
         {{CMD_VIEWER_READ_IAS, "Read IAS...", false},
          {CMD_VIEWER_SAVE_BITMAP, "Save BitMap", false},
          {0, nullptr, false},
          {CMD_VIEWER_EXIT, "Exit", false}}},
        {"&View",
         {{CMD_VIEWER_AXIS, "Axis \tOn/Off", false},
          {CMD_VIEWER_BONDS, "Bonds\tOn/Off", false},
          {CMD_VIEWER_ATOMS, "Atoms\tOn/Off", false},
          {CMD_VIEWER_ATOM_NUMBERS, "Atom numbers \tOn/Off", false},
          {CMD_VIEWER_ATOM_LABELS, "Atom lables\tOn/Off", false},
          {0, nullptr, false},
          {CMD_VIEWER_PLANE, "Map Plane \tOn/Off", false},
          {CMD_VIEWER_CPS, "Critical Points\tOn/Off", false},
          {CMD_VIEWER_CP_LABELS, "CP type lables \tOn/Off", false},
          {0, nullptr, false},
          {CMD_VIEWER_IAS, "IAS\tOn/Off", false},
          {CMD_VIEWER_IAS_POINTS, "Points", false},
          {CMD_VIEWER_IAS_SURFACE, "Surface", false}}},
        {"&Atoms",
         {{CMD_VIEWER_BALL, "Ball", false},
          {CMD_VIEWER_COVALENT, "Covalent radius", false},
          {CMD_VIEWER_VAN_DER_WAALS, "Van der Waals radius", false}}},
        {"&Move",
         {{CMD_VIEWER_ROTATE_X_UP, "Rotation  X - up", false},
          {CMD_VIEWER_ROTATE_X_DOWN, "Rotation  X - down", false},
          {CMD_VIEWER_ROTATE_Y_RIGHT, "Rotation Y - right", false},
          {CMD_VIEWER_ROTATE_Y_LEFT, "Rotation Y - left", false},
          {CMD_VIEWER_ROTATE_Z_CLOCKWISE, "Rotation  Z - clockwise", false},
          {CMD_VIEWER_ROTATE_Z_COUNTER, "Rotation  Z - counter-clockwise", false},
          {0, nullptr, false},
          {CMD_VIEWER_MOVE_UP, "Move UP", false},
          {CMD_VIEWER_MOVE_DOWN, "Move DOWN", false},
          {CMD_VIEWER_MOVE_LEFT, "Move LEFT", false},
          {CMD_VIEWER_MOVE_RIGHT, "Move RIGHT", false},
          {0, nullptr, false},
          {CMD_VIEWER_ZOOM_IN, "Zoom IN", false},
          {CMD_VIEWER_ZOOM_OUT, "Zoom OUT", false}}},
        {"&Options",
         {{CMD_VIEWER_BACKGROUND, "Background...", false},
          {CMD_VIEWER_FONT, "Font...", false},
          {CMD_VIEWER_BOND_PARAMETER, "Bond parameter...", false}}},
    };
    return menus;
}

const std::vector<ViewerToolbarButton>& viewer_toolbar_resource()
{
    using S = ViewerButtonStyle;
    static const std::vector<ViewerToolbarButton> buttons = {
        {-1, 0, S::separator, nullptr},
        {0, CMD_VIEWER_AXIS, S::check, "Axis"},
        {1, CMD_VIEWER_BONDS, S::check, "Bonds"},
        {2, CMD_VIEWER_ATOMS, S::check, "Atoms"},
        {3, CMD_VIEWER_ATOM_NUMBERS, S::check, "Atom numbers"},
        {4, CMD_VIEWER_ATOM_LABELS, S::check, "Atom labels"},
        {-1, 0, S::separator, nullptr},
        {5, CMD_VIEWER_ROTATE_X_UP, S::button, "Rotation X - up"},
        {6, CMD_VIEWER_ROTATE_X_DOWN, S::button, "Rotation X - down"},
        {7, CMD_VIEWER_ROTATE_Y_RIGHT, S::button, "Rotation Y - right"},
        {8, CMD_VIEWER_ROTATE_Y_LEFT, S::button, "Rotation Y - left"},
        {9, CMD_VIEWER_ROTATE_Z_CLOCKWISE, S::button, "Rotation Z - clockwise"},
        {10, CMD_VIEWER_ROTATE_Z_COUNTER, S::button, "Rotation Z - counter-clockwise"},
        {11, CMD_VIEWER_MOVE_UP, S::button, "Move UP"},
        {12, CMD_VIEWER_MOVE_DOWN, S::button, "Move DOWN"},
        {13, CMD_VIEWER_MOVE_LEFT, S::button, "Move LEFT"},
        {14, CMD_VIEWER_MOVE_RIGHT, S::button, "Move RIGHT"},
        {15, CMD_VIEWER_ZOOM_IN, S::button, "Zoom IN"},
        {16, CMD_VIEWER_ZOOM_OUT, S::button, "Zoom OUT"},
        {-1, 0, S::separator, nullptr},
        {17, CMD_VIEWER_BALL, S::check_group, "Ball"},
        {18, CMD_VIEWER_COVALENT, S::check_group, "Covalent radius"},
        {19, CMD_VIEWER_VAN_DER_WAALS, S::check_group, "Van der Waals radius"},
        {-1, 0, S::separator, nullptr},
        {20, CMD_VIEWER_EXIT, S::button, "Exit"},
    };
    return buttons;
}

const DialogResource& bond_parameter_dialog_resource()
{
    static const DialogResource resource = {
        IDD_BOND_PARAMETER, "Bond parameter", 196, 64,
        {
            {CONTROL_STATIC_ID, ControlKind::static_text, " Set DELTA :", 8, 8, 60, 10},
            {CONTROL_STATIC_ID, ControlKind::static_text, "Rbond( i , j ) = Rcov(i) + Rcov(j) + ", 8, 26, 132, 10},
            {IDC_BOND_DELTA, ControlKind::edit, "", 142, 24, 46, 12},
            {1, ControlKind::default_button, "OK", 42, 44, 50, 14},
            {2, ControlKind::button, "Cancel", 104, 44, 50, 14},
        },
        "Arial", 10};
    return resource;
}

namespace {

const QColor INK(40, 40, 40);
const QColor ARROW(30, 90, 190);

void draw_arrow(QPainter& p, QPointF from, QPointF to)
{
    p.setPen(QPen(ARROW, 2));
    p.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    const QPointF left = to - QPointF(std::cos(angle - 0.5), std::sin(angle - 0.5)) * 5;
    const QPointF right = to - QPointF(std::cos(angle + 0.5), std::sin(angle + 0.5)) * 5;
    p.setPen(Qt::NoPen);
    p.setBrush(ARROW);
    p.drawPolygon(QPolygonF({to, left, right}));
}

// A turning arrow around a letter: the axis of the rotation.
void draw_rotation(QPainter& p, const char* axis, bool forward)
{
    p.setPen(INK);
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, axis);
    p.setPen(QPen(ARROW, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2, 2, 16, 16), forward ? 100 * 16 : 80 * 16, forward ? 250 * 16 : -250 * 16);
    const QPointF tip = forward ? QPointF(7, 2.5) : QPointF(13, 2.5);
    const double dx = forward ? 3.5 : -3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(ARROW);
    p.drawPolygon(QPolygonF({tip + QPointF(-dx * 0.2, -3), tip + QPointF(-dx * 0.2, 3), tip + QPointF(-dx, 0)}));
}

void draw_ball(QPainter& p, QPointF centre, double radius, QColor colour)
{
    QRadialGradient shade(centre - QPointF(radius / 3, radius / 3), radius * 1.3);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(1, colour);
    p.setPen(QPen(INK, 0.8));
    p.setBrush(shade);
    p.drawEllipse(centre, radius, radius);
}

void draw_text(QPainter& p, const char* text, int pixels)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(true);
    p.setFont(font);
    p.setPen(INK);
    p.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, text);
}

void draw_image(QPainter& p, int image)
{
    const QColor grey(150, 150, 150);
    const QColor red(210, 50, 50);
    switch (image) {
    case 0:  // axes
        draw_arrow(p, {4, 16}, {18, 16});
        draw_arrow(p, {4, 16}, {4, 2});
        draw_arrow(p, {4, 16}, {13, 7});
        break;
    case 1:  // bonds
        p.setPen(QPen(grey, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(3, 16, 10, 6);
        p.drawLine(10, 6, 17, 14);
        break;
    case 2:  // atoms
        draw_ball(p, {10, 10}, 7, red);
        break;
    case 3:
        draw_text(p, "12", 11);
        break;
    case 4:
        draw_text(p, "Ab", 11);
        break;
    case 5:
        draw_rotation(p, "X", true);
        break;
    case 6:
        draw_rotation(p, "X", false);
        break;
    case 7:
        draw_rotation(p, "Y", true);
        break;
    case 8:
        draw_rotation(p, "Y", false);
        break;
    case 9:
        draw_rotation(p, "Z", true);
        break;
    case 10:
        draw_rotation(p, "Z", false);
        break;
    case 11:
        draw_arrow(p, {10, 18}, {10, 2});
        break;
    case 12:
        draw_arrow(p, {10, 2}, {10, 18});
        break;
    case 13:
        draw_arrow(p, {18, 10}, {2, 10});
        break;
    case 14:
        draw_arrow(p, {2, 10}, {18, 10});
        break;
    case 15:
    case 16: {  // zoom in and out: a magnifier with + or -
        p.setPen(QPen(INK, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 6, 6);
        p.drawLine(QPointF(12.5, 12.5), QPointF(18, 18));
        p.setPen(QPen(ARROW, 2));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
        if (image == 15)
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
        break;
    }
    case 17:  // ball and stick
        p.setPen(QPen(grey, 2));
        p.drawLine(5, 15, 15, 5);
        draw_ball(p, {5, 15}, 3.5, red);
        draw_ball(p, {15, 5}, 3.5, grey);
        break;
    case 18:  // covalent spheres, touching
        draw_ball(p, {7, 12}, 5, grey);
        draw_ball(p, {13, 8}, 5, red);
        break;
    case 19:  // van der Waals spheres, overlapping
        draw_ball(p, {7, 11}, 7, grey);
        draw_ball(p, {13, 9}, 7, red);
        break;
    case 20: {  // exit: a door with an arrow
        p.setPen(QPen(INK, 1));
        p.setBrush(QColor(190, 140, 80));
        p.drawRect(3, 2, 9, 16);
        draw_arrow(p, {9, 10}, {19, 10});
        break;
    }
    default:
        break;
    }
}

}  // namespace

QIcon viewer_toolbar_icon(int image)
{
    QPixmap pixmap(VIEWER_TOOLBAR_IMAGE_SIZE, VIEWER_TOOLBAR_IMAGE_SIZE);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw_image(painter, image);
    painter.end();
    return QIcon(pixmap);
}

QIcon viewer_window_icon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 150, 150), 3));
    painter.drawLine(8, 24, 16, 10);
    painter.drawLine(16, 10, 26, 22);
    draw_ball(painter, {16, 10}, 6, QColor(210, 50, 50));
    draw_ball(painter, {8, 24}, 5, QColor(60, 90, 200));
    draw_ball(painter, {26, 22}, 5, QColor(150, 150, 150));
    painter.end();
    return QIcon(pixmap);
}
