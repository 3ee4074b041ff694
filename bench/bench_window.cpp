// The window with a large mod, headless: opening it (read, tree filled and
// expanded, caption set, first paint) and assembling it into the Preview.
//
//   QT_QPA_PLATFORM=offscreen BUILD/bench/torvale-bench-window [--benchmark_repetitions=5]
//
// Targets for the 32 MiB mod: opening under 1.5 s, the Preview under 0.5 s.
#include "big_mod.h"

#include "ui/main_window.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
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

BENCHMARK(BM_OpenInWindow)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AssembleIntoPreview)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(5);

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
