// The report panel: a dock of the main window holding a summary and a tree of
// the report's entries, whose entries lead back to what they are about.
#include "report_panel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace torvale {

ReportPanel::ReportPanel(const QString& title, QWidget* parent)
    : QDockWidget(title, parent), model_(new ReportModel(this)), summary_(new QLabel),
      view_(new QTreeView) {
    setFeatures(DockWidgetClosable | DockWidgetMovable);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top_ = new QHBoxLayout;
    top_->addWidget(summary_, 1);
    layout->addLayout(top_);
    view_->setModel(model_);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setAccessibleName(title);
    view_->header()->setStretchLastSection(true);
    layout->addWidget(view_);
    setWidget(body);
    // Activation is a double click, or Enter, or what else the desktop makes it.
    connect(view_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        const QVariant key = index.data(ReportModel::KeyRole);
        if (key.isValid())
            emit activated(key);
    });
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { emit currentChanged(current.data(ReportModel::KeyRole)); });
}

void ReportPanel::addCommand(QAction* action) {
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    top_->addWidget(button, 0, Qt::AlignTop);
    view_->addAction(action);
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ReportPanel::setSummary(const QString& text) {
    summary_->setText(text);
}

QString ReportPanel::summary() const {
    return summary_->text();
}

void ReportPanel::clear() {
    model_->clear();
    summary_->clear();
}

void ReportPanel::present() {
    // A flat list keeps its text at the left edge, clear of room for branches.
    view_->setRootIsDecorated(std::ranges::any_of(
        model_->rows(), [](const ReportModel::Row& row) { return !row.entries.empty(); }));
    view_->expandAll();
    show();
    raise();
    // As tall as the entries need, up to a third of the window: the pages
    // above stay in use.
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (!window || isFloating())
        return;
    std::size_t rows = model_->rows().size();
    for (const ReportModel::Row& row : model_->rows())
        rows += row.entries.size();
    const int row = std::max(view_->sizeHintForRow(0), fontMetrics().height());
    const int wanted = summary_->sizeHint().height() +
                       int(std::min<std::size_t>(rows, 64) + 1) * row + 2 * view_->frameWidth() +
                       fontMetrics().height() + 16;
    window->resizeDocks({this}, {std::clamp(wanted, 6 * row, window->height() / 3)}, Qt::Vertical);
}

} // namespace torvale
