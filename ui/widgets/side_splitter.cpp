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
    // However wide the side is meant to be, the rest keeps room to work in:
    // a third of the splitter, or 300 pixels when that is more and fits.
    const int room = std::max(width() - handleWidth(), 0);
    const int kept = std::min(std::max(room / 3, 300), room / 2);
    const int side = std::min(sideWidth_, room - kept);
    setSizes({side, room - side});
}

} // namespace torvale
