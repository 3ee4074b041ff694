// Shared helpers of the window tests.
#pragma once

#include "ui/main_window.h"
#include "ui/user_prompts.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

class QLineEdit;
class QPlainTextEdit;

namespace torvale {
class ActionTreeView;
}

namespace torvale::test {

// Answers the window's questions from scripts and records what was asked.
class ScriptedPrompts : public UserPrompts {
public:
    QMessageBox::StandardButton confirmSave(QWidget*, const QString& text) override;
    void showMessage(QWidget*, const QString& text, const QString& detail = {}) override;
    void showError(QWidget*, const QString& text) override;
    QString openFileName(QWidget*, const FileDialogOptions& options) override;
    QString saveFileName(QWidget*, const FileDialogOptions& options) override;
    QString existingFolder(QWidget*, const QString& caption, const QString& directory) override;
    bool chooseFont(QWidget*, QFont& font, QColor& color) override;
    bool convertToUtf8(QWidget*, const QStringList& characters) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    int askLineNumber(QWidget*, int lineCount, int current) override;
    int chooseFromMenu(QWidget*, const QStringList& choices, QPoint pos) override;
    QMessageBox::StandardButton offerRecovery(QWidget*, const QString& text) override;
    bool confirmOverwrite(QWidget*, const QString& text) override;
    bool confirmSaveAnyway(QWidget*, const QString& text) override;

    // Scripted answers, taken from the front; an empty list answers Cancel.
    QList<QMessageBox::StandardButton> saveAnswers;
    QStringList openAnswers;
    QStringList saveAsAnswers;
    QStringList folderAnswers; // empty: cancelled
    QStringList folderDialogs; // the folder each started at
    QList<std::pair<QFont, QColor>> fontAnswers;
    QList<QMessageBox::StandardButton> recoveryAnswers; // empty: Cancel, kept for later
    QList<bool> overwriteAnswers;                       // empty: No
    QList<bool> saveAnywayAnswers;                      // empty: Cancel
    QList<bool> convertAnswers;                         // an empty list leaves the characters out
    QList<int> lineAnswers;   // empty: cancelled
    QList<int> choiceAnswers; // empty: nothing chosen
    QList<QStringList> menus; // the choices each menu offered
    // Runs while a question is open, as the user's keys and clicks would.
    std::function<void()> whileAsking;

    QStringList confirmTexts;
    QStringList recoveryOffers;
    QStringList overwriteQuestions;
    QStringList messages;
    QStringList messageDetails; // beside messages, empty where a message has none
    QStringList saveAnywayQuestions;
    QStringList errors;
    QList<FileDialogOptions> openDialogs;
    QList<FileDialogOptions> saveDialogs;
    QList<std::pair<QFont, QColor>> fontDialogs; // the font and colour each started from
    QList<QStringList> started;                  // program followed by its arguments
    QList<QStringList> convertQuestions;         // the characters each was about
};

// A window answering through prompts, shown and active so that its
// shortcuts work.
std::unique_ptr<TFormMain> makeWindow(ScriptedPrompts& prompts, const WindowOptions& options = {});

// A window, answering through its prompts, with a mod file of a temporary
// folder open in it.
struct OpenWindow {
    explicit OpenWindow(const QByteArray& mod, const QString& name = QStringLiteral("t.mod"));
    QTemporaryDir dir;
    QString path;
    ScriptedPrompts prompts;
    std::unique_ptr<TFormMain> window;
};

// Two edit files, Sources/A.pm and Sources/B.pm, with two and three search
// actions whose search texts are "Sources/A.pm#0" and so on.
QByteArray twoFilesMod();

// The shared test data beside the project, and the part of a real YaBB
// installation in it, as the window's paths.
QString sharedFolder();
QString forumFolder();

// Many edit files of one search action each, more than the tree shows at once.
QByteArray manyFilesMod(int files);

// Shows the page of the window's tab control by its object name.
void showPage(QWidget& window, const char* page);

// A real drag with the left button: press at from, move past the drag
// distance, then along path, and release at its last point. A drag runs an
// event loop of its own, so every move after the first is sent from inside it.
// beforeRelease runs at the last point, while the drag still goes on.
void drag(QWidget* viewport, QPoint from, const QList<QPoint>& path, int pauseMs = 0,
          const std::function<void()>& beforeRelease = {});

template <typename T> T* child(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QAction* command(const QWidget& window, const char* name);

// A mod open on the Mod Action page, whose tree is clicked as a user would.
struct Opened : OpenWindow {
    ActionTreeView* tree = nullptr;

    explicit Opened(const QByteArray& mod);
    QModelIndex index(int row, int childRow = -1) const;
    void click(const QModelIndex& index) const;
    QString step() const;
};

QByteArray fileBytes(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray sampleMod();

} // namespace torvale::test
