#include "keldana/viewer/scene_drawing.h"

#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/map_areas.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/surface_lists.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double AXIS_LETTER_OFFSET = 0.15;

using Point3 = std::array<double, 3>;

struct QuadricDeleter {
    void operator()(GLUquadric* quadric) const { gluDeleteQuadric(quadric); }
};
using Quadric = std::unique_ptr<GLUquadric, QuadricDeleter>;

Quadric make_quadric()
{
    Quadric quadric(gluNewQuadric());
    if (quadric)
        gluQuadricNormals(quadric.get(), GLU_SMOOTH);
    return quadric;
}

// Atom-type colours are packed with red in the high byte.
void set_type_colour(const StructureModel& model, int atom, unsigned background_colour)
{
    const int type = model.atoms.atom_type_index[atom];
    const unsigned colour =
        type >= 1 && type <= MAX_ATOM_TYPES ? static_cast<unsigned>(model.atom_types.type_colour[type]) : 0u;
    float red = 0, green = 0, blue = 0;
    convert_colour_to_rgb(contrasting_atom_colour(colour, background_colour), red, green, blue);
    glColor3f(red, green, blue);
}

}  // namespace

double viewer_atom_radius(const StructureModel& model, int atom, int style)
{
    const int type = model.atoms.atom_type_index[atom];
    if (type < 1 || type > MAX_ATOM_TYPES)
        return 0.0;
    switch (style) {
    case ATOM_STYLE_BALL:
        return 0.25 * model.atom_types.type_covalent_radius[type];
    case ATOM_STYLE_COVALENT:
        return model.atom_types.type_covalent_radius[type];
    case ATOM_STYLE_VAN_DER_WAALS:
        return model.atom_types.type_radius[type];
    default:
        return 0.0;
    }
}

namespace {

int atom_sphere_slices(int style)
{
    switch (style) {
    case ATOM_STYLE_COVALENT:
        return 30;
    case ATOM_STYLE_VAN_DER_WAALS:
        return 60;
    default:
        return 20;
    }
}

Point3 atom_position(const WorkingAtomSet& atoms, int atom)
{
    return {atoms.cart_x[atom], atoms.cart_y[atom], atoms.cart_z[atom]};
}

// Turns the z axis onto the direction d (not zero).
void rotate_z_onto(const Point3& d)
{
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double angle = std::acos(std::clamp(d[2] / length, -1.0, 1.0)) * 180.0 / PI;
    double ax = -d[1], ay = d[0];  // z cross d
    if (std::hypot(ax, ay) <= 1e-12 * length) {
        ax = 1.0;  // along -z (or +z, where the angle is 0): any axis normal to z
        ay = 0.0;
    }
    glRotated(angle, ax, ay, 0.0);
}

double length_of(const Point3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// The cell edge vectors in the model's Cartesian frame: the columns of the
// orthogonalisation matrix.
std::array<Point3, 3> cell_vectors(const StructureModel& model)
{
    const Matrix3& m = model.orthogonalisation.matrix;
    std::array<Point3, 3> vectors{};
    for (int axis = 0; axis < 3; ++axis)
        vectors[axis] = {m(1, axis + 1), m(2, axis + 1), m(3, axis + 1)};
    return vectors;
}

void draw_axis_arrow(GLUquadric* quadric, const Point3& edge, int cone_stacks)
{
    const double length = length_of(edge);
    if (!(length > 0.0))
        return;
    glPushMatrix();
    rotate_z_onto(edge);
    gluCylinder(quadric, 0.025, 0.025, length, 20, 60);
    glTranslated(0.0, 0.0, length);
    gluCylinder(quadric, 0.06, 0.0, 0.15, 20, cone_stacks);
    glPopMatrix();
}

struct AxisStyle {
    int edge;  // 0 a, 1 b, 2 c
    float red, green, blue;
    int cone_stacks;
    const char* letter;
};

constexpr AxisStyle AXES[] = {
    {2, 0.2f, 0.2f, 1.0f, 20, "Z"},
    {0, 1.0f, 0.2f, 0.2f, 10, "X"},
    {1, 0.2f, 1.0f, 0.2f, 10, "Y"},
};

void draw_axes(GLUquadric* quadric, const StructureModel& model)
{
    const auto edges = cell_vectors(model);
    for (const AxisStyle& axis : AXES) {
        glColor3f(axis.red, axis.green, axis.blue);
        draw_axis_arrow(quadric, edges[axis.edge], axis.cone_stacks);
    }
}

void draw_atoms(GLUquadric* quadric, const StructureModel& model, int style, unsigned background_colour)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    const int slices = atom_sphere_slices(style);
    for (int i = 1; i <= n; ++i) {
        if (atoms.subset_mask[i] == 0)
            continue;
        set_type_colour(model, i, background_colour);
        glPushMatrix();
        glTranslated(atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]);
        gluSphere(quadric, viewer_atom_radius(model, i, style), slices, slices);
        glPopMatrix();
    }
}

