// The entries of a report as a tree of two levels: headings with entries
// below them, and entries on their own, each marked with how it went and
// carrying a key that leads back to what it is about.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QVariant>

#include <vector>

namespace torvale {

class ReportModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum class Mark { None, Good, Warning, Failure, Untested };
    static constexpr int KeyRole = Qt::UserRole;

    struct Entry {
        QString text;
        Mark mark = Mark::None;
        QVariant key; // invalid for entries that lead nowhere
        QString detail = {}; // more than the line shows, for its tooltip
    };
    // A row of the top level: a heading with entries, or an entry on its own.
    struct Row {
        Entry entry;
        std::vector<Entry> entries;
    };

    explicit ReportModel(QObject* parent = nullptr);

    // The whole report at once: a report of a large mod has tens of thousands
    // of entries, which are a few moves here and one reset for the views.
    void setRows(std::vector<Row> rows);
    void clear() { setRows({}); }
    const std::vector<Row>& rows() const { return rows_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const Entry* entryAt(const QModelIndex& index) const;

    std::vector<Row> rows_;
};

} // namespace torvale
