// The tree's marks on the steps that the last test of the mod found failing:
// a red sign on the node's picture, red text, and why in its tooltip.
#include "action_tree_model.h"

#include <QPainter>
#include <QPixmap>

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

void ActionTreeModel::emitMarksChanged(const std::unordered_map<const Node*, QString>& marks) {
    for (const auto& [node, why] : marks) {
        const QModelIndex at = indexFromNode(node);
        emit dataChanged(at, at, {Qt::DecorationRole, Qt::ForegroundRole, Qt::ToolTipRole});
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