// Each bond in two halves, each in the colour of its atom.
void draw_bonds(GLUquadric* quadric, const StructureModel& model, const BondList& bonds, unsigned background_colour)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    for (int k = 1; k <= std::min(bonds.bond_count, MAX_BONDS); ++k) {
        const int i = bonds.bond_atom1[k];
        const int j = bonds.bond_atom2[k];
        // A list left from another cluster may name atoms that are gone.
        if (i < 1 || j < 1 || i > n || j > n || atoms.subset_mask[i] == 0 || atoms.subset_mask[j] == 0)
            continue;
        const Point3 start = atom_position(atoms, i);
        const Point3 end = atom_position(atoms, j);
        const Point3 d = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
        const double half = 0.5 * length_of(d);
        if (!(half > 0.0))
            continue;
        glPushMatrix();
        glTranslated(start[0], start[1], start[2]);
        rotate_z_onto(d);
        set_type_colour(model, i, background_colour);
        gluCylinder(quadric, 0.035, 0.035, half, 20, 50);
        glTranslated(0.0, 0.0, half);
        set_type_colour(model, j, background_colour);
        gluCylinder(quadric, 0.035, 0.035, half, 20, 50);
        glPopMatrix();
    }
}

void draw_map_plane(const MapFrame& frame)
{
    const Vector3& c = frame.map_centre;
    const Vector3& p = frame.axis_u;
    const Vector3& q = frame.axis_v;
    auto corner = [&](double sp, double sq) {
        glVertex3d(c[0] + 5.0 * (sp * p[0] + sq * q[0]), c[1] + 5.0 * (sp * p[1] + sq * q[1]),
                   c[2] + 5.0 * (sp * p[2] + sq * q[2]));
    };
    glColor4f(0.35f, 0.35f, 0.35f, 0.5f);
    glNormal3d(p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]);
    glBegin(GL_QUADS);
    corner(-1, -1);
    corner(1, -1);
    corner(1, 1);
    corner(-1, 1);
    glEnd();
}

void draw_critical_point(GLUquadric* quadric, const CriticalPoint& point)
{
    glPushMatrix();
    glTranslated(point.x, point.y, point.z);
    switch (point.type) {
    case 1:
        glColor3f(1.0f, 0.0f, 0.0f);
        gluSphere(quadric, 0.1, 20, 20);
        break;
    case 2:  // a double cone about the point
        glColor3f(1.0f, 0.5f, 0.5f);
        glTranslated(0.0, 0.0, -0.1);
        gluCylinder(quadric, 0.0, 0.1, 0.1, 20, 20);
        glTranslated(0.0, 0.0, 0.1);
        gluCylinder(quadric, 0.1, 0.0, 0.1, 20, 20);
        break;
    case 3:  // a cross of two rods through the point
        glColor3f(0.5f, 1.0f, 0.5f);
        glPushMatrix();
        glTranslated(0.0, 0.0, -0.1);
        gluCylinder(quadric, 0.04, 0.04, 0.2, 20, 20);
        glPopMatrix();
        glRotated(90.0, 0.0, 1.0, 0.0);
        glTranslated(0.0, 0.0, -0.1);
        gluCylinder(quadric, 0.04, 0.04, 0.2, 20, 20);
        break;
    case 4:
        glColor3f(0.0f, 1.0f, 0.0f);
        gluSphere(quadric, 0.1, 20, 20);
        break;
    default:
        break;
    }
    glPopMatrix();
}

// Where the current matrices put points: eye coordinates and framebuffer
// pixels.
struct Projector {
    std::array<GLdouble, 16> model_view{}, projection{};
    std::array<GLint, 4> viewport{};

