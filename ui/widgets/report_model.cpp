// The report's rows as a Qt item model: top-level rows carry no id, the
// entries below a heading carry the heading's row plus one.
#include "report_model.h"

#include <QApplication>
#include <QStyle>

namespace torvale {

namespace {

// Made once: the style draws or loads a picture anew each time it is asked.
QIcon iconOf(ReportModel::Mark mark) {
    static const QIcon icons[] = {
        QIcon(),
        QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton),
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning),
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical),
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation),
    };
    return icons[int(mark)];
}

} // namespace

ReportModel::ReportModel(QObject* parent) : QAbstractItemModel(parent) {}

void ReportModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

const ReportModel::Entry* ReportModel::entryAt(const QModelIndex& index) const {
    if (!index.isValid())
        return nullptr;
    if (index.internalId() == 0)
        return &rows_[std::size_t(index.row())].entry;
    return &rows_[index.internalId() - 1].entries[std::size_t(index.row())];
}

QModelIndex ReportModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    return createIndex(row, 0, parent.isValid() ? quintptr(parent.row()) + 1 : 0);
}

QModelIndex ReportModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(rows_.size());
    if (parent.column() != 0 || parent.internalId() != 0)
        return 0;
    return int(rows_[std::size_t(parent.row())].entries.size());
}

int ReportModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    const Entry* entry = entryAt(index);
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return entry->text;
    case Qt::DecorationRole:
        return iconOf(entry->mark);
    case Qt::ToolTipRole: {
        QString tip = entry->text;
        if (!entry->detail.isEmpty())
            tip += QLatin1Char('\n') + entry->detail;
        return entry->key.isValid() ? tip + QStringLiteral("\nDouble-click to go there.") : tip;
    }
    case KeyRole:
        return entry->key;
    default:
        return {};
    }
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.internalId() != 0 ? flags | Qt::ItemNeverHasChildren : flags;
}

} // namespace torvale
