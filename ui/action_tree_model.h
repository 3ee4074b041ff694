// The action tree of the document as a Qt item model. The document is the
// truth; every change goes through the operations here, which tell the views.
#pragma once

#include "document/mod_document.h"
#include "document/text_encoding.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <array>

namespace torvale {

class ActionTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit ActionTreeModel(QObject* parent = nullptr);

    const ModDocument& document() const { return doc_; }
    // Replaces the whole document, as after a read.
    void resetDocument(ModDocument doc, TextEncoding encoding);
    TextEncoding encoding() const { return encoding_; }
    void setProperty(Property p, std::string value) { doc_.setProperty(p, std::move(value)); }

    // Pictures of the four kinds, by ActionKind.
    void setKindIcons(std::array<QIcon, kActionKindCount> icons) { icons_ = std::move(icons); }

    Node* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexFromNode(const Node* node) const;

    // The operations of the editing commands. parent nullptr is the top level.
    QModelIndex appendNode(Node* parent, TItem item, LabelForm form = LabelForm::Added);
    void removeNode(Node* node);
    // False when the move is not possible or changes nothing.
    bool moveNode(Node* node, Node* newParent, int beforeRow);
    void setKind(Node* node, std::int32_t kind);
    void setFileName(Node* node, std::string fileName);
    void setTexts(Node* node, std::string searchText, std::string actionText);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void nodeChanged(Node* node);
    QString toolTip(const Node& node) const;

    ModDocument doc_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::array<QIcon, kActionKindCount> icons_;
};

} // namespace torvale
