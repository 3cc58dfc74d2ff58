// The floor for the program's start-up: a bare Qt Widgets main window of the same size and a
// title of the same beginning, with one line of text (so that it, too, sets up the fonts, as
// any window that shows text must), shown as soon as the application object exists.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tarnvale bare window"));
    window.resize(1400, 750);
    window.setCentralWidget(new QLabel(QStringLiteral("Tarnvale")));
    window.show();
    return app.exec();
}
