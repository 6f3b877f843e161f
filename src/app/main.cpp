// The program's entry point.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillabrand"));
    QLabel placeholder(QStringLiteral("Quillabrand"));
    placeholder.show();
    return app.exec();
}
