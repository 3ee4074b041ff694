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
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>

namespace torvale {

void TFormMain::createRecovery() {
    recoveryStore_ = std::make_unique<RecoveryStore>(recoveryFolder());
    recoveryWriter_ =
        std::make_unique<RecoveryWriter>(*recoveryStore_, [this](const std::string& error) {
            // Heard on the writer's thread; the window takes it on its own.
            QMetaObject::invokeMethod(
                this, [this, error] { recoveryCopyWritten(QString::fromStdString(error)); },
                Qt::QueuedConnection);
        });
    recoveryTimer_ = new QTimer(this);
    recoveryTimer_->setSingleShot(true);
    connect(recoveryTimer_, &QTimer::timeout, this, [this] { keepRecoveryCopy(); });
    connect(mod_->history(), &QUndoStack::indexChanged, this, [this] {
        if (mod_->isModified())
            scheduleRecoveryCopy();
    });
    connect(mod_, &OpenMod::modifiedChanged, this, [this](bool modified) {
        if (modified) {
            scheduleRecoveryCopy();
        } else {
            // Saved, discarded or undone to the saved text: nothing to recover.
            recoveryTimer_->stop();
            recoveryDue_.invalidate();
            recoveryWriter_->remove();
        }
    });
}

// A copy a little after the last change, so that typing writes none, but
// never later than the longest wait after the first change it is to hold.
void TFormMain::scheduleRecoveryCopy() {
    if (!recoveryDue_.isValid())
        recoveryDue_.start();
    const qint64 left = recoveryTiming_.longestMs - recoveryDue_.elapsed();
    recoveryTimer_->start(int(std::clamp<qint64>(left, 0, recoveryTiming_.delayMs)));
}

// Takes the document as it is and leaves the writing to the writer's thread.
void TFormMain::keepRecoveryCopy() {
    recoveryDue_.invalidate();
    if (!mod_->isModified())
        return;
    RecoveryCopy copy;
    copy.path = QFile::encodeName(mod_->path()).toStdString();
    copy.encoding = mod_->encoding();
    copy.diskStamp = mod_->diskStamp();
    recoveryWriter_->write(snapshotOf(mod_->document()), std::move(copy), mod_->lineEnds());
}

// A copy that could not be written is said once, with the reason, and tried
// again until one is written.
void TFormMain::recoveryCopyWritten(const QString& error) {
    if (error.isEmpty()) {
        if (statusBar()->currentMessage() == recoveryFailure_)
            statusBar()->clearMessage();
        recoveryFailure_.clear();
        return;
    }
    if (recoveryFailure_.isEmpty()) {
        recoveryFailure_ =
            QStringLiteral("No recovery copy could be written: %1 Trying again.").arg(error);
        statusBar()->showMessage(recoveryFailure_);
    }
    if (mod_->isModified() && !recoveryTimer_->isActive())
        recoveryTimer_->start(recoveryTiming_.retryMs);
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
        const Node* selected = nullptr;
        if (copy.document) {
            doc = documentFrom(*copy.document);
            // As after reading the file: its last edit-file node.
            for (int r = doc.topLevelCount() - 1; r >= 0 && !selected; --r)
                if (doc.topLevel(r)->kind() == akEditFile)
                    selected = doc.topLevel(r);
        } else {
            selected = readMod(std::string_view(copy.text), doc).selected;
        }
        ClearAllValue();
        loading_ = true;
        mod_->replaceUnsaved(std::move(doc), copy.encoding, path, copy.diskStamp,
                             copy.lineEnds);
        showProperties();
        selectNode(selected);
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
