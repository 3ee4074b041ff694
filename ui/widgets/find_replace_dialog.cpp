// FindReplaceDialog: the fields and buttons of the Find and Replace dialogs.
#include "find_replace_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace torvale {

namespace {

QLineEdit* textEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setMinimumWidth(240);
    return edit;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(QLatin1String(name));
    pushButton->setAutoDefault(false);
    return pushButton;
}

} // namespace

FindReplaceDialog::FindReplaceDialog(Mode mode, QWidget* parent) : QDialog(parent) {
    const bool replacing = mode == Mode::Replace;
    setObjectName(replacing ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(replacing ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);

    auto* fields = new QGridLayout;
    findEdit_ = textEdit("edtFindText", this);
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findLabel->setBuddy(findEdit_);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(findEdit_, 0, 1);
    if (replacing) {
        replaceEdit_ = textEdit("edtReplaceText", this);
        auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
        replaceLabel->setBuddy(replaceEdit_);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(replaceEdit_, 1, 1);
    }
    fields->setRowStretch(fields->rowCount(), 1);

    auto* buttons = new QVBoxLayout;
    findNext_ = button("btnFindNext", QStringLiteral("&Find Next"), this);
    findNext_->setDefault(true);
    buttons->addWidget(findNext_);
    connect(findNext_, &QPushButton::clicked, this, &FindReplaceDialog::findNextRequested);
    if (replacing) {
        replace_ = button("btnReplace", QStringLiteral("&Replace"), this);
        replaceAll_ = button("btnReplaceAll", QStringLiteral("Replace &All"), this);
        buttons->addWidget(replace_);
        buttons->addWidget(replaceAll_);
        connect(replace_, &QPushButton::clicked, this, &FindReplaceDialog::replaceRequested);
        connect(replaceAll_, &QPushButton::clicked, this, &FindReplaceDialog::replaceAllRequested);
    }
    auto* cancel = button("btnCancel", QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(findEdit_, &QLineEdit::textChanged, this, &FindReplaceDialog::updateButtons);
    updateButtons();
}

QString FindReplaceDialog::findText() const {
    return findEdit_->text();
}

QString FindReplaceDialog::replaceText() const {
    return replaceEdit_ ? replaceEdit_->text() : QString();
}

void FindReplaceDialog::setReplaceEnabled(bool enabled) {
    replaceEnabled_ = enabled;
    updateButtons();
}

// Nothing to search for, nothing to press.
void FindReplaceDialog::updateButtons() {
    const bool searchable = !findEdit_->text().isEmpty();
    findNext_->setEnabled(searchable);
    if (replace_) {
        replace_->setEnabled(searchable && replaceEnabled_);
        replaceAll_->setEnabled(searchable && replaceEnabled_);
    }
}

void FindReplaceDialog::present() {
    show();
    raise();
    activateWindow();
    findEdit_->setFocus();
    findEdit_->selectAll();
}

void FindReplaceDialog::keepClearOf(const QRect& area) {
    QRect frame = frameGeometry();
    if (!frame.intersects(area))
        return;
    const QRect screen = this->screen()->availableGeometry();
    // Above when there is room, as most editors do; else below.
    if (area.top() - frame.height() >= screen.top())
        frame.moveBottom(area.top() - 1);
    else
        frame.moveTop(std::min(area.bottom() + 1, screen.bottom() - frame.height()));
    move(frame.topLeft());
}

} // namespace torvale
