// Recovery after a crash: a copy of the unsaved document kept a little after
// each change, and at start the copies of programs that ended without saving.
#include "main_window.h"

#include "widgets/action_tree_view.h"

#include "document/mod_reader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <QUndoStack>

namespace torvale {

namespace {

// A couple of seconds after the last change, so that typing writes no copies.
constexpr int kRecoveryDelayMs = 2000;

} // namespace

void TFormMain::createRecovery() {
    recoveryStore_ = std::make_unique<RecoveryStore>(recoveryFolder());
    recoveryWriter_ = std::make_unique<RecoveryWriter>(*recoveryStore_);
    recoveryTimer_ = new QTimer(this);
    recoveryTimer_->setSingleShot(true);
    recoveryTimer_->setInterval(kRecoveryDelayMs);
    connect(recoveryTimer_, &QTimer::timeout, this, [this] { keepRecoveryCopy(); });
    connect(mod_->history(), &QUndoStack::indexChanged, this, [this] {
        if (mod_->isModified())
            recoveryTimer_->start();
    });
    connect(mod_, &OpenMod::modifiedChanged, this, [this](bool modified) {
        if (modified) {
            recoveryTimer_->start();
        } else {
            // Saved, discarded or undone to the saved text: nothing to recover.
            recoveryTimer_->stop();
            recoveryWriter_->remove();
        }
    });
}

// Takes the document as it is and leaves the writing to the writer's thread.
void TFormMain::keepRecoveryCopy() {
    if (!mod_->isModified())
        return;
    RecoveryCopy copy;
    copy.path = QFile::encodeName(mod_->path()).toStdString();
    copy.encoding = mod_->encoding();
    copy.diskStamp = mod_->diskStamp();
    recoveryWriter_->write(snapshotOf(mod_->document()), std::move(copy), mod_->lineEnds());
}

void TFormMain::startUp(const QStringList& arguments) {
    if (!offerRecovery(arguments))
        openCommandLine(arguments);
}

// Offers each copy of a program that ended without saving, newest first,
// until one is recovered. True when one was: it is the document now, and the
// file of the command line opens in a program of its own.
bool TFormMain::offerRecovery(const QStringList& arguments) {
    std::vector<OrphanCopy> orphans = recoveryStore_->claimOrphans();
    for (OrphanCopy& orphan : orphans) {
        const RecoveryCopy& copy = orphan.copy();
        const QString path = QFile::decodeName(QByteArray::fromStdString(copy.path));
        const QString name =
            path.isEmpty() ? QStringLiteral("an untitled mod") : QDir::toNativeSeparators(path);
        const QString date =
            QLocale().toString(QDateTime::fromSecsSinceEpoch(copy.writtenAt), QLocale::ShortFormat);
        const auto answer = prompts().offerRecovery(
            this,
            QStringLiteral("Torvale closed without saving %1 on %2. Recover it?").arg(name, date));
        if (answer == QMessageBox::Discard) {
            orphan.discard();
            continue;
        }
        if (answer != QMessageBox::Yes)
            continue; // kept for a later start
        ModDocument doc;
        const ReadOutcome outcome = readMod(std::string_view(copy.text), doc);
        ClearAllValue();
        loading_ = true;
        mod_->replaceUnsaved(std::move(doc), copy.encoding, path, copy.diskStamp,
                             detectLineEnds(copy.text));
        showProperties();
        selectNode(outcome.selected);
        loading_ = false;
        tvActions->expandAll();
        if (!path.isEmpty())
            UpdateCaption();
        refreshShownPage();
        recoveryStore_->adopt(std::move(orphan));
        if (!arguments.isEmpty() && !arguments.constFirst().isEmpty())
            prompts().startProgram(programPath_,
                                   {QFileInfo(arguments.constFirst()).absoluteFilePath()});
        return true;
    }
    return false;
}

} // namespace torvale
