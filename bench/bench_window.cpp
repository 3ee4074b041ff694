// The window with a large mod, headless: opening it (read, tree filled and
// expanded, caption set, first paint) and assembling it into the Preview;
// selecting an edit-file node whose forum file is large; Test Mod; and each
// kind of edit with the 32 MiB mod open, view update included. Find and
// Replace with large texts are in bench_window_find.cpp.
//
//   QT_QPA_PLATFORM=offscreen BUILD/bench/torvale-bench-window [--benchmark_repetitions=5]
//   TORVALE_BENCH_EDIT_MIB=64 ... --benchmark_filter=BM_Edit   (the edits with another size)
//
// Targets for the 32 MiB mod: opening under 1.5 s, the Preview under 0.5 s;
// every edit, Undo and Redo under 16 ms at its slowest (max_ms), and so is the
// longest the window waits while a recovery copy is taken.
// Selecting a node whose forum file is 5 MiB shows that file in under 50 ms,
// and the file after one of its steps, the change marked, in under 100 ms.
// Test Mod on the 32 MiB mod shows its report, failed steps marked, in under
// half a second; on a mod of 100 failed steps against a 20,000-line file, with
// where each one's lines went, in under a second.
#include "failing_mod.h"
#include "window_bench.h"

#include "app/allocator.h"
#include "ui/main_window.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUndoStack>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

namespace {

using torvale::bench::modFile;
using torvale::bench::NoPrompts;

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

// The forum's mod opened in the window, on the EditingFile page; its tree.
QTreeView* openOnEditingFile(torvale::TFormMain& window, const LargeForum& forum) {
    window.setForumScriptLocation(forum.location);
    window.show();
    window.openCommandLine({forum.mod});
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("tsEditingFile")));
    return window.findChild<QTreeView*>(QStringLiteral("tvActions"));
}

void BM_SelectLargeForumFile(benchmark::State& state) {
    LargeForum forum(state.range(0));
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    QTreeView* tree = openOnEditingFile(window, forum);
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

// The result view of a step in the 5 MiB file: from a step of the small file
// to the last step of the large one, edited in two groups, with the result of
// the step shown; state.range(1) 1: only toggled on, the step selected.
void BM_StepResultOfLargeForumFile(benchmark::State& state) {
    LargeForum forum(state.range(0));
    QFile big(forum.dir.filePath(QStringLiteral("Sources/Big.pm")));
    if (!big.open(QIODevice::Append) || big.write("# the end of Big.pm\r\n") <= 0)
        qFatal("cannot append to Big.pm");
    big.close();
    forum.write(QStringLiteral("t.mod"),
                "<edit file>\r\nSources/Small.pm\r\n</edit file>\r\n"
                "<search for>\r\n1;\r\n</search for>\r\n<add before>\r\n# small\r\n</add before>\r\n\r\n"
                "<edit file>\r\nSources/Big.pm\r\n</edit file>\r\n"
                "<search for>\r\n# the end of Big.pm\r\n</search for>\r\n"
                "<replace>\r\n# the end of Big.pm\r\n# a new line\r\n</replace>\r\n\r\n"
                "<edit file>\r\nSources/Big.pm\r\n</edit file>\r\n"
                "<search for>\r\n# a new line\r\n</search for>\r\n"
                "<add after>\r\n# and another\r\n</add after>\r\n\r\n");
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    QTreeView* tree = openOnEditingFile(window, forum);
    QAction* toggle = window.findChild<QAction*>(QStringLiteral("actStepResult"));
    const bool toggleOnly = state.range(1) == 1;
    const auto select = [tree](int group) {
        const QModelIndex top = tree->model()->index(group, 0);
        tree->selectionModel()->setCurrentIndex(tree->model()->index(0, 0, top),
                                                QItemSelectionModel::ClearAndSelect);
        QApplication::processEvents(); // the view painted
    };
    toggle->setChecked(!toggleOnly);
    for (auto _ : state) {
        state.PauseTiming();
        if (toggleOnly) {
            toggle->setChecked(false);
            select(2);
        } else {
            select(0);
        }
        state.ResumeTiming();
        if (toggleOnly) {
            toggle->setChecked(true);
            QApplication::processEvents();
        } else {
            select(2);
        }
    }
    auto* caption = window.findChild<QLabel*>(QStringLiteral("pnlEditingFile"));
    if (!caption || !caption->text().startsWith(QStringLiteral("Sources/Big.pm after step 3")))
        state.SkipWithError(qPrintable(QStringLiteral("no result shown: ") + caption->text()));
}

// ---- Edits with a large mod open --------------------------------------------

// The size of the mod the edit benchmarks open: 32 MiB, or
// TORVALE_BENCH_EDIT_MIB to see how an edit's cost grows with the document.
int editMib() {
    const int mib = qEnvironmentVariableIntValue("TORVALE_BENCH_EDIT_MIB");
    return mib > 0 ? mib : 32;
}

// One window with the mod of editMib() open, shared by the edit benchmarks.
struct EditBench {
    NoPrompts prompts;
    torvale::TFormMain window{&prompts};
    QTreeView* tree = window.findChild<QTreeView*>(QStringLiteral("tvActions"));
    QUndoStack* history = window.openMod().history();
    // Rows rather than indexes: undoing a deletion makes the nodes anew.
    int group = -1; // an edit-file node with 10 search actions
    int middle = 0; // the group of a search action in the middle of the tree

    EditBench() {
        window.show();
        window.openCommandLine({modFile(editMib())});
        auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        pages->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("tsModAction")));
        const QAbstractItemModel* model = tree->model();
        middle = model->rowCount() / 2;
        for (int row = middle; row < model->rowCount() && group < 0; ++row)
            if (model->rowCount(model->index(row, 0)) == 10)
                group = row;
        QApplication::processEvents();
    }
    QModelIndex at(int row, int child = -1) const {
        const QModelIndex top = tree->model()->index(row, 0);
        return child < 0 ? top : tree->model()->index(child, 0, top);
    }
    QModelIndex groupOfTen() const { return at(group); }
    QModelIndex action() const { return at(middle, 1); }
    QModelIndex faraway() const { return at(middle / 2, 0); }
    void select(const QModelIndex& index) {
        tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        QApplication::processEvents();
    }
    void run(const char* name) {
        window.findChild<QAction*>(QLatin1String(name))->trigger();
        QApplication::processEvents();
    }
};

