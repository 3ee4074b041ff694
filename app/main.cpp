// torvale: the editor.
#include "ui/main_window.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kHelp =
    R"(Usage: torvale [MOD-FILE]
Starts the Torvale editor for YaBB mod files (*.mod, the format of the BoardMod
installer) and opens MOD-FILE in it; without MOD-FILE it starts with a new mod.

Options:
  --help     Show this text.
  --version  Show the version number.

Qt's own options, such as -platform NAME and -style NAME, are accepted too.
)";

} // namespace

int main(int argc, char** argv) {
    // Answered before the window exists, so that they work without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("torvale " TORVALE_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvale"));
    QApplication::setApplicationVersion(QStringLiteral(TORVALE_VERSION));
    torvale::TFormMain window;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.openCommandLine(arguments);
    window.show();
    return QApplication::exec();
}
