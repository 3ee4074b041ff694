// Between the forum file and the steps: line numbers, Go to Line, Search for
// Selection, the forum file beside the step editor, and the Preview's and the
// Lost Content panel's lines leading to what wrote them.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/plain_text_view.h"
#include "widgets/report_panel.h"
#include "widgets/side_splitter.h"
#include "widgets/split_pane.h"

#include "document/assembled_lines.h"
#include "document/file_io.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <array>
#include <functional>

namespace torvale {

namespace {

// Calls back on a double click with the left button.
class DoubleClicks : public QObject {
public:
    DoubleClicks(QWidget* watched, std::function<void(QPoint)> onDoubleClick)
        : QObject(watched), onDoubleClick_(std::move(onDoubleClick)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            // After the view has taken the click as its own.
            QMetaObject::invokeMethod(this, [this, pos] { onDoubleClick_(pos); },
                                      Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QPoint)> onDoubleClick_;
};

} // namespace

void TFormMain::createForumFileCommands() {
    memEditingFile->setLineNumbersShown(true);
    memPreview->setLineNumbersShown(true);

    // The step editor and the forum file side by side, when asked for.
    forumBeside_ = new QSplitter(Qt::Horizontal);
    forumBeside_->setObjectName(QStringLiteral("splForumBeside"));
    forumBeside_->setChildrenCollapsible(false);
    Splitter1->replaceWidget(1, forumBeside_);
    forumBeside_->addWidget(pnlCodeEditor);
    QAction* beside = command("actForumFileBeside");
    beside->setCheckable(true);
    connect(beside, &QAction::toggled, this, [this](bool on) { showForumFileBeside(on); });

    pmForMemo->addSeparator();
    pmForMemo->addAction(command("actSearchForSelection"));
    pmForMemo->addAction(command("actGoToLine"));
    pmForMemo->addAction(command("actStepResult"));
    connect(command("actGoToLine"), &QAction::triggered, this, [this] { actGoToLineExecute(); });
    connect(command("actSearchForSelection"), &QAction::triggered, this,
            [this] { actSearchForSelectionExecute(); });
    new DoubleClicks(memPreview->viewport(),
                     [this](QPoint pos) { selectNodeOfPreviewLine(memPreview->positionAt(pos).line); });
    // A file name typed and confirmed shows its file at once, with no need to
    // select the node anew.
    connect(memFileToEdit, &QLineEdit::editingFinished, this, [this] {
        const Node* node = selectedNode();
        if (node && node->kind() == akEditFile && memEditingFile->isVisible())
            LoadEditingFile(node);
    });
    connect(pnlFindings, &ReportPanel::activated, this, [this](const QVariant& key) {
        showFileLineInPreview(key.toInt());
    });
    // After the panel has selected the step's node.
    new DoubleClicks(pnlTestReport->view()->viewport(), [this](QPoint pos) { showReportedLine(pos); });
}

// Moves the forum file's caption and view from their page to beside the step
// editor, or back; the page's tab shows only while they are on it.
void TFormMain::showForumFileBeside(bool on) {
    QLayout* page = tsEditingFile->layout();
    if (on) {
        for (QWidget* part : std::initializer_list<QWidget*>{pnlEditingFile, memEditingFile})
            page->removeWidget(part);
        auto* pane = new QWidget;
        pane->setObjectName(QStringLiteral("pnlForumBeside"));
        auto* layout = new QVBoxLayout(pane);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(pnlEditingFile);
        layout->addWidget(memEditingFile, 1);
        forumBeside_->addWidget(pane);
        const int half = std::max(forumBeside_->width() / 2, 1);
        forumBeside_->setSizes({half, half});
        if (PageControl1->currentWidget() == tsEditingFile)
            PageControl1->setCurrentWidget(tsModAction);
        PageControl1->setTabVisible(PageControl1->indexOf(tsEditingFile), false);
    } else {
        QWidget* pane = forumBeside_->widget(1);
        if (!pane)
            return;
        page->addWidget(pnlEditingFile);
        page->addWidget(memEditingFile);
        pane->deleteLater();
        pane->setParent(nullptr);
        PageControl1->setTabVisible(PageControl1->indexOf(tsEditingFile), true);
    }
    pnlEditingFile->show();
    memEditingFile->show();
    if (on && selectedNode()) {
        LoadEditingFile(selectedNode());
        highlightSearchInEditingFile();
    }
    updateCommandStates();
}

// The view Go to Line and Search for Selection act on: the focused one, else
// the forum file where it is in sight.
PlainTextView* TFormMain::lineView() const {
    QWidget* focus = focusWidget();
    if (focus == memPreview || focus == memEditingFile)
        return static_cast<PlainTextView*>(focus);
    if (memEditingFile->isVisible())
        return memEditingFile;
    return memPreview->isVisible() ? memPreview : nullptr;
}

void TFormMain::actGoToLineExecute() {
    PlainTextView* view = lineView();
    if (!view || view->isEmpty())
        return;
    // The numbers of the margin, which lines taken out by a step do not have.
    const int last = view->numberOfLine(view->lineCount() - 1);
    const int current = view->numberOfLine(view->cursorPosition().line);
    const int line = prompts().askLineNumber(this, std::max(last, 1), std::max(current, 1));
    if (line <= 0)
        return;
    view->setFocus();
    view->setCursorPosition(view->lineOfNumber(line), 0);
    view->scrollToLines(view->cursorPosition().line);
}

// The selected lines of the forum file, whole and without the last line
// break, become a search text: the selected step's, or a new step's of the
// chosen kind at the end of the group of that file, after the selected step.
void TFormMain::actSearchForSelectionExecute() {
    const Node* selected = selectedNode();
    if (!selected || !memEditingFile->hasSelection())
        return;
    const Node* group = selected->parent() ? selected->parent() : selected;
    if (group->kind() != akEditFile)
        return;
    PlainTextView::Position start = memEditingFile->selectionStart();
    PlainTextView::Position end = memEditingFile->selectionEnd();
    // A selection that ends at the start of a line does not take that line.
    if (end.column == 0 && end.line > start.line)
        --end.line;
    QStringList lines;
    for (int line = start.line; line <= end.line; ++line)
        lines << memEditingFile->lineText(line);
    const QString text = encodableText(lines.join(QLatin1Char('\n')));

    QStringList choices;
    const bool searchAction = selected->kind() != akEditFile;
    if (searchAction)
        choices << QStringLiteral("Search Text of the Selected Step");
    for (int kind : {akSearchReplace, akSearchAddBefore, akSearchAddAfter})
        choices << QStringLiteral("New \"%1\" Step").arg(QLatin1String(NodeLabels[std::size_t(kind)].data()));
    const QRect caret = memEditingFile->cursorRect();
    int chosen = prompts().chooseFromMenu(
        this, choices, memEditingFile->viewport()->mapToGlobal(caret.bottomLeft()));
    if (chosen < 0)
        return;
    const Text searchText = encodeText(text, mod_->encoding());
    if (searchAction && chosen == 0) {
        mod_->setText(selected, OpenMod::Field::SearchText, searchText, false);
        showSelectedNode();
    } else {
        TItem item;
        item.Kind = std::array{akSearchReplace, akSearchAddBefore, akSearchAddAfter}[std::size_t(
            chosen - (searchAction ? 1 : 0))];
        item.SearchText = searchText;
        const int row = selected->parent() == group ? selected->row() + 1 : group->childCount();
        selectNode(mod_->insertNode({group->row(), row}, NodeCopy{std::move(item), LabelForm::Added, {}}));
    }
    highlightSearchInEditingFile();
    // On to what the step puts in.
    memAndAction->setFocus();
}

void TFormMain::selectNodeOfPreviewLine(int line) {
    if (line < 0 || !preview_)
        return;
    const AssembledLineOwner owner = ownerOfAssembledLine(mod_->document(), std::size_t(line));
    if (owner.property) {
        PageControl1->setCurrentWidget(tsModProperty);
        return;
    }
    if (!owner.node)
        return;
    PageControl1->setCurrentWidget(tsModAction);
    selectNode(nodeAt(mod_->document(), *owner.node));
    tvActions->setFocus();
}

// A double-click on a step of the Test Mod report, which the panel has
// selected: on its line in the file as the steps before left it, or on its
// line on disk, shows the forum file there.
void TFormMain::showReportedLine(QPoint pos) {
    QTreeView* view = pnlTestReport->view();
    const QModelIndex index = view->indexAt(pos);
    const auto* node =
        reinterpret_cast<const Node*>(index.data(ReportModel::KeyRole).value<quintptr>());
    const auto lines = reportedLines_.find(node);
    if (!node || lines == reportedLines_.end() || selectedNode() != node)
        return;
    const auto [line, diskLine] = lines->second;
    // "found at line 12 (line 10 on disk)": which of the two was clicked.
    const QString text = index.data().toString();
    const qsizetype disk = text.lastIndexOf(QStringLiteral(" on disk)"));
    bool onDisk = false;
    if (diskLine && disk >= 0) {
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = view->visualRect(index);
        option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.text = text;
        const int icon = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
        option.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(icon, icon);
        option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        const QRect shown = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, view);
        const qsizetype open = text.lastIndexOf(u'(', disk);
        onDisk = pos.x() >= shown.left() + view->fontMetrics().horizontalAdvance(text.left(open));
    }
    showFileLineOfStep(onDisk ? diskLine : line, onDisk);
}

// What a finding's line held is not in the mod any more; the Preview shows
// where it was lost: the block of the node read last before it, or the top.
void TFormMain::showFileLineInPreview(int line) {
    if (line <= 0)
        return;
    const FileBytes file = readFileBytes(QFile::encodeName(mod_->path()).toStdString(), kMaxModFileSize);
    const ModDocument& doc = mod_->document();
    const std::optional<NodePath> node =
        file.ok ? nodeBeforeFileLine(doc, file.bytes(), std::size_t(line)) : std::nullopt;
    PageControl1->setCurrentWidget(tsPreview);
    if (memPreview->isEmpty())
        return;
    const int at =
        std::min(node ? int(assembledLineOfNode(doc, *node)) : 0, memPreview->lineCount() - 1);
    memPreview->setFocus();
    memPreview->setSelection(at, 0, at, int(memPreview->lineText(at).size()));
    memPreview->scrollToLines(at);
}

} // namespace torvale
