// The window with a large mod, headless: opening it (read, tree filled and
// expanded, caption set, first paint) and assembling it into the Preview; and
// selecting an edit-file node whose forum file is large.
//
//   QT_QPA_PLATFORM=offscreen BUILD/bench/torvale-bench-window [--benchmark_repetitions=5]
//
// Targets for the 32 MiB mod: opening under 1.5 s, the Preview under 0.5 s.
// Selecting a node whose forum file is 5 MiB shows that file in under 50 ms.
#include "big_mod.h"

#include "ui/main_window.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

// Nothing is ever asked in these runs; if it were, the answer is No.
class NoPrompts : public torvale::UserPrompts {
public:
    QMessageBox::StandardButton confirmSave(QWidget*, const QString&) override {
        return QMessageBox::No;
    }
    void showMessage(QWidget*, const QString& text) override { qWarning("%s", qPrintable(text)); }
    void showError(QWidget*, const QString& text) override { qWarning("%s", qPrintable(text)); }
};

QString modFile(std::int64_t mib) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big-%1.mod").arg(mib));
    if (!QFile::exists(path)) {
        const auto pool = torvale::bench::codePoolFor(TORVALE_FORUM_DIR);
        const std::string text = torvale::bench::makeBigMod(std::size_t(mib) << 20, 1, pool);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), qint64(text.size())) != qint64(text.size()))
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

void BM_OpenInWindow(benchmark::State& state) {
    const QString path = modFile(state.range(0));
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    QAction* newDocument = window.findChild<QAction*>(QStringLiteral("actNew"));
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.openCommandLine({path});
        QApplication::processEvents(); // the first paint of the filled tree
        if (window.windowTitle() != QStringLiteral("Torvale - ") + path)
            state.SkipWithError("the mod did not open");
        state.PauseTiming();
        state.counters["nodes"] = double(window.model().document().nodeCount());
        newDocument->trigger(); // each round opens into an empty window
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_AssembleIntoPreview(benchmark::State& state) {
    const QString path = modFile(state.range(0));
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    window.show();
    window.openCommandLine({path});
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QWidget* preview = window.findChild<QWidget*>(QStringLiteral("tsPreview"));
    QWidget* action = window.findChild<QWidget*>(QStringLiteral("tsModAction"));
    QApplication::processEvents();
    for (auto _ : state) {
        pages->setCurrentWidget(preview);
        QApplication::processEvents(); // the Preview painted
        state.PauseTiming();
        pages->setCurrentWidget(action);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    if (!window.previewText() || window.previewText()->empty())
        state.SkipWithError("nothing was assembled");
}

// A forum folder whose Sources/Big.pm is about mib MiB of the forum's own
// code, and a mod that edits it and a small file.
struct LargeForum {
    QTemporaryDir dir;
    QString location = dir.filePath(QStringLiteral("YaBB.pl"));
    QString mod = dir.filePath(QStringLiteral("t.mod"));

    explicit LargeForum(std::int64_t mib) {
        QDir(dir.path()).mkpath(QStringLiteral("Sources"));
        std::string big;
        const auto pool = torvale::bench::codePoolFor(TORVALE_FORUM_DIR);
        while (big.size() < (std::size_t(mib) << 20))
            for (const auto& file : pool.files)
                for (const std::string& line : file.lines)
                    big.append(line).append("\r\n");
        write(QStringLiteral("Sources/Big.pm"), big);
        write(QStringLiteral("Sources/Small.pm"), "1;\r\n");
        write(QStringLiteral("t.mod"), "<edit file>\r\nSources/Small.pm\r\n</edit file>\r\n"
                                       "<edit file>\r\nSources/Big.pm\r\n</edit file>\r\n");
    }
    void write(const QString& name, const std::string& text) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), qint64(text.size())) != qint64(text.size()))
            qFatal("cannot write %s", qPrintable(name));
    }
};

void BM_SelectLargeForumFile(benchmark::State& state) {
    LargeForum forum(state.range(0));
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    window.setForumScriptLocation(forum.location);
    window.show();
    window.openCommandLine({forum.mod});
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("tsEditingFile")));
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("tvActions"));
    const auto select = [tree](int row) {
        tree->selectionModel()->setCurrentIndex(tree->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect);
        QApplication::processEvents(); // the view painted
    };
    for (auto _ : state) {
        state.PauseTiming();
        select(0);
        state.ResumeTiming();
        select(1);
    }
    auto* caption = window.findChild<QLabel*>(QStringLiteral("pnlEditingFile"));
    if (!caption || !caption->text().endsWith(QStringLiteral("Big.pm")))
        state.SkipWithError("the forum file was not shown");
}

BENCHMARK(BM_OpenInWindow)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AssembleIntoPreview)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SelectLargeForumFile)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvale"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
