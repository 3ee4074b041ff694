// Telling the author before anything goes wrong: what reading a file dropped,
// the check that a save reads back as it is, Test Mod against the forum with
// its report and marks, and where a search text stands in the forum file.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/plain_text_view.h"
#include "widgets/report_panel.h"

#include "check/install_file.h"
#include "check/mod_check.h"
#include "check/reading_differences.h"
#include "document/assembled_lines.h"
#include "document/read_back.h"
#include "document/read_findings.h"
#include "forum/paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

namespace torvale {

namespace {

QString quoted(std::string_view line, TextEncoding encoding) {
    return quotedLine(line, encoding, 120);
}

QString sentence(std::string_view words) {
    QString text = QString::fromUtf8(words.data(), qsizetype(words.size()));
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

const char* propertyName(Property property) {
    static const char* const names[] = {"Mod Name", "Version", "Description", "Author", "Homepage"};
    return names[int(property)];
}

using Mark = ReportModel::Mark;

// A step that could not be tried for want of a forum did not fail: the mod may
// be right, and marking it would paint the whole tree red for a setting. A
// step the installer would not reach is marked by what it would do past the
// failures before it.
Mark markOf(const StepCheck& step) {
    switch (step.status) {
    case StepCheck::Status::Found:
        return step.again ? Mark::Warning : Mark::Good;
    case StepCheck::Status::NotTested:
        return Mark::Untested;
    case StepCheck::Status::NotReached:
        return step.foundPast ? Mark::Untested : Mark::Failure;
    default:
        return Mark::Failure;
    }
}

Mark markOf(const FileCheck& file) {
    switch (file.status) {
    case FileCheck::Status::Changed:
    case FileCheck::Status::Unchanged:
        return Mark::Good;
    case FileCheck::Status::NoForumScript:
    case FileCheck::Status::NotTested:
    case FileCheck::Status::NotReached:
        return Mark::Untested;
    default:
        return Mark::Failure;
    }
}

} // namespace

void TFormMain::createCheckPanels() {
    pnlFindings = new ReportPanel(QStringLiteral("Lost Content"), this);
    pnlFindings->setObjectName(QStringLiteral("pnlFindings"));
    pnlTestReport = new ReportPanel(QStringLiteral("Test Mod"), this);
    pnlTestReport->setObjectName(QStringLiteral("pnlTestReport"));
    for (ReportPanel* panel : {pnlFindings, pnlTestReport}) {
        addDockWidget(Qt::BottomDockWidgetArea, panel);
        panel->hide();
    }
    tabifyDockWidget(pnlFindings, pnlTestReport);
    connect(pnlTestReport, &ReportPanel::activated, this,
            [this](const QVariant& key) { goToReportedNode(key); });
    // Reports speak of the document they were made for.
    connect(mod_, &OpenMod::replaced, this, [this] {
        for (ReportPanel* panel : {pnlFindings, pnlTestReport}) {
            panel->hide();
            panel->clear();
        }
    });
    connect(mod_, &OpenMod::changed, this, [this] {
        if (!pnlTestReport->summary().isEmpty() && !pnlTestReport->windowTitle().contains(u'('))
            pnlTestReport->setWindowTitle(QStringLiteral("Test Mod (the mod changed since)"));
        highlightSearchInEditingFile();
    });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (highlightPending_)
            highlightSearchInEditingFile();
    });
}

// ---- What reading dropped ----------------------------------------------------

