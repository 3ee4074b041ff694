// torvale: the editor.
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvale"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.3beta"));
    torvale::TFormMain window;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.openCommandLine(arguments);
    window.show();
    return QApplication::exec();
}
