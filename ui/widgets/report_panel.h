// A panel of results beside the window's pages, which the user reads while
// working on and closes when done: a summary line and a list of entries,
// grouped under headings, each marked with how it went.
#pragma once

#include <QDockWidget>
#include <QVariant>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace torvale {

class ReportPanel : public QDockWidget {
    Q_OBJECT

public:
    enum class Mark { None, Good, Warning, Failure };

    explicit ReportPanel(const QString& title, QWidget* parent = nullptr);

    void clear();
    void setSummary(const QString& text);
    QString summary() const;
    // A heading at the top level; entries go below it or, with no heading, at
    // the top level too. key is handed back when the user picks the entry.
    QTreeWidgetItem* addHeading(const QString& text, Mark mark);
    QTreeWidgetItem* addEntry(QTreeWidgetItem* heading, const QString& text, Mark mark,
                              const QVariant& key = {});
    void setMark(QTreeWidgetItem* item, Mark mark);
    // Shows every entry and brings the panel to the front.
    void present();

    QTreeWidget* list() const { return list_; }

signals:
    // An entry with a key was double-clicked or chosen with Enter.
    void activated(const QVariant& key);

private:
    QLabel* summary_;
    QTreeWidget* list_;
};

} // namespace torvale