void TFormMain::showReadFindings(const std::vector<Finding>& findings,
                                 const std::vector<ReadingDifference>& differences) {
    pnlFindings->clear();
    if (findings.empty() && differences.empty()) {
        pnlFindings->hide();
        return;
    }
    const QString file = QDir::toNativeSeparators(currentFileName());
    if (!findings.empty() && findings.front().kind == FindingKind::NoModTags)
        pnlFindings->setSummary(
            QStringLiteral("%1 holds no mod tags: it is not a mod file. The editor shows it as "
                           "an empty mod; saving would write that over the file.")
                .arg(file.isEmpty() ? QStringLiteral("This file") : file));
    else if (!findings.empty())
        pnlFindings->setSummary(
            QStringLiteral("The format's reading rules drop or join what these lines hold, so "
                           "saving this mod would lose it. Fix them in a text editor first, or "
                           "save knowing what goes."));
    else
        pnlFindings->setSummary(
            QStringLiteral("YaBB's installer reads these lines of the file otherwise than the "
                           "editor shows them: what it installs is not what you see."));
    std::vector<ReportModel::Row> rows;
    for (const Finding& f : findings) {
        QString text =
            QStringLiteral("Line %1: %2").arg(f.line).arg(sentence(findingDescription(f.kind)));
        if (!f.text.empty())
            text += QStringLiteral("  ") + quoted(f.text, mod_->encoding());
        // The line leads to where the Preview lost it.
        rows.push_back({{text, Mark::Warning, int(f.line)}, {}});
    }
    for (const ReadingDifference& d : differences)
        rows.push_back({{QStringLiteral("Line %1: YaBB's installer: %2")
                             .arg(d.modLine)
                             .arg(decodeText(d.what, mod_->encoding())),
                         Mark::Warning,
                         {}},
                        {}});
    pnlFindings->report().setRows(std::move(rows));
    pnlFindings->present();
}

// ---- The check before a save -------------------------------------------------

std::shared_ptr<const std::string> TFormMain::textToSave() {
    auto text = std::make_shared<const std::string>(mod_->assemble());
    const ModDocument& doc = mod_->document();
    const std::optional<ReadBackProblem> problem = findReadBackProblem(doc, *text);
    if (!problem)
        return installerReadsAsShown(*text) ? text : nullptr;

    QString where;
    using Field = ReadBackProblem::Field;
    const Node* node = problem->node;
    if (!node) {
        where = problem->field == Field::Property
                    ? QStringLiteral("The %1").arg(QLatin1String(propertyName(problem->property)))
                    : QStringLiteral("The mod");
    } else if (node->kind() == akEditFile) {
        where = QStringLiteral("The edit-file node ") + decodeText(node->label(), mod_->encoding());
    } else if (!node->parent()) {
        where = QStringLiteral("The %1 before any edit file")
                    .arg(QString::fromLatin1(NodeLabels[std::size_t(node->kind())].data()));
    } else {
        where = QStringLiteral("Step %1 (%2) of %3")
                    .arg(doc.GetStep(node))
                    .arg(QString::fromLatin1(NodeLabels[std::size_t(node->kind())].data()),
                         decodeText(node->parent()->item().FileName, mod_->encoding()));
    }
    static const char* const fields[] = {"", "file name", "search text", "action text", ""};
    if (const char* field = fields[int(problem->field)]; *field)
        where += QStringLiteral(", ") + QLatin1String(field);
    if (problem->line)
        where += QStringLiteral(", line %1:\n    %2")
                     .arg(problem->line)
                     .arg(decodeText(problem->lineText, mod_->encoding()));
    else
        where += QLatin1Char(':');
    const QString question =
        QStringLiteral("This mod would not read back as it is: the mod format cannot mark a "
                       "tag or an empty first line as plain text.\n\n%1\n%2.\n\nSave anyway?")
            .arg(where, sentence(problem->why));
    if (prompts().confirmSaveAnyway(this, question))
        return text;

    // Back to the place to mend.
    if (node) {
        PageControl1->setCurrentWidget(tsModAction);
        selectNode(node);
        QWidget* field = problem->field == Field::FileName     ? memFileToEdit
                         : problem->field == Field::SearchText ? static_cast<QWidget*>(memSearch)
                         : problem->field == Field::ActionText ? static_cast<QWidget*>(memAndAction)
                                                               : tvActions;
        field->setFocus();
    } else if (problem->field == Field::Property) {
        PageControl1->setCurrentWidget(tsModProperty);
        QWidget* fields[] = {edtId, edtVersion, memDescription, edtAuthor, edtHomepage};
        fields[int(problem->property)]->setFocus();
    }
    return nullptr;
}

