// The report panel: a dock of the main window holding a summary and a list,
// whose entries lead back to what they are about.
#include "report_panel.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>

namespace torvale {

namespace {

constexpr int kKeyRole = Qt::UserRole;

QIcon iconOf(ReportPanel::Mark mark) {
    QStyle* style = QApplication::style();
    switch (mark) {
    case ReportPanel::Mark::Good:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case ReportPanel::Mark::Warning:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case ReportPanel::Mark::Failure:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case ReportPanel::Mark::None:
        break;
    }
    return {};
}

} // namespace

ReportPanel::ReportPanel(const QString& title, QWidget* parent)
    : QDockWidget(title, parent), summary_(new QLabel), list_(new QTreeWidget) {
    setFeatures(DockWidgetClosable | DockWidgetMovable);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    list_->setHeaderHidden(true);
    list_->setColumnCount(1);
    list_->setRootIsDecorated(true);
    list_->setUniformRowHeights(true);
    list_->setAccessibleName(title);
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_);
    setWidget(body);

    // Activation is a double click, or Enter, or what else the desktop makes it.
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item && item->data(0, kKeyRole).isValid())
            emit activated(item->data(0, kKeyRole));
    });
}

void ReportPanel::clear() {
    list_->clear();
    summary_->clear();
}

void ReportPanel::setSummary(const QString& text) {
    summary_->setText(text);
}

QString ReportPanel::summary() const {
    return summary_->text();
}

QTreeWidgetItem* ReportPanel::addHeading(const QString& text, Mark mark) {
    auto* item = new QTreeWidgetItem(list_, {text});
    item->setIcon(0, iconOf(mark));
    return item;
}

QTreeWidgetItem* ReportPanel::addEntry(QTreeWidgetItem* heading, const QString& text, Mark mark,
                                       const QVariant& key) {
    auto* item =
        heading ? new QTreeWidgetItem(heading, {text}) : new QTreeWidgetItem(list_, {text});
    item->setIcon(0, iconOf(mark));
    if (key.isValid()) {
        item->setData(0, kKeyRole, key);
        item->setToolTip(0, text + QStringLiteral("\nDouble-click to go there."));
    } else {
        item->setToolTip(0, text);
    }
    return item;
}

void ReportPanel::setMark(QTreeWidgetItem* item, Mark mark) {
    item->setIcon(0, iconOf(mark));
}

void ReportPanel::present() {
    list_->expandAll();
    show();
    raise();
    // As tall as the entries need, up to a third of the window: the pages
    // above stay in use.
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (!window || isFloating())
        return;
    int rows = 0;
    for (QTreeWidgetItemIterator it(list_); *it; ++it)
        ++rows;
    const int row = std::max(list_->sizeHintForRow(0), fontMetrics().height());
    const int wanted = widget()->sizeHint().height() - list_->sizeHint().height() +
                       (rows + 1) * row + 2 * list_->frameWidth() +
                       (titleBarWidget() ? titleBarWidget()->height() : fontMetrics().height() + 8);
    window->resizeDocks({this}, {std::clamp(wanted, 6 * row, window->height() / 3)}, Qt::Vertical);
}

} // namespace torvale
