// Pathgraf, the plotter of trajectory files: a placeholder window until the
// plot program is built.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Pathgraf");
    window.show();
    return app.exec();
}