    Projector()
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, model_view.data());
        glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
        glGetIntegerv(GL_VIEWPORT, viewport.data());
    }

    Point3 eye(const Point3& p) const
    {
        Point3 e{};
        for (int r = 0; r < 3; ++r)
            e[r] = model_view[r] * p[0] + model_view[4 + r] * p[1] + model_view[8 + r] * p[2] + model_view[12 + r];
        return e;
    }

    // False when the point is behind the eye or outside the depth range.
    bool window(const Point3& e, double& x, double& y) const
    {
        double depth = 0;
        return window(e, x, y, depth);
    }

    bool window(const Point3& e, double& x, double& y, double& depth) const
    {
        std::array<double, 4> clip{};
        for (int r = 0; r < 4; ++r)
            clip[r] = projection[r] * e[0] + projection[4 + r] * e[1] + projection[8 + r] * e[2] + projection[12 + r];
        if (!(clip[3] > 0.0) || clip[2] < -clip[3] || clip[2] > clip[3])
            return false;
        x = viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * viewport[2];
        y = viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * viewport[3];
        depth = (clip[2] / clip[3] + 1.0) * 0.5;
        return true;
    }

    // An upright text starting `offset` scene units to the right of p.
    void add_label(std::vector<SceneLabel>& labels, const Point3& p, double offset, std::string text, float red,
                   float green, float blue) const
    {
        const size_t end = text.find_last_not_of(' ');
        if (end == std::string::npos)
            return;
        text.resize(end + 1);
        Point3 anchor = eye(p);
        anchor[0] += offset;
        SceneLabel label;
        double top_x = 0, top_y = 0;
        if (!window(anchor, label.x, label.y, label.depth)
            || !window({anchor[0], anchor[1] + VIEWER_TEXT_SCALE, anchor[2]}, top_x, top_y))
            return;
        label.pixel_height = top_y - label.y;
        label.text = std::move(text);
        label.red = red;
        label.green = green;
        label.blue = blue;
        labels.push_back(std::move(label));
    }
};

void add_atom_labels(std::vector<SceneLabel>& labels, const Projector& projector, const ViewerSceneState& state,
                     const StructureModel& model, float red, float green, float blue)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    for (int i = 1; i <= n; ++i) {
        if (atoms.subset_mask[i] == 0)
            continue;
        std::string text;
        if (state.atom_labels_shown)
            text = std::string(atoms.atom_label[i].data(), 6);
        if (state.atom_numbers_shown)
            text += std::to_string(i);  // exactly count_decimal_digits(i) wide
        const double offset = state.atoms_shown ? viewer_atom_radius(model, i, state.atom_style) + 0.05 : 0.2;
        projector.add_label(labels, atom_position(atoms, i), offset, text, red, green, blue);
    }
}

void add_axis_letters(std::vector<SceneLabel>& labels, const Projector& projector, const StructureModel& model)
{
    const auto edges = cell_vectors(model);
    for (const AxisStyle& axis : AXES) {
        const Point3& edge = edges[axis.edge];
        const double length = length_of(edge);
        if (!(length > 0.0))
            continue;
        const double scale = (length + AXIS_LETTER_OFFSET) / length;
        projector.add_label(labels, {edge[0] * scale, edge[1] * scale, edge[2] * scale}, 0.0, axis.letter, axis.red,
                            axis.green, axis.blue);
    }
}

}  // namespace

std::string critical_point_type_name(int type)
{
    static const char* const NAMES[] = {"(3,-3)", "(3,-1)", "(3,+1)", "(3,+3)"};
    return type >= 1 && type <= 4 ? NAMES[type - 1] : "      ";
}

void set_up_viewer_lighting()
{
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    const GLfloat specular[] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128.0f);
    glEnable(GL_LIGHTING);
    const GLfloat position0[] = {20.0f, -2.0f, 100.0f, 1.0f};
    const GLfloat direction0[] = {-1.0f, 1.0f, -1.0f};
    const GLfloat position1[] = {0.0f, 0.0f, -100.0f, 1.0f};
    const GLfloat direction1[] = {0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position0);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction0);
    glLightfv(GL_LIGHT1, GL_POSITION, position1);
    glLightfv(GL_LIGHT1, GL_SPOT_DIRECTION, direction1);
    for (GLenum light : {GL_LIGHT0, GL_LIGHT1}) {
        glLightfv(light, GL_SPECULAR, specular);
        glLightfv(light, GL_DIFFUSE, diffuse);
        glEnable(light);
    }
}

void set_viewer_projection(int width, int height)
{
    const ViewerViewport viewport = compute_viewer_viewport(width, height);
    glViewport(viewport.x0, viewport.y0, viewport.side, viewport.side);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50.0, 1.0, 0.001, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, 0.0, -10.0);
}