// Where the installer would read the text to save otherwise than the editor
// shows it: asked about, with the lines of the saved mod.
bool TFormMain::installerReadsAsShown(const std::string& text) {
    const std::vector<ReadingDifference> differences = readingDifferences(text);
    if (differences.empty())
        return true;
    QString list;
    for (std::size_t i = 0; i < differences.size() && i < 8; ++i)
        list += QStringLiteral("\n    Line %1: %2")
                    .arg(differences[i].modLine)
                    .arg(decodeText(differences[i].what, mod_->encoding()));
    if (differences.size() > 8)
        list += QStringLiteral("\n    ... and %1 more").arg(differences.size() - 8);
    return prompts().confirmSaveAnyway(
        this, QStringLiteral("YaBB's installer would read the saved mod otherwise than the "
                             "editor shows it:%1\n\nSave anyway?")
                  .arg(list));
}

// ---- Test Mod ----------------------------------------------------------------

void TFormMain::actTestModExecute() {
    CheckOptions options;
    if (!settings_.YaBB.empty())
        options.forumDirectory = forumScriptDirectory(settings_.YaBB);
    // And whether uninstalling gives back every file as it was.
    options.uninstall = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The installer reads the bytes Save writes, not the tree.
    const std::string text = mod_->assemble();
    const CheckReport report = checkMod(text, options);
    QApplication::restoreOverrideCursor();
    showTestReport(report);
}

void TFormMain::showTestReport(const CheckReport& report) {
    const TextEncoding encoding = mod_->encoding();
    pnlTestReport->setWindowTitle(QStringLiteral("Test Mod"));
    // The node that wrote each step, by the line of its "<search for>".
    std::unordered_map<std::size_t, const Node*> nodeAt;
    for (const NodeLine& at : assembledNodeLines(mod_->document()))
        nodeAt.emplace(at.line, at.node);
    const auto nodeOf = [&nodeAt](std::size_t line) {
        const auto found = nodeAt.find(line);
        return found == nodeAt.end() ? nullptr : found->second;
    };
    std::vector<ReportModel::Row> rows(report.files.size());
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const FileCheck& file = report.files[f];
        const QString name =
            file.name.empty() ? QStringLiteral("(no file name)") : decodeText(file.name, encoding);
        rows[f].entry = {name + QStringLiteral(": ") + decodeText(describeFile(file), encoding),
                         markOf(file), QVariant::fromValue(quintptr(nodeOf(file.modLine)))};
    }
    std::unordered_map<const Node*, QString> failed;
    std::size_t found = 0;
    forgetNearestPlaces();
    reportedLines_.clear();
    for (const StepCheck& step : report.steps) {
        const QString what = decodeText(describeStep(step), encoding);
        const Node* node = nodeOf(step.modLine);
        if (node && step.line)
            reportedLines_[node] = {step.line, step.diskLine};
        ReportModel::Row& row = rows[step.file];
        row.entries.push_back(
            {QStringLiteral("Step %1: %2").arg(step.step).arg(what), markOf(step),
             QVariant::fromValue(quintptr(node))});
        addNearestPlaceEntries(step, node, row.entries);
        if (markOf(step) == Mark::Failure) {
            row.entry.mark = Mark::Failure;
            if (node)
                failed.emplace(node, what);
        }
        found += step.status == StepCheck::Status::Found;
    }
    // What the installer says of the whole mod, and where it reads the mod
    // otherwise than the editor.
    if (!report.warnings.empty() || !report.differences.empty()) {
        ReportModel::Row& notes = rows.emplace_back();
        notes.entry = {QStringLiteral("Warnings"), Mark::Warning, {}};
        for (const CheckWarning& w : report.warnings)
            notes.entries.push_back({(w.modLine ? QStringLiteral("Line %1: ").arg(w.modLine)
                                                : QString()) +
                                         decodeText(w.what, encoding),
                                     Mark::Warning, {}});
        for (const ReadingDifference& d : report.differences)
            notes.entries.push_back({QStringLiteral("Line %1: ").arg(d.modLine) +
                                         decodeText(d.what, encoding),
                                     Mark::Warning, QVariant::fromValue(quintptr(nodeOf(d.modLine)))});
    }
    if (report.uninstall && report.passes()) {
        ReportModel::Row& row = rows.emplace_back();
        row.entry = {report.uninstall->restores
                         ? QStringLiteral("Uninstall: every file comes back byte for byte")
                         : QStringLiteral("Uninstall: not every file comes back as it was"),
                     report.uninstall->restores ? Mark::Good : Mark::Warning,
                     {}};
        for (const std::string& problem : report.uninstall->problems)
            row.entries.push_back({decodeText(problem, encoding), Mark::Warning, {}});
    }
    pnlTestReport->report().setRows(std::move(rows));
    const std::string verdict = formatReport(report);
    const QString first = decodeText(std::string_view(verdict).substr(0, verdict.find('\n')), encoding);
    if (settings_.YaBB.empty())
        pnlTestReport->setSummary(
            QStringLiteral("No forum script is configured (Tool > Preference...): the steps "
                           "could not be tested. Set the forum's YaBB.pl there and press F9 "
                           "again."));
    else
        pnlTestReport->setSummary(
            QStringLiteral("%1 Tested against %2, in memory; no forum file was changed. %3 of %4 "
                           "steps found.")
                .arg(first, QDir::toNativeSeparators(forumScriptLocation()))
                .arg(found)
                .arg(report.steps.size()));
    model_->markFailed(std::move(failed));
    pnlTestReport->present();
}

