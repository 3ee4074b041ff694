// A panel of results beside the window's pages, which the user reads while
// working on and closes when done: a summary line and the report's entries,
// grouped under headings, each marked with how it went.
#pragma once

#include "report_model.h"

#include <QDockWidget>
#include <QVariant>

class QAction;
class QHBoxLayout;
class QLabel;
class QTreeView;

namespace torvale {

class ReportPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit ReportPanel(const QString& title, QWidget* parent = nullptr);

    // The entries; the panel shows them as they are set.
    ReportModel& report() { return *model_; }
    const ReportModel& report() const { return *model_; }
    void setSummary(const QString& text);
    QString summary() const;
    void clear();
    // Shows every entry and brings the panel to the front.
    void present();

    QTreeView* view() const { return view_; }
    // A command on the entries, offered as a button beside the summary and in
    // the entries' context menu.
    void addCommand(QAction* action);

signals:
    // An entry with a key was double-clicked or chosen with Enter.
    void activated(const QVariant& key);
    // The current entry changed; key is invalid for one that leads nowhere.
    void currentChanged(const QVariant& key);

private:
    ReportModel* model_;
    QLabel* summary_;
    QTreeView* view_;
    QHBoxLayout* top_;
};

} // namespace torvale
