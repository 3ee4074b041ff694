// Find and Replace in the window with large texts: Find Next through the
// assembled 32 MiB mod in the Preview to a match near its end, Replace All
// of 1,000 occurrences in a 1 MiB action text, each with the view's update,
// and Find in Mod over every text of the 32 MiB mod until its panel lists them.
//
// Targets: Find Next under 100 ms, Replace All under 200 ms, Find in Mod
// under 1 s (max_ms).
#include "window_bench.h"

#include "ui/main_window.h"
#include "ui/widgets/plain_text_view.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

namespace {

using torvale::bench::modFile;
using torvale::bench::NoPrompts;
using torvale::bench::timeRounds;

struct FindBench {
    NoPrompts prompts;
    torvale::TFormMain window{&prompts};
    QTabWidget* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));

    explicit FindBench(const QString& mod) {
        window.show();
        window.openCommandLine({mod});
        QApplication::processEvents();
    }
    template <class T> T* child(const char* name) const {
        T* found = window.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
    void showPage(const char* name) {
        pages->setCurrentWidget(child<QWidget>(name));
        QApplication::processEvents();
    }
    // Opens a dialog from field, as Ctrl+F or Ctrl+R there would.
    QDialog* openDialog(QWidget* field, const char* command, const char* dialog) {
        field->setFocus();
        child<QAction>(command)->trigger();
        QApplication::processEvents();
        return child<QDialog>(dialog);
    }
};

// The 32 MiB mod and, at its end, an edit file whose name is nowhere before.
constexpr char kLastFile[] = "Sources/OnlyAtTheEnd.pm";

QString modWithMarkedEnd() {
    const QString path = modFile(32).replace(QStringLiteral(".mod"), QStringLiteral("-end.mod"));
    if (!QFile::exists(path)) {
        QFile::copy(modFile(32), path);
        QFile file(path);
        if (!file.open(QIODevice::Append) ||
            file.write(QByteArray("\r\n<edit file>\r\n") + kLastFile + "\r\n</edit file>\r\n") < 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

void BM_FindNextThroughPreview(benchmark::State& state) {
    FindBench b(modWithMarkedEnd());
    b.showPage("tsPreview");
    auto* preview = b.child<torvale::PlainTextView>("memPreview");
    const QString needle = QLatin1String(kLastFile);
    if (preview->bytes().find(kLastFile) < preview->bytes().size() / 100 * 99) {
        state.SkipWithError("the file name at the end is found before it");
        return;
    }
    QDialog* dialog = b.openDialog(preview, "actSearch", "FindDialog");
    dialog->findChild<QLineEdit*>(QStringLiteral("edtFindText"))->setText(needle);
    auto* findNext = dialog->findChild<QPushButton*>(QStringLiteral("btnFindNext"));
    timeRounds(
        state, [&] { preview->setCursorPosition(0, 0); }, [&] { findNext->click(); });
    if (preview->selectedText() != needle ||
        preview->cursorPosition().line < preview->lineCount() / 100 * 99)
        state.SkipWithError("Find Next did not select the match near the end");
    state.counters["lines"] = double(preview->lineCount());
}

// 1,000 lines of about 1 KiB of code, each with one $yyfind in it.
QString actionText() {
    QString text;
    for (int i = 0; i < 1000; ++i) {
        QString line = QStringLiteral("    my $value_%1 = $yyfind . q~").arg(i);
        line += QString(1040 - line.size(), u'x');
        text += line + QStringLiteral("~;\n");
    }
    return text;
}

void BM_ReplaceAllInActionText(benchmark::State& state) {
    FindBench b(modFile(32));
    b.showPage("tsModAction");
    auto* tree = b.child<QTreeView>("tvActions");
    const QModelIndex group = tree->model()->index(tree->model()->rowCount() / 2, 0);
    tree->selectionModel()->setCurrentIndex(tree->model()->index(0, 0, group),
                                            QItemSelectionModel::ClearAndSelect);
    auto* field = b.child<QPlainTextEdit>("memAndAction");
    const QString text = actionText();
    QDialog* dialog = b.openDialog(field, "actReplace", "ReplaceDialog");
    dialog->findChild<QLineEdit*>(QStringLiteral("edtFindText"))
        ->setText(QStringLiteral("$yyfind"));
    dialog->findChild<QLineEdit*>(QStringLiteral("edtReplaceText"))
        ->setText(QStringLiteral("$yyfound_it"));
    auto* replaceAll = dialog->findChild<QPushButton*>(QStringLiteral("btnReplaceAll"));
    timeRounds(
        state,
        [&] {
            field->setPlainText(text);
            QApplication::processEvents();
        },
        [&] { replaceAll->click(); });
    const QString after = field->toPlainText();
    if (after.count(QStringLiteral("$yyfound_it")) != 1000 || after.contains(u"$yyfind "))
        state.SkipWithError("Replace All did not replace the 1,000 occurrences");
    state.counters["bytes"] = double(text.size());
}

void BM_FindInMod(benchmark::State& state) {
    FindBench b(modFile(32));
    b.showPage("tsModAction");
    QDialog* dialog = b.openDialog(b.child<QWidget>("tvActions"), "actFindInMod", "FindInModDialog");
    dialog->findChild<QLineEdit*>(QStringLiteral("edtFindInMod"))->setText(QStringLiteral("$yymain"));
    auto* findAll = dialog->findChild<QPushButton*>(QStringLiteral("btnFindAll"));
    timeRounds(
        state, [] {}, [&] {
            findAll->click();
            QApplication::processEvents();
        });
    const auto* panel = b.child<QDockWidget>("pnlFindInMod");
    const auto* list = panel->findChild<QTreeView*>();
    if (!list || list->model()->rowCount() == 0)
        state.SkipWithError("Find in Mod listed nothing");
    else
        state.counters["listed"] = double(list->model()->rowCount());
}

BENCHMARK(BM_FindNextThroughPreview)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ReplaceAllInActionText)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_FindInMod)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
