// torvale: the editor. It is told here where its settings file lives: beside
// the program when that can be written, else in the user's config folder.
#include "settings/settings.h"
#include "settings/xdg_dirs.h"
#include "app/allocator.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QFile>

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
    torvale::keepFreedMemoryForReuse();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvale"));
    QApplication::setApplicationVersion(QStringLiteral(TORVALE_VERSION));
    torvale::WindowOptions options;
    const auto settingsFile = torvale::settingsFileFor(
        QFile::encodeName(QApplication::applicationFilePath()).toStdString(),
        torvale::XdgDirs::fromEnvironment().configHome);
    options.settingsFile = QFile::decodeName(settingsFile.c_str());
    torvale::TFormMain window(nullptr, options);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.show();
    window.startUp(arguments);
    return QApplication::exec();
}
