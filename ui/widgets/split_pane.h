// Two panes stacked without a splitter, sharing the height equally; an odd
// pixel goes to the lower one.
#pragma once

#include <QWidget>

namespace torvale {

class SplitPane : public QWidget {
    Q_OBJECT

public:
    SplitPane(QWidget* upper, QWidget* lower, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* upper_;
    QWidget* lower_;
};

} // namespace torvale
