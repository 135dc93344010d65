#include "keldana/viewer/surface_lists.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double SURFACE_POINT_RADIUS = 0.015;

struct SurfaceGeometry {
    int atom = 0;
    int n_theta = 0, n_phi = 0;
    double cx = 0, cy = 0, cz = 0;
    const InteratomicSurfaceTable* table = nullptr;

    void direction(int i, int j, double d[3]) const
    {
        const double theta = i * PI / n_theta;
        const double phi = j * 2.0 * PI / n_phi;
        d[0] = std::sin(theta) * std::cos(phi);
        d[1] = std::sin(theta) * std::sin(phi);
        d[2] = std::cos(theta);
    }

    void point(int i, int j, double p[3]) const
    {
        double d[3];
        direction(i, j, d);
        const double r = table->radius(i, j, atom);
        p[0] = cx + r * d[0];
        p[1] = cy + r * d[1];
        p[2] = cz + r * d[2];
    }

    void vertex(int i, int j) const
    {
        double d[3], p[3];
        direction(i, j, d);
        point(i, j, p);
        glNormal3dv(d);
        glVertex3dv(p);
    }
};

void draw_surface_points(GLUquadric* quadric, const SurfaceGeometry& g)
{
    auto sphere_at = [&](int i, int j) {
        double p[3];
        g.point(i, j, p);
        glPushMatrix();
        glTranslated(p[0], p[1], p[2]);
        gluSphere(quadric, SURFACE_POINT_RADIUS, 6, 6);
        glPopMatrix();
    };
    sphere_at(0, 0);  // one point at each pole
    for (int i = 1; i < g.n_theta; ++i)
        for (int j = 0; j < g.n_phi; ++j)
            sphere_at(i, j);
    sphere_at(g.n_theta, 0);
}

void draw_surface_triangles(const SurfaceGeometry& g)
{
    const int last = g.n_theta - 1;
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < g.n_phi; ++j) {
        g.vertex(0, 0);
        g.vertex(1, j);
        g.vertex(1, j + 1);
    }
    for (int i = 1; i < last; ++i)
        for (int j = 0; j < g.n_phi; ++j) {
            g.vertex(i, j);
            g.vertex(i + 1, j);
            g.vertex(i + 1, j + 1);
            g.vertex(i, j);
            g.vertex(i + 1, j + 1);
            g.vertex(i, j + 1);
        }
    for (int j = 0; j < g.n_phi; ++j) {
        g.vertex(last, j);
        g.vertex(g.n_theta, 0);
        g.vertex(last, j + 1);
    }
    glEnd();
}

}  // namespace

SurfaceDisplayLists& surface_display_lists()
{
    static SurfaceDisplayLists lists;
    return lists;
}

std::vector<int> surface_atoms(const InteratomicSurfaceTable& table, int atom_count)
{
    const int n = std::min(atom_count, MAX_SURFACE_ATOMS);
    auto drawable = [&](int a) { return a >= 1 && a <= n && table.ias_present[a] != 0; };
    std::vector<int> atoms;
    for (int k = 1; k <= MAX_SURFACE_ATOMS && table.ias_atom_list[k] != 0; ++k) {
        const int a = table.ias_atom_list[k];
        if (drawable(a) && std::find(atoms.begin(), atoms.end(), a) == atoms.end())
            atoms.push_back(a);
    }
    for (int a = 1; a <= n; ++a)
        if (drawable(a) && std::find(atoms.begin(), atoms.end(), a) == atoms.end())
            atoms.push_back(a);
    return atoms;
}

void delete_surface_display_lists()
{
    SurfaceDisplayLists& lists = surface_display_lists();
    for (int k = 1; k <= lists.surface_list_count; ++k)
        glDeleteLists(lists.surface_list[k], 1);
    forget_surface_display_lists();
}

void forget_surface_display_lists()
{
    SurfaceDisplayLists& lists = surface_display_lists();
    lists.surface_list_count = 0;
    lists.surface_list.fill(0);
}

void build_surface_display_lists(const ViewerSceneState& state)
{
    delete_surface_display_lists();
    const InteratomicSurfaceTable& table = interatomic_surface_table();
    const StructureModel& model = current_model();
    if (table.ias_theta_count < 2 || table.ias_theta_count > MAX_SURFACE_THETA || table.ias_phi_count < 1
        || table.ias_phi_count > MAX_SURFACE_PHI)
        return;
    GLUquadric* quadric = gluNewQuadric();
    if (!quadric)
        return;
    gluQuadricNormals(quadric, GLU_SMOOTH);
    SurfaceDisplayLists& lists = surface_display_lists();
    for (int atom : surface_atoms(table, model.atoms.atom_count)) {
        const GLuint id = glGenLists(1);
        if (id == 0)
            break;
        lists.surface_list[++lists.surface_list_count] = id;
        SurfaceGeometry geometry;
        geometry.atom = atom;
        geometry.n_theta = table.ias_theta_count;
        geometry.n_phi = table.ias_phi_count;
        geometry.cx = model.atoms.cart_x[atom];
        geometry.cy = model.atoms.cart_y[atom];
        geometry.cz = model.atoms.cart_z[atom];
        geometry.table = &table;
        const int type = model.atoms.atom_type_index[atom];
        float red = 0, green = 0, blue = 0;
        if (type >= 1 && type <= MAX_ATOM_TYPES)
            convert_colour_to_rgb(static_cast<unsigned>(model.atom_types.type_colour[type]), red, green, blue);
        glNewList(id, GL_COMPILE);
        glColor3f(red, green, blue);
        if (state.ias_as_points)
            draw_surface_points(quadric, geometry);
        if (state.ias_as_surface)
            draw_surface_triangles(geometry);
        glEndList();
    }
    gluDeleteQuadric(quadric);
}
