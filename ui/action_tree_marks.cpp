// The tree's marks on the steps that the last test of the mod found failing:
// a red sign on the node's picture, red text, and why in its tooltip.
#include "action_tree_model.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <vector>

namespace torvale {

namespace {

const QColor kFailed(200, 30, 30);

// The kind's picture with a red disc and a white bar in its lower right
// corner. Drawn in the picture's own units, so that it is as sharp on a screen
// of more pixels, where the picture comes with more.
QIcon markedIcon(const QIcon& kind) {
    constexpr int kSize = 16;
    QPixmap pixmap = kind.pixmap(QSize(kSize, kSize));
    if (pixmap.isNull()) {
        pixmap = QPixmap(kSize, kSize);
        pixmap.fill(Qt::transparent);
    }
    const qreal size = pixmap.deviceIndependentSize().width();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal d = size * 0.6;
    const QRectF disc(size - d, size - d, d, d);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFailed);
    painter.drawEllipse(disc);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(disc.left() + d * 0.2, disc.center().y() - d * 0.1, d * 0.6, d * 0.2));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

void ActionTreeModel::markFailed(std::unordered_map<const Node*, QString> marks) {
    clearMarks();
    marks_ = std::move(marks);
    emitMarksChanged(marks_);
}

void ActionTreeModel::clearMarks() {
    if (marks_.empty())
        return;
    const auto old = std::move(marks_);
    marks_.clear();
    emitMarksChanged(old);
}

// One range of rows for each parent, in the order of the rows: the tree finds
// a row by looking near the one it found last, and a mark for each of
// thousands of steps in any other order cost seconds.
void ActionTreeModel::emitMarksChanged(const std::unordered_map<const Node*, QString>& marks) {
    std::vector<std::pair<int, int>> places; // (the parent's row or -1, the row)
    places.reserve(marks.size());
    for (const auto& [node, why] : marks)
        places.emplace_back(node->parent() ? node->parent()->row() : -1, node->row());
    std::ranges::sort(places);
    const QList<int> roles = {Qt::DecorationRole, Qt::ForegroundRole, Qt::ToolTipRole};
    for (std::size_t i = 0; i < places.size();) {
        std::size_t last = i;
        while (last + 1 < places.size() && places[last + 1].first == places[i].first)
            ++last;
        const QModelIndex parent = places[i].first < 0 ? QModelIndex() : index(places[i].first, 0);
        emit dataChanged(index(places[i].second, 0, parent), index(places[last].second, 0, parent),
                         roles);
        i = last + 1;
    }
}

QVariant ActionTreeModel::markData(const Node& node, int role) const {
    switch (role) {
    case Qt::ForegroundRole:
        return kFailed;
    case Qt::DecorationRole: {
        QIcon& icon = markedIcons_[std::size_t(node.kind())];
        if (icon.isNull())
            icon = markedIcon(icons_[std::size_t(node.kind())]);
        return icon;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return QStringLiteral("Test Mod: ") + marks_.at(&node) + QLatin1Char('\n') + toolTip(node);
    default:
        return {};
    }
}

} // namespace torvale
