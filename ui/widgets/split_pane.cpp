// SplitPane: two stacked panes that always share the height equally.
#include "split_pane.h"

#include <QResizeEvent>

namespace torvale {

SplitPane::SplitPane(QWidget* upper, QWidget* lower, QWidget* parent)
    : QWidget(parent), upper_(upper), lower_(lower) {
    upper_->setParent(this);
    lower_->setParent(this);
}

QSize SplitPane::sizeHint() const {
    const QSize a = upper_->sizeHint();
    const QSize b = lower_->sizeHint();
    return {std::max(a.width(), b.width()), a.height() + b.height()};
}

QSize SplitPane::minimumSizeHint() const {
    const QSize a = upper_->minimumSizeHint();
    const QSize b = lower_->minimumSizeHint();
    return {std::max(a.width(), b.width()), 2 * std::max(a.height(), b.height())};
}

void SplitPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    const int upperHeight = height() / 2;
    upper_->setGeometry(0, 0, w, upperHeight);
    lower_->setGeometry(0, upperHeight, w, height() - upperHeight);
}

} // namespace torvale
