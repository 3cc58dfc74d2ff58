// The floor for the program's start-up: a bare Qt Widgets main window of the same size and a
// title of the same beginning, shown as soon as the application object exists.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tarnvale bare window"));
    window.resize(1400, 750);
    window.show();
    return app.exec();
}
