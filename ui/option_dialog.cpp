// TFormOption: the dialog's controls, filled from the settings, the browse
// and font commands, and OK storing what the controls hold.
#include "option_dialog.h"

#include "main_window.h"
#include "settings_mapping.h"
#include "user_prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace torvale {

namespace {

QLineEdit* edit(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(std::numeric_limits<int>::max());
    field->setMinimumWidth(313);
    return field;
}

// The image buttons take no focus, so Tab goes from field to field.
QToolButton* imageButton(const char* name, int slot, const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(TFormMain::imageListIcon(slot));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TFormOption::TFormOption(const Settings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), settings_(settings), prompts_(prompts), font_(settings.Editor_Font) {
    setObjectName(QStringLiteral("FormOption"));
    setWindowTitle(QStringLiteral("Option"));

    GroupBox1 = new QGroupBox(QStringLiteral("General Settings"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    edtYaBB = edit("edtYaBB", GroupBox1);
    SpeedButton1 = imageButton("SpeedButton1", 7, QStringLiteral("Browse"), GroupBox1);
    edtBoardMod = edit("edtBoardMod", GroupBox1);
    SpeedButton2 = imageButton("SpeedButton2", 7, QStringLiteral("Browse"), GroupBox1);
    edtYourName = edit("edtYourName", GroupBox1);
    edtYourHomepage = edit("edtYourHomepage", GroupBox1);
    SpeedButton3 = imageButton("SpeedButton3", 15, QStringLiteral("Font"), GroupBox1);
    lblFont = new QLabel(QStringLiteral("Font Name and Size"), GroupBox1);
    lblFont->setObjectName(QStringLiteral("lblFont"));
    // The dialog keeps its designed size whatever the font: the label is as
    // tall as its button, takes the width left beside it, and clips the rest.
    lblFont->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblFont->setFixedHeight(std::max(SpeedButton3->sizeHint().height(),
                                     fontMetrics().height() + 4));
    udMRU = new QSpinBox(GroupBox1);
    udMRU->setObjectName(QStringLiteral("udMRU"));
    udMRU->setRange(0, 32);
    udMRU->setValue(10);
    udMRU->setWrapping(false);
    // A value typed outside the range ends at its nearest end.
    udMRU->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    udMRU->findChild<QLineEdit*>()->setObjectName(QStringLiteral("edtMRUMax"));
    cbAssociation = new QCheckBox(QStringLiteral("Association with MOD file (*.mod)"), GroupBox1);
    cbAssociation->setObjectName(QStringLiteral("cbAssociation"));

    auto* grid = new QGridLayout(GroupBox1);
    grid->setVerticalSpacing(2);
    int row = 0;
    const auto caption = [&](const char* text, QWidget* buddy) {
        auto* label = new QLabel(QString::fromLatin1(text), GroupBox1);
        label->setBuddy(buddy);
        if (row > 0)
            grid->setRowMinimumHeight(row++, 8); // a gap above each caption
        grid->addWidget(label, row++, 0, 1, 2);
    };
    caption("Location of YaBB.pl or YaBB.cgi", edtYaBB);
    grid->addWidget(edtYaBB, row, 0);
    grid->addWidget(SpeedButton1, row++, 1);
    caption("Location of BoardMod", edtBoardMod);
    grid->addWidget(edtBoardMod, row, 0);
    grid->addWidget(SpeedButton2, row++, 1);
    caption("Your Name (or HandleName)", edtYourName);
    grid->addWidget(edtYourName, row++, 0);
    caption("Your Homepage", edtYourHomepage);
    grid->addWidget(edtYourHomepage, row++, 0);
    caption("Font", SpeedButton3);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(SpeedButton3);
    fontRow->addSpacing(6);
    fontRow->addWidget(lblFont, 1);
    grid->addLayout(fontRow, row++, 0, 1, 2);
    caption("Maximum Number of MRU(Most Recent used file)  ", udMRU);
    grid->addWidget(udMRU, row++, 0, Qt::AlignLeft);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(cbAssociation, row++, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* btnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    QPushButton* BtnCancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    buttons->setCenterButtons(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog border

    setTabOrder(edtYaBB, edtBoardMod);
    setTabOrder(edtBoardMod, edtYourName);
    setTabOrder(edtYourName, edtYourHomepage);
    setTabOrder(edtYourHomepage, udMRU);
    setTabOrder(udMRU, cbAssociation);

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { actBrowseYaBBExecute(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { actBrowseBoardModExecute(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { actSelectFontExecute(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TFormOption::FormCreate() {
    edtYaBB->setText(settingText(settings_.YaBB));
    edtBoardMod->setText(settingText(settings_.BoardMod));
    edtYourName->setText(settingText(settings_.Your_Name));
    edtYourHomepage->setText(settingText(settings_.Your_Homepage));
    FontUpdate();
    // The spin control holds a 16-bit number, as the settings' one was taken.
    udMRU->setValue(std::int16_t(settings_.MRU_Max_Number));
    cbAssociation->setChecked(settings_.Association);
    edtYaBB->setFocus();
}

void TFormOption::actBrowseYaBBExecute() {
    browseInto(edtYaBB, QStringLiteral("YaBB.pl, YaBB.cgi (YaBB.pl YaBB.cgi)"));
}

void TFormOption::actBrowseBoardModExecute() {
    // On this system the installer may have no extension.
    browseInto(edtBoardMod, QStringLiteral("BoardMod.exe, BoardModJ.exe "
                                           "(BoardMod.exe BoardModJ.exe BoardMod BoardModJ)"));
}

void TFormOption::browseInto(QLineEdit* edit, const QString& filter) {
    UserPrompts::FileDialogOptions options;
    options.caption = QStringLiteral("Open");
    options.filter = filter;
    options.selectedName = lastPicked_.isEmpty() ? edit->text() : lastPicked_;
    if (!options.selectedName.isEmpty())
        options.directory = QFileInfo(options.selectedName).absolutePath();
    const QString path = prompts_.openFileName(this, options);
    if (path.isEmpty())
        return;
    lastPicked_ = path;
    edit->setText(QFileInfo(path).absoluteFilePath());
}

void TFormOption::actSelectFontExecute() {
    QFont font = toQFont(font_);
    QColor color = toQColor(font_.color, palette());
    if (prompts_.chooseFont(this, font, color))
        font_ = toFontDescription(font, color, font_, palette());
    FontUpdate();
}

void TFormOption::FontUpdate() {
    // A font taller than the label is shown smaller, in its own face.
    QFont font = toQFont(font_);
    const int room = lblFont->maximumHeight();
    // Heights do not grow quite in step with sizes: a few rounds settle it.
    for (int round = 0; round < 8; ++round) {
        const int tall = QFontMetrics(font).height();
        if (tall <= room)
            break;
        const double scale = double(room) / tall * 0.95;
        if (font.pixelSize() > 0)
            font.setPixelSize(std::max(1, int(font.pixelSize() * scale)));
        else
            font.setPointSizeF(std::max(1.0, font.pointSizeF() * scale));
    }
    lblFont->setFont(font);
    QPalette colors = lblFont->palette();
    colors.setColor(QPalette::WindowText, toQColor(font_.color, palette()));
    lblFont->setPalette(colors);
    lblFont->setText(settingText(font_.name) + QStringLiteral(" %1Pt").arg(font_.size));
}

void TFormOption::btnOKClick() {
    udMRU->interpretText();
    settings_.YaBB = settingBytes(edtYaBB->text(), settings_.YaBB);
    settings_.BoardMod = settingBytes(edtBoardMod->text(), settings_.BoardMod);
    settings_.Your_Name = settingBytes(edtYourName->text(), settings_.Your_Name);
    settings_.Your_Homepage = settingBytes(edtYourHomepage->text(), settings_.Your_Homepage);
    settings_.MRU_Max_Number = udMRU->value();
    settings_.Association = cbAssociation->isChecked();
    settings_.Editor_Font = font_;
    accept();
}

} // namespace torvale