namespace {

// Relative luminance of a COLORREF (sRGB channels made linear).
double luminance(unsigned colour)
{
    auto linear = [](unsigned channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour & 0xFF) + 0.7152 * linear((colour >> 8) & 0xFF) +
           0.0722 * linear((colour >> 16) & 0xFF);
}

double contrast_ratio(unsigned a, unsigned b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

unsigned contrasting_atom_colour(unsigned type_colour, unsigned background_colour)
{
    // More than the labels need: the lighting darkens a sphere's sides.
    constexpr double LEAST_CONTRAST = 4.5;
    const unsigned r = (type_colour >> 16) & 0xFF, g = (type_colour >> 8) & 0xFF, b = type_colour & 0xFF;
    auto colorref = [](double red, double green, double blue) {
        return static_cast<unsigned>(std::lround(red)) | static_cast<unsigned>(std::lround(green)) << 8 |
               static_cast<unsigned>(std::lround(blue)) << 16;
    };
    background_colour &= 0xFFFFFF;
    if (contrast_ratio(colorref(r, g, b), background_colour) >= LEAST_CONTRAST)
        return type_colour & 0xFFFFFF;
    // Towards white on a dark background, towards black on a light one, in
    // steps, until the colour stands out: its hue is kept.
    const double target = contrast_ratio(0xFFFFFF, background_colour) >= contrast_ratio(0, background_colour) ? 255 : 0;
    double red = r, green = g, blue = b;
    for (int step = 1; step <= 10; ++step) {
        const double t = step / 10.0;
        red = r + t * (target - r);
        green = g + t * (target - g);
        blue = b + t * (target - b);
        if (contrast_ratio(colorref(red, green, blue), background_colour) >= LEAST_CONTRAST)
            break;
    }
    return static_cast<unsigned>(std::lround(red)) << 16 | static_cast<unsigned>(std::lround(green)) << 8 |
           static_cast<unsigned>(std::lround(blue));
}

unsigned contrasting_label_colour(unsigned label_colour, unsigned background_colour)
{
    constexpr unsigned BLACK = 0x000000, WHITE = 0xFFFFFF;
    constexpr double LEAST_CONTRAST = 3.0;
    label_colour &= WHITE;
    background_colour &= WHITE;
    if (contrast_ratio(label_colour, background_colour) >= LEAST_CONTRAST)
        return label_colour;
    return contrast_ratio(WHITE, background_colour) >= contrast_ratio(BLACK, background_colour) ? WHITE : BLACK;
}

std::vector<SceneLabel> draw_structure_scene(const ViewerSceneState& state)
{
    const StructureModel& model = current_model();
    std::vector<SceneLabel> labels;

    float red = 0, green = 0, blue = 0;
    convert_colour_to_rgb(state.background_colour, blue, green, red);  // a COLORREF: red in the low byte
    glClearColor(red, green, blue, 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The window shows the picture as it is: blending the plane must not
    // make the picture itself translucent.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);

    Quadric quadric = make_quadric();
    if (!quadric) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        return labels;
    }
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(state.shift_x, state.shift_y, state.zoom);
    glRotated(state.rot_x, 1.0, 0.0, 0.0);
    glRotated(state.rot_y, 0.0, 1.0, 0.0);
    glRotated(state.rot_z, 0.0, 0.0, 1.0);
    glTranslated(-state.centre_x, -state.centre_y, -state.centre_z);

    if (state.ias_shown) {
        const SurfaceDisplayLists& lists = surface_display_lists();
        for (int k = 1; k <= lists.surface_list_count; ++k)
            glCallList(lists.surface_list[k]);
    }
    if (state.axis_shown)
        draw_axes(quadric.get(), model);
    if (state.atoms_shown)
        draw_atoms(quadric.get(), model, state.atom_style, state.background_colour);
    if (state.bonds_shown && state.atom_style == ATOM_STYLE_BALL)
        draw_bonds(quadric.get(), model, bond_list(), state.background_colour);
    if (state.plane_shown)
        draw_map_plane(map_frame());
    const CriticalPointList& cps = critical_point_list();
    const int cp_count = std::clamp(cps.cp_count, 0, MAX_CRITICAL_POINTS);
    if (state.cps_shown)
        for (int k = 1; k <= cp_count; ++k)
            draw_critical_point(quadric.get(), cps.points[k]);

    const Projector projector;
    convert_colour_to_rgb(contrasting_label_colour(state.label_colour, state.background_colour), blue, green, red);
    if (state.atom_labels_shown || state.atom_numbers_shown)
        add_atom_labels(labels, projector, state, model, red, green, blue);
    if (state.cp_type_labels_shown)
        for (int k = 1; k <= cp_count; ++k) {
            const CriticalPoint& point = cps.points[k];
            projector.add_label(labels, {point.x, point.y, point.z}, 0.0, critical_point_type_name(point.type), red,
                                green, blue);
        }
    if (state.axis_shown)
        add_axis_letters(labels, projector, model);

    glPopMatrix();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFlush();
    return labels;
}
