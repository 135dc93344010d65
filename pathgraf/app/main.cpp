// Pathgraf: plots of the gradient trajectories that Keldana writes.
#include "pathgraf/app/plot_program.h"
#include "pathgraf/resources/plot_icons.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pathgraf");
    QApplication::setOrganizationName("Orvo");
    QApplication::setWindowIcon(pathgraf_icon());
    return run_plot_program(argc, argv);
}
