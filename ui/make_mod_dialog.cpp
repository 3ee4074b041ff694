// The dialog of New Mod from Changes: two folders, the core's make run on
// them, and each changed file listed with its steps or why it is left out.
#include "make_mod_dialog.h"

#include "user_prompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace torvale {

namespace {

std::filesystem::path localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

MakeModDialog::MakeModDialog(UserPrompts& prompts, const QString& original, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    setWindowTitle(QStringLiteral("New Mod from Changes"));
    auto* form = new QFormLayout;
    const auto folderRow = [&](const QString& label, const char* fieldName, const char* buttonName,
                               const QString& caption) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QLatin1String(fieldName));
        auto* browseButton = new QPushButton(QStringLiteral("Browse..."), this);
        browseButton->setObjectName(QLatin1String(buttonName));
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(browseButton);
        auto* name = new QLabel(label, this);
        name->setBuddy(field);
        form->addRow(name, row);
        connect(browseButton, &QPushButton::clicked, this,
                [this, field, caption] { browse(field, caption); });
        connect(field, &QLineEdit::textEdited, this, [this] { forget(); });
        return field;
    };
    edOriginal = folderRow(QStringLiteral("&Original forum folder:"), "edOriginal",
                           "btnBrowseOriginal", QStringLiteral("The forum as it was"));
    edChanged = folderRow(QStringLiteral("&Changed copy:"), "edChanged", "btnBrowseChanged",
                          QStringLiteral("The forum as you changed it"));
    edOriginal->setText(original);

    auto* find = new QPushButton(QStringLiteral("&Find Changes"), this);
    find->setObjectName(QStringLiteral("btnFindChanges"));
    connect(find, &QPushButton::clicked, this, [this] { findChanges(); });

    lvFiles = new QTreeWidget(this);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    lvFiles->setRootIsDecorated(false);
    lvFiles->setHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Steps"), QStringLiteral("Note")});
    lvFiles->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lvFiles->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    lblSummary =
        new QLabel(QStringLiteral("Choose the forum as it was and your changed copy of it."), this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Open as New Mod"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(find, 0, Qt::AlignLeft);
    layout->addWidget(lvFiles, 1);
    layout->addWidget(lblSummary);
    layout->addWidget(buttons);
    resize(760, 460);
}

MakeModDialog::~MakeModDialog() = default;

MadeMod MakeModDialog::takeMade() {
    MadeMod made = std::move(*made_);
    made_.reset();
    return made;
}

void MakeModDialog::browse(QLineEdit* field, const QString& caption) {
    const QString chosen = prompts_.existingFolder(this, caption, field->text());
    if (chosen.isEmpty())
        return;
    field->setText(chosen);
    forget();
    if (!edOriginal->text().isEmpty() && !edChanged->text().isEmpty())
        findChanges();
}

void MakeModDialog::forget() {
    made_.reset();
    lvFiles->clear();
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void MakeModDialog::findChanges() {
    forget();
    const QString original = edOriginal->text(), changed = edChanged->text();
    if (original.isEmpty() || changed.isEmpty()) {
        lblSummary->setText(QStringLiteral("Choose both folders."));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const MakeInput input = readMakeInput(localPath(original), localPath(changed));
    if (input.ok)
        made_ = makeMod(input.files, propertiesFor(localPath(original), localPath(changed)));
    QApplication::restoreOverrideCursor();
    if (!input.ok) {
        lblSummary->setText(QString::fromStdString(input.error));
        return;
    }
    std::size_t covered = 0;
    for (const MadeFile& file : made_->files) {
        auto* row = new QTreeWidgetItem(lvFiles);
        row->setText(0, QString::fromStdString(file.name));
        row->setText(1, file.steps ? QString::number(file.steps) : QString());
        if (file.covered())
            ++covered;
        else
            row->setText(2, QString::fromStdString(describeMadeFile(file)));
        row->setToolTip(2, row->text(2));
    }
    if (made_->files.empty())
        lblSummary->setText(
            QStringLiteral("The two folders hold the same files: there is nothing to make."));
    else
        lblSummary->setText(
            QStringLiteral("%1 for %2 of %3 changed files.%4")
                .arg(made_->steps == 1 ? QStringLiteral("1 step")
                                       : QStringLiteral("%1 steps").arg(made_->steps))
                .arg(covered)
                .arg(made_->files.size())
                .arg(covered < made_->files.size()
                         ? QStringLiteral(" The notes say why the others are not covered.")
                         : QString()));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(made_->steps > 0);
}

} // namespace torvale
