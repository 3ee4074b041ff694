// The forum file as the mod leaves it after the selected step, in place of the
// file on disk: the toggle, the caption that says what is shown, the marks of
// the lines the step took out and put in, and the report's lines leading there.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/plain_text_view.h"

#include "check/install_file.h"
#include "check/step_result.h"
#include "document/assembled_lines.h"
#include "forum/paths.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>

namespace torvale {

namespace {

// The step a node's result is of: a search action's own, or the last of an
// edit-file node's steps.
const Node* resultStepOf(const Node* node) {
    if (!node || node->kind() != akEditFile)
        return node;
    return node->childCount() ? node->child(node->childCount() - 1) : nullptr;
}

QString lineCount(std::size_t lines) {
    return lines == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(lines);
}

QString stepList(const std::vector<int>& steps) {
    QStringList numbers;
    for (const int step : steps)
        numbers << QString::number(step);
    return (steps.size() == 1 ? QStringLiteral("step ") : QStringLiteral("steps ")) +
           numbers.join(QStringLiteral(", "));
}

} // namespace

void TFormMain::createStepResultView() {
    QAction* toggle = command("actStepResult");
    toggle->setCheckable(true);
    connect(toggle, &QAction::toggled, this, [this] {
        resultBefore_ = nullptr;
        highlightSearchInEditingFile();
    });
}

// Called where the search text's place would be highlighted: false when the
// file on disk is to be shown, which is then in the view.
bool TFormMain::showStepResult() {
    const Node* selected = selectedNode();
    const Node* step = resultStepOf(selected);
    if (resultBefore_ != selected)
        resultBefore_ = nullptr;
    if (!command("actStepResult")->isChecked() || !step || settings_.YaBB.empty()) {
        showDiskFile();
        return false;
    }
    std::size_t searchLine = 0;
    for (const NodeLine& at : assembledNodeLines(mod_->document()))
        if (at.node == step) {
            searchLine = at.line;
            break;
        }
    const std::string directory = forumScriptDirectory(settings_.YaBB);
    const StepMoment moment = resultBefore_ ? StepMoment::Before : StepMoment::After;
    auto result = std::make_shared<const StepResult>(
        stepResult(mod_->assemble(), forumFolders(directory), searchLine, moment));
    const TextEncoding encoding = mod_->encoding();
    const QString name = decodeText(result->name, encoding);
    if (result->status == StepResult::Status::NotRun) {
        showDiskFile();
        pnlEditingFile->setText(
            QStringLiteral("%1 as on disk: step %2 does not run (%3).")
                .arg(name)
                .arg(result->step)
                .arg(decodeText(result->problem, encoding)));
        return false;
    }
    resultInView_ = true;
    stepResult_ = result;
    memEditingFile->setText(std::shared_ptr<const std::string>(result, &result->text),
                            detectEncoding(result->text));
    std::vector<PlainTextView::ChangeMark> marks;
    std::size_t out = 0, in = 0;
    for (const StepResult::Mark& mark : result->marks) {
        const int first = memEditingFile->lineOfByte(mark.begin);
        const int last = memEditingFile->lineOfByte(mark.end - 1);
        marks.push_back({first, last - first + 1, mark.added});
        (mark.added ? in : out) += mark.rows;
    }
    memEditingFile->setChangeMarks(marks);

    QString caption;
    if (moment == StepMoment::Before)
        caption = QStringLiteral("%1 as the steps before step %2 leave it").arg(name).arg(result->step);
    else if (result->status == StepResult::Status::NotFound)
        caption = QStringLiteral("%1 as the steps before step %2 leave it: its search text is not "
                                 "there")
                      .arg(name)
                      .arg(result->step);
    else
        caption = QStringLiteral("%1 after step %2: %3 taken out, %4 put in")
                      .arg(name)
                      .arg(result->step)
                      .arg(lineCount(out))
                      .arg(in);
    if (result->shownStep && result->shownStep != result->step)
        caption += QStringLiteral("; marked: the change of step %1").arg(result->shownStep);
    else if (!result->shownStep && moment == StepMoment::Before)
        caption += QStringLiteral(" (no step before it changes it)");
    if (!result->skipped.empty())
        caption += QStringLiteral(". Passed over: %1, not found; the installer would stop there")
                       .arg(stepList(result->skipped));
    pnlEditingFile->setText(caption + QLatin1Char('.'));
    pnlEditingFile->setToolTip(
        QStringLiteral("Red lines (\u2212) were taken out, green lines (+) put in. %1 (%2) shows "
                       "the file on disk.")
            .arg(command("actStepResult")->text().remove(QLatin1Char('&')),
                 command("actStepResult")->shortcut().toString(QKeySequence::NativeText)));

    // Where the step's search text stands before it changes the file, else the change.
    if (moment == StepMoment::Before && result->found) {
        std::deque<std::string> storage;
        const std::size_t lines = installerLines(step->item().SearchText, storage).size();
        const int first = memEditingFile->lineOfByte(result->offsetOfLine(result->found));
        const int last = memEditingFile->lineOfByte(
            std::max(result->offsetOfLine(result->found + lines), std::size_t(1)) - 1);
        memEditingFile->setHighlightedLines({{first, std::max(1, last - first + 1)}});
        memEditingFile->scrollToLines(first, last - first + 1);
    } else if (!marks.empty()) {
        const int last = marks.back().first + marks.back().count - 1;
        memEditingFile->scrollToLines(marks.front().first, last - marks.front().first + 1);
    }
    return true;
}

// Back to the file on disk, when the view holds a result.
void TFormMain::showDiskFile() {
    stepResult_.reset();
    if (!resultInView_)
        return;
    resultInView_ = false;
    if (selectedNode())
        LoadEditingFile(selectedNode());
    else
        emptyEditingFile({});
}

// A line of the file as the steps before the selected one leave it (onDisk:
// of the file on disk), from 1: the view shows that file and goes there.
void TFormMain::showFileLineOfStep(std::size_t line, bool onDisk) {
    if (!memEditingFile->isVisible())
        PageControl1->setCurrentWidget(tsEditingFile);
    QAction* toggle = command("actStepResult");
    {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(!onDisk);
    }
    resultBefore_ = onDisk ? nullptr : selectedNode();
    highlightSearchInEditingFile();
    if (memEditingFile->isEmpty())
        return;
    const int at = stepResult_ ? memEditingFile->lineOfByte(stepResult_->offsetOfLine(line))
                               : std::min(int(line), memEditingFile->lineCount()) - 1;
    memEditingFile->setFocus();
    memEditingFile->setCursorPosition(std::max(at, 0), 0);
    memEditingFile->scrollToLines(std::max(at, 0));
}

} // namespace torvale
