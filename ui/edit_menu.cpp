// The Edit menu of the menu bar: the clipboard, Find and the commands that go
// between the forum file and the steps, each with its shortcut.
#include "main_window.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace torvale {

void TFormMain::createEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mmiEdit"));
    // The states follow the focus; the menu shows them as they are now.
    connect(edit, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
    for (const char* name : {"EditCut1", "EditCopy1", "EditPaste1", "actDuplicate"})
        edit->addAction(command(name));
    edit->addAction(command("EditSelectAll1"));
    edit->addSeparator();
    for (const char* name : {"actSearch", "actReplace", "actFindInMod"})
        edit->addAction(command(name));
    edit->addSeparator();
    edit->addAction(command("actGoToLine"));
    edit->addAction(command("actSearchForSelection"));
    edit->addSeparator();
    edit->addAction(command("actForumFileBeside"));
    edit->addAction(command("actStepResult"));
}

} // namespace torvale
