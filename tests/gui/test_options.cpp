// The Options dialog as the user drives it: OK stores, Cancel stores nothing,
// the recent-files maximum trims the list afterwards, and the association is
// written or removed once, when the setting changed.
#include "gui_support.h"

#include "ui/option_dialog.h"
#include "ui/settings_mapping.h"
#include "ui/widgets/font_color_dialog.h"
#include "ui/widgets/plain_text_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace torvale;
using namespace torvale::test;

namespace {

// Records what the window asks of the desktop.
struct RecordedAssociation : FileAssociation {
    QStringList calls;
    std::string failure;
    std::string WriteAssociation(const AssociationRequest& request) override {
        calls << QStringLiteral("write %1 %2")
                     .arg(QString::fromStdString(request.extension),
                          QString::fromStdString(request.program));
        return failure;
    }
    void RemoveAssociation(std::string_view extension) override {
        calls << QStringLiteral("remove ") + QString::fromStdString(std::string(extension));
    }
};

struct Options {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordedAssociation association;
    std::unique_ptr<TFormMain> window;

    // A window whose settings file holds settings, or none when empty.
    explicit Options(const QByteArray& settings = {}) {
        const QString ini = dir.filePath(QStringLiteral("torvale.ini"));
        if (!settings.isEmpty())
            writeFile(ini, settings);
        window = makeWindow(prompts, {ini, &association});
        window->setProgramPath(QStringLiteral("/opt/T app/torvale"));
    }

