// Keldana: analysis of the electron density of a pseudoatom model.
#include "keldana/shell/application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qt_app(argc, argv);
    QApplication::setApplicationName("Keldana");
    QApplication::setOrganizationName("Orvo");
    auto keldana = start_keldana();
    return qt_app.exec();
}
