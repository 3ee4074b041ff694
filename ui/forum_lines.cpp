// Mending a step the forum no longer matches: the nearest place of its search
// text in the Test Mod panel and marked in the forum file, and Use the Forum's Lines.
#include "main_window.h"

#include "nearest_marks.h"
#include "widgets/plain_text_view.h"
#include "widgets/report_panel.h"

#include "check/install_file.h"
#include "check/mod_check.h"

#include <QAction>
#include <QCursor>

namespace torvale {

void TFormMain::createForumLinesCommand() {
    connect(command("actUseForumLines"), &QAction::triggered, this,
            [this] { actUseForumLinesExecute(); });
    pnlTestReport->addCommand(command("actUseForumLines"));
    // Choosing a step in the report selects its node, so that the forum
    // file shows where its lines went and the command knows its step.
    connect(pnlTestReport, &ReportPanel::currentChanged, this, [this](const QVariant& key) {
        if (const Node* node = existingNode(key))
            selectNode(node);
    });
    connect(mod_, &OpenMod::replaced, this, [this] {
        nearest_.clear();
        repaired_.clear();
    });
}

// The node a report's key names, if it is still in the document.
const Node* TFormMain::existingNode(const QVariant& key) const {
    const auto* wanted = reinterpret_cast<const Node*>(key.value<quintptr>());
    if (!wanted)
        return nullptr;
    // Compared, never followed: it may have gone with an edit since.
    const ModDocument& doc = mod_->document();
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c)
            if ((c < 0 ? top : top->child(c)) == wanted)
                return wanted;
    }
    return nullptr;
}

void TFormMain::forgetNearestPlaces() {
    nearest_.clear();
}

// Below a step's entry: where its lines went, or, for a step whose search text
// was just taken from the forum, what to look at again.
void TFormMain::addNearestPlaceEntries(const StepCheck& step, const Node* node,
                                       std::vector<ReportModel::Entry>& entries) {
    if (!node)
        return;
    const QVariant key = QVariant::fromValue(quintptr(node));
    const auto repaired = repaired_.find(node);
    if (repaired != repaired_.end() && repaired->second.review &&
        node->item().SearchText == repaired->second.text)
        entries.push_back(
            {QStringLiteral("    Review step %1: its search text now holds the forum's lines, but "
                            "%2 was written for the old ones.")
                 .arg(step.step)
                 .arg(node->kind() == akSearchReplace
                          ? QStringLiteral("the text that replaces them")
                          : QStringLiteral("the text it adds beside them")),
             ReportModel::Mark::Warning, key});
    const bool failed = step.status == StepCheck::Status::NotFound ||
                        (step.status == StepCheck::Status::NotReached && !step.foundPast);
    if (!failed || !step.nearest)
        return;
    nearest_[node] = {node->item().SearchText, *step.nearest};
    entries.push_back({QStringLiteral("    \u21B3 ") + nearestPlaceSentence(*step.nearest),
                       ReportModel::Mark::None, key,
                       nearestPlaceDetails(*step.nearest, mod_->encoding()) +
                           QStringLiteral("\nSelect the step to see them marked in the forum "
                                          "file; Use the Forum's Lines puts them into its "
                                          "search text.")});
}

// The nearest place the last Test Mod found for the node, while its search
// text is still the one tested.
const NearestPlace* TFormMain::nearestPlaceOf(const Node* node) const {
    const auto known = node ? nearest_.find(node) : nearest_.end();
    if (known == nearest_.end() || node->item().SearchText != known->second.searchText)
        return nullptr;
    return &known->second.place;
}

// The lines of the selected step's nearest place marked in the forum file
// shown, where they stand there.
void TFormMain::showNearestPlace(const Node* node) {
    const NearestPlace* place = nearestPlaceOf(node);
    std::vector<PlainTextView::LineMark> marks;
    int first = 0;
    if (place && !memEditingFile->isEmpty()) {
        const InstallFile file(memEditingFile->bytes());
        const std::vector<std::string> keys = forumLineKeys(*place);
        const std::vector<std::string_view> lines(keys.begin(), keys.end());
        if (const auto found = file.find(lines)) {
            // Of two places with these lines, the one nearer to where the
            // check saw them on disk.
            std::size_t at = found->line;
            const std::size_t seen = (place->diskFirst ? place->diskFirst : place->first) - 1;
            const auto off = [seen](std::size_t line) {
                return line > seen ? line - seen : seen - line;
            };
            if (found->again != std::string_view::npos && off(found->again) < off(at))
                at = found->again;
            first = memEditingFile->lineOfByte(file.byteOffset(at));
            marks = nearestPlaceMarks(*place, first, mod_->encoding());
        }
    }
    const bool shown = !marks.empty();
    memEditingFile->setLineMarks(std::move(marks));
    if (shown)
        memEditingFile->scrollToLines(first, int(place->last - place->first + 1));
}

// The file's lines of the nearest place become the step's search text, as one
// step of the history, and the mod is tested again.
void TFormMain::actUseForumLinesExecute() {
    const Node* node = selectedNode();
    const NearestPlace* place = nearestPlaceOf(node);
    if (!place)
        return;
    // Of two places about as good, the author says which.
    bool other = false;
    if (place->ambiguous && !place->otherLines.empty()) {
        const int chosen = prompts().chooseFromMenu(
            this, {placeChoice(*place, false), placeChoice(*place, true)}, QCursor::pos());
        if (chosen < 0)
            return;
        other = chosen == 1;
    }
    Text lines(forumLinesOf(*place, other));
    // Lines that differ beyond blanks and case are another anchor: what the
    // step puts in was written for the old one.
    const bool review = !node->item().ActionText.empty() &&
                        (node->kind() == akSearchReplace || place->only.empty());
    typingKey_ = false;
    mod_->endTyping();
    mod_->setText(node, OpenMod::Field::SearchText, lines, false);
    repaired_[node] = {std::move(lines), review};
    showSelectedNode();
    actTestModExecute();
}

} // namespace torvale
