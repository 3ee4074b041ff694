// SideSplitter: QSplitter shares a new size in proportion to the panes, which
// would change the first pane's width by itself; here the rest pane takes it.
#include "side_splitter.h"

#include <QResizeEvent>

namespace torvale {

SideSplitter::SideSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    connect(this, &QSplitter::splitterMoved, this, [this](int position, int index) {
        if (index == 1)
            sideWidth_ = position;
    });
}

void SideSplitter::setSideWidth(int width) {
    // Far beyond any screen, and far from the sums that would overflow.
    sideWidth_ = std::clamp(width, 0, 16384);
    applySideWidth();
}

void SideSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    applySideWidth();
}

void SideSplitter::applySideWidth() {
    if (count() < 2)
        return;
    const int rest = std::max(width() - sideWidth_ - handleWidth(), 0);
    setSizes({sideWidth_, rest});
}

} // namespace torvale
