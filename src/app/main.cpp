#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvane");
    QMainWindow w;
    w.setWindowTitle("Corvane");
    w.resize(690, 500);
    w.show();
    return app.exec();
}
