// The action tree of the open mod as a Qt item model: a view that reads the
// document of its OpenMod and follows each of its changes as it happens.
#pragma once

#include "open_mod.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <array>
#include <unordered_map>

namespace torvale {

class ActionTreeModel : public QAbstractItemModel, private EditObserver {
    Q_OBJECT

public:
    explicit ActionTreeModel(OpenMod& mod, QObject* parent = nullptr);

    const ModDocument& document() const { return mod_.document(); }
    TextEncoding encoding() const { return mod_.encoding(); }

    // Pictures of the four kinds, by ActionKind.
    void setKindIcons(std::array<QIcon, kActionKindCount> icons) {
        icons_ = std::move(icons);
        markedIcons_ = {};
    }

    // Nodes that the last test of the mod found failing, each with why: shown
    // marked until the next test or the next change of the document.
    void markFailed(std::unordered_map<const Node*, QString> marks);
    void clearMarks();
    bool isMarked(const Node* node) const { return marks_.contains(node); }

    Node* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexFromNode(const Node* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void beforeInsert(const Node* parent, int row) override;
    void afterInsert(const Node* node) override;
    void beforeRemove(const Node* node) override;
    void afterRemove() override;
    void beforeMove(const Node* node, const Node* newParent, int beforeRow) override;
    void afterMove(const Node* node) override;
    void nodeChanged(const Node* node) override;
    void allTextsChanged() override;
    QString toolTip(const Node& node) const;
    // action_tree_marks.cpp
    QVariant markData(const Node& node, int role) const;
    void emitMarksChanged(const std::unordered_map<const Node*, QString>& marks);

    OpenMod& mod_;
    std::array<QIcon, kActionKindCount> icons_;
    std::unordered_map<const Node*, QString> marks_;
    mutable std::array<QIcon, kActionKindCount> markedIcons_;
};

} // namespace torvale
