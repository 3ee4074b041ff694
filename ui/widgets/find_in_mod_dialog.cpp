// FindInModDialog: the fields and buttons of Find in Mod.
#include "find_in_mod_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace torvale {

FindInModDialog::FindInModDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindInModDialog"));
    setWindowTitle(QStringLiteral("Find in Mod"));
    setModal(false);
    findEdit_ = new QLineEdit(this);
    findEdit_->setObjectName(QStringLiteral("edtFindInMod"));
    replaceEdit_ = new QLineEdit(this);
    replaceEdit_->setObjectName(QStringLiteral("edtReplaceInMod"));
    for (QLineEdit* edit : {findEdit_, replaceEdit_}) {
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setMinimumWidth(280);
    }
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Fi&nd what:"), findEdit_);
    fields->addRow(QStringLiteral("Re&place with:"), replaceEdit_);

    findAll_ = new QPushButton(QStringLiteral("&Find All"), this);
    findAll_->setObjectName(QStringLiteral("btnFindAll"));
    findAll_->setDefault(true);
    replaceAll_ = new QPushButton(QStringLiteral("Replace &All"), this);
    replaceAll_->setObjectName(QStringLiteral("btnReplaceAll"));
    replaceAll_->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {findAll_, replaceAll_, close})
        buttons->addWidget(button);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(findAll_, &QPushButton::clicked, this, &FindInModDialog::findAllRequested);
    connect(replaceAll_, &QPushButton::clicked, this, &FindInModDialog::replaceAllRequested);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    const auto update = [this] {
        findAll_->setEnabled(!findEdit_->text().isEmpty());
        replaceAll_->setEnabled(!findEdit_->text().isEmpty());
    };
    connect(findEdit_, &QLineEdit::textChanged, this, update);
    update();
}

QString FindInModDialog::findText() const {
    return findEdit_->text();
}

QString FindInModDialog::replaceText() const {
    return replaceEdit_->text();
}

void FindInModDialog::present(const QString& text) {
    if (!text.isEmpty())
        findEdit_->setText(text);
    show();
    raise();
    activateWindow();
    findEdit_->setFocus();
    findEdit_->selectAll();
}

} // namespace torvale