void TFormMain::goToReportedNode(const QVariant& key) {
    const auto* wanted = reinterpret_cast<const Node*>(key.value<quintptr>());
    // The node may have gone with an edit since the report was made.
    const ModDocument& doc = mod_->document();
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c) {
            if ((c < 0 ? top : top->child(c)) != wanted)
                continue;
            PageControl1->setCurrentWidget(tsModAction);
            selectNode(wanted);
            tvActions->setFocus();
            return;
        }
    }
}

// ---- The search text in the forum file -------------------------------------

// Where the selected search action's lines stand in the forum file shown, as
// the installer would find them: the first place, and the next if there is
// one. Worked out when the page shows.
void TFormMain::highlightSearchInEditingFile() {
    if (!memEditingFile->isVisible()) {
        highlightPending_ = true;
        return;
    }
    highlightPending_ = false;
    // The file after the step shows its change instead.
    if (showStepResult())
        return;
    const Node* node = selectedNode();
    std::vector<PlainTextView::LineRange> ranges;
    if (node && node->kind() != akEditFile && !memEditingFile->isEmpty()) {
        const InstallFile file(memEditingFile->bytes());
        std::deque<std::string> storage;
        const auto search = installerLines(node->item().SearchText, storage);
        if (const auto found = file.find(search)) {
            for (const std::size_t at : {found->line, found->again}) {
                if (at == std::string_view::npos)
                    continue;
                const int first = memEditingFile->lineOfByte(file.byteOffset(at));
                const int last =
                    memEditingFile->lineOfByte(file.byteOffset(at + search.size() - 1));
                ranges.push_back({first, last - first + 1});
            }
        }
    }
    memEditingFile->setHighlightedLines(ranges);
    if (!ranges.empty())
        memEditingFile->scrollToLines(ranges.front().first, ranges.front().count);
    showNearestPlace(ranges.empty() ? node : nullptr);
}

} // namespace torvale