    // Runs the Options command; use works the dialog and closes it.
    void run(const std::function<void(TFormOption&)>& use) {
        bool used = false;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = qobject_cast<TFormOption*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            used = true;
            use(*dialog);
            if (dialog->isVisible()) // a check in use failed: do not leave it open
                dialog->reject();
        });
        command(*window, "actOption")->trigger();
        QVERIFY(used);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

void ok(TFormOption& dialog) {
    QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
}

void cancel(TFormOption& dialog) {
    QTest::keyClick(&dialog, Qt::Key_Escape);
}

void typeInto(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keySequence(field, QKeySequence::SelectAll);
    QTest::keyClicks(field, text);
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void okStoresWhatTheControlsHold() {
        Options t;
        const QFont serif(QStringLiteral("DejaVu Serif"), 14);
        t.prompts.fontAnswers << std::pair(serif, QColor(Qt::red));
        t.prompts.openAnswers << QStringLiteral("/srv/forum/YaBB.pl");
        t.run([&](TFormOption& dialog) {
            // With no settings file: an empty list of at most 0, no association.
            QCOMPARE(child<QSpinBox>(dialog, "udMRU")->value(), 0);
            QVERIFY(!child<QCheckBox>(dialog, "cbAssociation")->isChecked());
            // Tab walks the fields in their order; the image buttons take no focus.
            QStringList walked;
            for (int i = 0; i < 6; ++i) {
                walked << dialog.focusWidget()->objectName();
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            }
            QCOMPARE(walked, QStringList({"edtYaBB", "edtBoardMod", "edtYourName",
                                          "edtYourHomepage", "udMRU", "cbAssociation"}));
            QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton1"), Qt::LeftButton);
            typeInto(child<QLineEdit>(dialog, "edtBoardMod"), QStringLiteral(" C:\\BoardMod.exe "));
            child<QLineEdit>(dialog, "edtYourName")->setText(QStringLiteral("Jos\u00e9"));
            typeInto(child<QLineEdit>(dialog, "edtYourHomepage"), QStringLiteral("http://x"));
            typeInto(child<QLineEdit>(dialog, "edtMRUMax"), QStringLiteral("99"));
            QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton3"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "lblFont")->text(), QStringLiteral("DejaVu Serif 14Pt"));
            QCOMPARE(child<QLabel>(dialog, "lblFont")->font().family(), serif.family());
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(true);
            ok(dialog);
        });
        const Settings& s = t.window->settings();
        QCOMPARE(s.YaBB, std::string("/srv/forum/YaBB.pl"));
        QCOMPARE(s.BoardMod, std::string(" C:\\BoardMod.exe ")); // as typed
        QCOMPARE(s.Your_Name, std::string("Jos\xC3\xA9"));
        QCOMPARE(s.Your_Homepage, std::string("http://x"));
        QCOMPARE(s.MRU_Max_Number, 9); // the key that would leave 0..32 is refused
        QCOMPARE(FontToString(s.Editor_Font), std::string("DejaVu Serif,14,0000,clRed"));
        QVERIFY(s.Association);
        for (const char* name : {"memSearch", "memAndAction", "memDescription"}) {
            QCOMPARE(child<QPlainTextEdit>(*t.window, name)->font().family(), serif.family());
            QCOMPARE(child<QPlainTextEdit>(*t.window, name)
                         ->palette()
                         .color(QPalette::Active, QPalette::Text),
                     QColor(Qt::red));
        }
        QCOMPARE(t.association.calls, QStringList{"write .mod /opt/T app/torvale"});

        // OK again without a change: the association is not written again;
        // switched off, it is removed once.
        t.run(ok);
        t.run([](TFormOption& dialog) {
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(false);
            ok(dialog);
        });
        QCOMPARE(t.association.calls,
                 QStringList({"write .mod /opt/T app/torvale", "remove .mod"}));
    }

    // Tiny, huge and long-named fonts, read at start and chosen: the preview
    // fits the label, and the dialog keeps the size it has with the default.
    void theDialogKeepsItsSizeWhateverTheFont() {
        QSize designed;
        {
            Options plain;
            plain.run([&](TFormOption& dialog) {
                designed = dialog.size();
                cancel(dialog);
            });
        }
        Options t("[General]\r\nEditor_Font=DejaVu Serif,96,0000,clWindowText\r\n");
        t.prompts.fontAnswers << std::pair(QFont(QStringLiteral("DejaVu Sans"), 3), QColor())
                              << std::pair(QFont(QString(300, u'W'), 200), QColor());
        t.run([&](TFormOption& dialog) {
            auto* label = child<QLabel>(dialog, "lblFont");
            for (int choice = 0; choice < 3; ++choice) {
                if (choice > 0)
                    QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton3"), Qt::LeftButton);
                QApplication::processEvents();
                QCOMPARE(dialog.size(), designed);
                QVERIFY(QFontMetrics(label->font()).height() <= label->height());
            }
            cancel(dialog);
        });
    }

    void cancelStoresNothingAndDropsAChosenFont() {
        Options t("[General]\r\nEditor_Font=Arial,9,1x1y,$00FF0000\r\nYour_Name=Ann\r\n");
        const Settings before = t.window->settings();
        const QFont font = child<QPlainTextEdit>(*t.window, "memSearch")->font();
        t.prompts.fontAnswers << std::pair(QFont(QStringLiteral("DejaVu Serif"), 20),
                                           QColor(Qt::green));
        t.run([](TFormOption& dialog) {
            QCOMPARE(child<QLabel>(dialog, "lblFont")->text(), QStringLiteral("Arial 9Pt"));
            typeInto(child<QLineEdit>(dialog, "edtYourName"), QStringLiteral("Bob"));
            QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton3"), Qt::LeftButton);
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(true);
            cancel(dialog);
        });
        QVERIFY(t.window->settings() == before);
        QCOMPARE(child<QPlainTextEdit>(*t.window, "memSearch")->font(), font);
        QCOMPARE(t.association.calls, QStringList());

        // The font dialog starts from the font as shown, in its colour.
        QCOMPARE(t.prompts.fontDialogs.size(), 1);
        QCOMPARE(t.prompts.fontDialogs[0].first.family(), QStringLiteral("Arial"));
        QCOMPARE(t.prompts.fontDialogs[0].second, QColor(Qt::blue));

        // Ticked and unticked again before OK: nothing to register.
        t.run([](TFormOption& dialog) {
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(true);
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(false);
            ok(dialog);
        });
        QCOMPARE(t.association.calls, QStringList());
        QCOMPARE(FontToString(t.window->settings().Editor_Font),
                 std::string("Arial,9,1010,clBlue")); // OK keeps the face this system lacks
    }

    void theMaximumTrimsTheListAfterTheDialog_data() {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QStringList>("left");
        const QStringList all = {"/m/1.mod", "/m/2.mod", "/m/3.mod",
                                 "/m/4.mod", "/m/5.mod", "/m/6.mod"};
        QTest::newRow("OK, 3") << true << 3 << all.mid(3);
        QTest::newRow("Cancel, 3") << false << 3 << all;
        QTest::newRow("OK, 0") << true << 0 << QStringList();
    }
    void theMaximumTrimsTheListAfterTheDialog() {
        QFETCH(bool, accept);
        QFETCH(int, maximum);
        QFETCH(QStringList, left);
        QByteArray ini = "[General]\r\nMRU_Max_Number=10\r\n[MRU]\r\n";
        for (int i = 0; i < 6; ++i)
            ini += "MRU" + QByteArray::number(i) + "=/m/" + QByteArray::number(i + 1) + ".mod\r\n";
        Options t(ini);
        t.run([&](TFormOption& dialog) {
            child<QSpinBox>(dialog, "udMRU")->setValue(maximum);
            QCOMPARE(t.window->settings().MRU.size(), std::size_t(6)); // not while it is open
            accept ? ok(dialog) : cancel(dialog);
        });
        QStringList list;
        for (const std::string& entry : t.window->settings().MRU)
            list << QString::fromStdString(entry);
        QCOMPARE(list, left);
    }

    void aFailedAssociationIsShownAndTheSettingStays() {
        Options t;
        t.association.failure = "Cannot write \"/x/applications/torvale-mod.desktop\".";
        t.run([](TFormOption& dialog) {
            child<QCheckBox>(dialog, "cbAssociation")->setChecked(true);
            ok(dialog);
        });
        QCOMPARE(t.prompts.errors.size(), 1);
        QVERIFY(t.prompts.errors[0].contains(QStringLiteral("torvale-mod.desktop")));
        QVERIFY(t.window->settings().Association);
        QVERIFY(!QApplication::overrideCursor());
    }

    void browsingStartsWhereItLastPicked() {
        Options t;
        t.prompts.openAnswers << QStringLiteral("/srv/a/YaBB.cgi") << QString();
        t.run([](TFormOption& dialog) {
            QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton1"), Qt::LeftButton);
            QTest::mouseClick(child<QToolButton>(dialog, "SpeedButton2"), Qt::LeftButton);
            QCOMPARE(child<QLineEdit>(dialog, "edtYaBB")->text(),
                     QStringLiteral("/srv/a/YaBB.cgi"));
            QCOMPARE(child<QLineEdit>(dialog, "edtBoardMod")->text(), QString()); // cancelled
            cancel(dialog);
        });
        QCOMPARE(t.prompts.openDialogs.size(), 2);
        QVERIFY(t.prompts.openDialogs[0].filter.contains(QStringLiteral("(YaBB.pl YaBB.cgi)")));
        QVERIFY(t.prompts.openDialogs[1].filter.contains(QStringLiteral(" BoardMod BoardModJ)")));
        QCOMPARE(t.prompts.openDialogs[1].selectedName, QStringLiteral("/srv/a/YaBB.cgi"));
    }

    // Confirming the font chooser without a change gives the font back as it
    // was written: a face this system lacks, a system colour, its style.
    void anUnchangedChoiceKeepsTheFontAsWritten() {
        const std::string fonts[] = {
            "Arial,9,1010,clBlue", "MS Sans Serif,8,0000,clWindowText", "Courier New,10,0110,clRed",
            "Nonexistent Face,12,1111,$00123456", FontToString(desktopEditorFont())};
        for (const std::string& text : fonts) {
            FontDescription written;
            QCOMPARE(StringToFont(text, written), std::string());
            const QPalette palette = QApplication::palette();
            FontColorDialog dialog(toQFont(written), toQColor(written.color, palette));
            const FontDescription back =
                toFontDescription(dialog.selectedFont(), dialog.selectedColor(), written, palette);
            QCOMPARE(QString::fromStdString(FontToString(back)), QString::fromStdString(text));
        }
    }

    // A program that is killed keeps what was chosen and opened: the file is
    // written when the settings change, not only at the end.
    void changedSettingsAreWrittenAtOnce() {
        Options t("[General]\r\nMRU_Max_Number=4\r\n");
        const QString ini = t.dir.filePath(QStringLiteral("torvale.ini"));
        const QString mod = t.dir.filePath(QStringLiteral("opened.mod"));
        writeFile(mod, sampleMod());
        t.window->openCommandLine({mod});
        QVERIFY2(fileBytes(ini).contains("\r\nMRU0=" + mod.toUtf8() + "\r\n"), fileBytes(ini));
        t.run([](TFormOption& dialog) {
            typeInto(child<QLineEdit>(dialog, "edtYourName"), QStringLiteral("Ann"));
            ok(dialog);
        });
        QVERIFY2(fileBytes(ini).contains("\r\nYour_Name=Ann\r\n"), fileBytes(ini));
    }

    // A forum set in the dialog shows the selected step's place in its file
    // at once, as selecting the step would.
    void aNewForumShowsTheSelectedStepsPlace() {
        Options t;
        const QString mod = t.dir.filePath(QStringLiteral("apache.mod"));
        writeFile(mod, fileBytes(sharedFolder() + QStringLiteral("/realmods/apache24_fix_2.mod")));
        t.window->openCommandLine({mod});
        auto* tree = child<QTreeView>(*t.window, "tvActions");
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(2, 0)));
        showPage(*t.window, "tsEditingFile");
        auto* view = child<PlainTextView>(*t.window, "memEditingFile");
        QVERIFY(view->highlightedLines().empty());
        t.run([](TFormOption& dialog) {
            typeInto(child<QLineEdit>(dialog, "edtYaBB"), forumFolder() + QStringLiteral("/YaBB.pl"));
            ok(dialog);
        });
        QVERIFY(!view->isEmpty());
        QCOMPARE(view->highlightedLines().size(), std::size_t(1));
    }

    void escapeInTheFontListClosesTheWholeChooser() {
        FontColorDialog dialog(QFont(QStringLiteral("DejaVu Sans"), 10), Qt::black);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused && dialog.isAncestorOf(focused));
        QTest::keyClick(focused, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