std::unique_ptr<EditBench> editBench;

EditBench& edits() {
    if (!editBench)
        editBench = std::make_unique<EditBench>();
    return *editBench;
}

// As the shared timeRounds, with the size of the open mod beside it.
void timeRounds(benchmark::State& state, const std::function<void()>& before,
                const std::function<void()>& step, const std::function<void()>& after) {
    torvale::bench::timeRounds(state, before, step, after);
    state.counters["nodes"] = double(edits().window.model().document().nodeCount());
}

// Test Mod on the mod at modPath against the forum script, each round: the
// check, the report panel filled and shown, and the failed steps marked.
void timeTestMod(benchmark::State& state, const QString& forumScript, const QString& modPath) {
    NoPrompts prompts;
    torvale::TFormMain window(&prompts);
    window.setForumScriptLocation(forumScript);
    window.show();
    window.openCommandLine({modPath});
    QAction* testMod = window.findChild<QAction*>(QStringLiteral("actTestMod"));
    auto* panel = window.findChild<QWidget*>(QStringLiteral("pnlTestReport"));
    for (auto _ : state) {
        testMod->trigger();
        QApplication::processEvents(); // the panel painted
    }
    if (!panel || !panel->isVisible())
        state.SkipWithError("no report shown");
}

// Test Mod on the open 32 MiB mod against the forum folder here: the check,
// the report panel filled and shown, and the failed steps marked.
void BM_TestModInWindow(benchmark::State& state) {
    timeTestMod(state, QStringLiteral(TORVALE_FORUM_DIR "/YaBB.pl"), modFile(editMib()));
}

// Test Mod on a mod of a hundred steps that a forum file of 20,000 lines no
// longer matches: the check with each failed step's nearest place, and the
// report that shows them.
void BM_TestModHundredFailedInWindow(benchmark::State& state) {
    static QTemporaryDir dir;
    const torvale::bench::FailingMod made =
        torvale::bench::makeFailingMod(torvale::bench::codePoolFor(TORVALE_FORUM_DIR), 20000, 100);
    const auto write = [](const QString& path, const std::string& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) &&
               file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
    };
    const QString forum = dir.filePath(QStringLiteral("forum"));
    if (!write(forum + QStringLiteral("/YaBB.pl"), "#!/usr/bin/perl\n") ||
        !write(forum + QLatin1Char('/') + QLatin1String(made.kFileName), made.file) ||
        !write(dir.filePath(QStringLiteral("failing.mod")), made.mod)) {
        state.SkipWithError("cannot write the forum");
        return;
    }
    timeTestMod(state, forum + QStringLiteral("/YaBB.pl"), dir.filePath(QStringLiteral("failing.mod")));
}

void BM_EditSelectNode(benchmark::State& state) {
    EditBench& b = edits();
    bool there = false;
    timeRounds(
        state, [] {}, [&] { b.select((there = !there) ? b.faraway() : b.action()); }, [] {});
}

void BM_EditTypeCharacter(benchmark::State& state) {
    EditBench& b = edits();
    b.select(b.action());
    QWidget* search = b.window.findChild<QWidget*>(QStringLiteral("memSearch"));
    search->setFocus();
    timeRounds(
        state, [] {},
        [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(search, &press);
            QApplication::sendEvent(search, &release);
        },
        [] {});
}

void BM_EditAddSearchAction(benchmark::State& state) {
    EditBench& b = edits();
    timeRounds(
        state, [&] { b.select(b.action()); }, [&] { b.run("actAddReplace"); },
        [&] { b.history->undo(); });
}

void BM_EditDeleteGroupOfTen(benchmark::State& state) {
    EditBench& b = edits();
    timeRounds(
        state, [&] { b.select(b.groupOfTen()); }, [&] { b.run("actDeleteAction"); },
        [&] { b.history->undo(); });
}

void BM_EditMoveUp(benchmark::State& state) {
    EditBench& b = edits();
    timeRounds(
        state, [&] { b.select(b.action()); }, [&] { b.run("actMoveUp"); },
        [&] { b.history->undo(); });
}

// Undo and Redo of the largest step above: a group of ten deleted.
void BM_EditUndo(benchmark::State& state) {
    EditBench& b = edits();
    timeRounds(
        state,
        [&] {
            b.select(b.groupOfTen());
            b.run("actDeleteAction");
        },
        [&] { b.run("actUndo"); }, [] {});
}

void BM_EditRedo(benchmark::State& state) {
    EditBench& b = edits();
    timeRounds(
        state,
        [&] {
            b.select(b.groupOfTen());
            b.run("actDeleteAction");
            b.run("actUndo");
        },
        [&] { b.run("actRedo"); }, [&] { b.run("actUndo"); });
}

// The longest the window's event loop is held up within 2.6 s, in seconds.
double longestWait() {
    double longest = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2600);
    while (std::chrono::steady_clock::now() < end) {
        const auto start = std::chrono::steady_clock::now();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        longest = std::max(longest, took.count());
    }
    return longest;
}

// The longest the window waits for anything while the recovery copy of the
// mod is taken after a change: the copy is written on another thread.
// idle_max_ms is the same wait with nothing to do, what the machine itself
// adds (other programs on the same cores).
void BM_EditRecoveryCopyStall(benchmark::State& state) {
    EditBench& b = edits();
    double slowest = 0;
    double idle = 0;
    for (auto _ : state) {
        idle = std::max(idle, longestWait() * 1000);
        b.select(b.action());
        b.run("actMoveUp");
        const double longest = longestWait();
        state.SetIterationTime(longest);
        slowest = std::max(slowest, longest * 1000);
        b.history->undo();
    }
    state.counters["max_ms"] = slowest;
    state.counters["idle_max_ms"] = idle;
}

BENCHMARK(BM_OpenInWindow)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AssembleIntoPreview)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SelectLargeForumFile)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StepResultOfLargeForumFile)
    ->Args({5, 0})
    ->Args({5, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK(BM_TestModInWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TestModHundredFailedInWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EditSelectNode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_EditTypeCharacter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_EditAddSearchAction)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditDeleteGroupOfTen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditMoveUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditUndo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditRedo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditRecoveryCopyStall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program does.
    torvale::keepFreedMemoryForReuse();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvale"));
    benchmark::Initialize(&argc, argv);
    // Recovery copies of the edits go to a folder of their own.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    editBench.reset();
    return 0;
}
