// Find in Mod: every occurrence of a text in every text of the mod listed in
// a panel that leads to each, and Replace All over the whole mod as one step.
#include "main_window.h"

#include "text_codec.h"
#include "widgets/find_in_mod_dialog.h"
#include "widgets/report_panel.h"
#include "widgets/text_field.h"

#include "document/find_in_mod.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QUndoStack>

#include <array>
#include <limits>
#include <optional>
#include <utility>

namespace torvale {

namespace {

// More than anyone reads; the summary counts them all.
constexpr std::size_t kListedHits = 10000;
constexpr qsizetype kShownLineLength = 200;

const char* const kPropertyNames[] = {"Mod Name", "Version", "Description", "Author", "Homepage"};

// The line of text that holds the bytes from begin on.
std::string_view lineAround(std::string_view text, std::size_t begin) {
    const std::size_t before = text.find_last_of("\r\n", begin == 0 ? 0 : begin - 1);
    const std::size_t start = begin == 0 || before == std::string_view::npos ? 0 : before + 1;
    const std::size_t end = text.find_first_of("\r\n", begin);
    return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

// Where bytes [0, offset) of text end as a TextField offset.
qint64 fieldOffset(std::string_view text, std::size_t offset, TextEncoding encoding) {
    return TextField::offsetLength(TextField::withNewlines(decodeText(text.substr(0, offset), encoding)));
}

} // namespace

void TFormMain::actFindInModExecute() {
    if (!findInModDialog_) {
        findInModDialog_ = new FindInModDialog(this);
        connect(findInModDialog_, &FindInModDialog::findAllRequested, this, [this] { findInMod(); });
        connect(findInModDialog_, &FindInModDialog::replaceAllRequested, this,
                [this] { replaceAllInMod(); });
        pnlFindInMod = new ReportPanel(QStringLiteral("Find in Mod"), this);
        pnlFindInMod->setObjectName(QStringLiteral("pnlFindInMod"));
        addDockWidget(Qt::BottomDockWidgetArea, pnlFindInMod);
        tabifyDockWidget(pnlTestReport, pnlFindInMod);
        connect(pnlFindInMod, &ReportPanel::activated, this,
                [this](const QVariant& key) { goToModHit(key); });
    }
    // A one-line selection is what the user means to look for.
    const TextField focused = focusedTextField();
    QString selected;
    if (!focused.isNull() && focused.selectionLength() > 0) {
        const QString text = TextField::withNewlines(focused.text());
        selected = text.mid(focused.selectionStart(), focused.selectionLength());
        if (selected.contains(QLatin1Char('\n')) || selected.contains(QLatin1Char('\r')))
            selected.clear();
    }
    findInModDialog_->present(selected);
}

void TFormMain::findInMod() {
    const TextEncoding encoding = mod_->encoding();
    const QString shown = findInModDialog_->findText();
    const std::string needle = encodeText(shown, encoding);
    const ModDocument& doc = mod_->document();
    ModHits found = torvale::findInMod(doc, needle, kListedHits);
    // Steps are numbered as the status bar numbers them.
    std::vector<int> stepsBefore(std::size_t(doc.topLevelCount()) + 1, 0);
    for (int r = 0; r < doc.topLevelCount(); ++r)
        stepsBefore[std::size_t(r) + 1] = stepsBefore[std::size_t(r)] + doc.topLevel(r)->childCount();

    std::vector<ReportModel::Row> rows;
    rows.reserve(found.hits.size());
    for (std::size_t i = 0; i < found.hits.size(); ++i) {
        const ModHit& hit = found.hits[i];
        QString where;
        switch (hit.place.field) {
        case TextPlace::Field::Property:
            where = QLatin1String(kPropertyNames[int(hit.place.property)]);
            break;
        case TextPlace::Field::FileName:
            where = QStringLiteral("Edit file %1").arg(hit.place.node.row + 1);
            break;
        default: {
            const NodePath at = hit.place.node;
            where = at.parentRow < 0
                        ? QStringLiteral("Step before any edit file")
                        : QStringLiteral("Step %1").arg(stepsBefore[std::size_t(at.parentRow)] +
                                                         at.row + 1);
            where += hit.place.field == TextPlace::Field::SearchText ? QStringLiteral(", search")
                                                                     : QStringLiteral(", action");
        }
        }
        QString line =
            decodeText(lineAround(textAt(doc, hit.place)->view(), hit.begin), encoding).trimmed();
        if (line.size() > kShownLineLength)
            line = line.left(kShownLineLength) + QStringLiteral("...");
        rows.push_back({{QStringLiteral("%1, line %2: %3").arg(where).arg(hit.line).arg(line),
                         ReportModel::Mark::None, QVariant::fromValue(qulonglong(i))},
                        {}});
    }
    modHits_ = std::move(found.hits);
    pnlFindInMod->setWindowTitle(QStringLiteral("Find in Mod"));
    pnlFindInMod->report().setRows(std::move(rows));
    QString summary = found.total == 0 ? QStringLiteral("\"%1\" is nowhere in the mod.").arg(shown)
                      : found.total == 1
                          ? QStringLiteral("1 occurrence of \"%1\" in the mod.").arg(shown)
                          : QStringLiteral("%1 occurrences of \"%2\" in the mod.")
                                .arg(found.total)
                                .arg(shown);
    if (found.total > modHits_.size())
        summary += QStringLiteral(" The first %1 are listed.").arg(modHits_.size());
    pnlFindInMod->setSummary(summary);
    pnlFindInMod->present();
}

// Selects the node of a hit and the occurrence in its field.
void TFormMain::goToModHit(const QVariant& key) {
    const std::size_t index = key.toULongLong();
    if (index >= modHits_.size())
        return;
    const ModHit& hit = modHits_[index];
    const Text* text = textAt(mod_->document(), hit.place);
    // An edit since the search may have taken it away.
    if (!text || hit.end > text->size())
        return;
    QWidget* field = nullptr;
    if (hit.place.field == TextPlace::Field::Property) {
        PageControl1->setCurrentWidget(tsModProperty);
        const std::array<QWidget*, kPropertyCount> fields = {edtId, edtVersion, memDescription,
                                                             edtAuthor, edtHomepage};
        field = fields[std::size_t(hit.place.property)];
    } else {
        PageControl1->setCurrentWidget(tsModAction);
        selectNode(nodeAt(mod_->document(), hit.place.node));
        field = hit.place.field == TextPlace::Field::FileName     ? static_cast<QWidget*>(memFileToEdit)
                : hit.place.field == TextPlace::Field::SearchText ? memSearch
                                                                  : memAndAction;
    }
    field->setFocus();
    const TextEncoding encoding = mod_->encoding();
    const qint64 start = fieldOffset(text->view(), hit.begin, encoding);
    TextField(field).select(start, fieldOffset(text->view(), hit.end, encoding) - start);
    TextField(field).ensureVisible();
}

// Every occurrence in every text, left to right and each once, as one step.
void TFormMain::replaceAllInMod() {
    const QString shown = findInModDialog_->findText();
    const std::string needle = encodeText(shown, mod_->encoding());
    const QString replacementText = encodableText(findInModDialog_->replaceText());
    const std::string replacement = encodeText(replacementText, mod_->encoding());
    const ModDocument& doc = mod_->document();
    const ModHits found =
        torvale::findInMod(doc, needle, std::numeric_limits<std::size_t>::max());
    // The new texts first: a step that would change nothing is no step.
    std::size_t replaced = 0;
    std::vector<std::pair<TextPlace, std::string>> changes;
    std::optional<TextPlace> last;
    for (const ModHit& hit : found.hits) {
        if (last == hit.place)
            continue;
        last = hit.place;
        const std::string_view before = textAt(doc, hit.place)->view();
        std::size_t count = 0;
        auto changed = replaceInText(before, needle, replacement, &count);
        replaced += count;
        if (changed && *changed != before)
            changes.emplace_back(hit.place, std::move(*changed));
    }
    if (!changes.empty()) {
        mod_->endTyping();
        mod_->history()->beginMacro(QStringLiteral("Replace All"));
        for (auto& [place, text] : changes) {
            if (place.field == TextPlace::Field::Property) {
                mod_->setProperty(place.property, Text(std::move(text)), false);
                continue;
            }
            const OpenMod::Field field = place.field == TextPlace::Field::FileName
                                             ? OpenMod::Field::FileName
                                         : place.field == TextPlace::Field::SearchText
                                             ? OpenMod::Field::SearchText
                                             : OpenMod::Field::ActionText;
            mod_->setText(nodeAt(doc, place.node), field, Text(std::move(text)), false);
        }
        mod_->history()->endMacro();
    }
    showProperties();
    showSelectedNode();
    findInMod();
    prompts().showMessage(findInModDialog_,
                          replaced == 1
                              ? QStringLiteral("Replaced 1 occurrence of \"%1\".").arg(shown)
                              : QStringLiteral("Replaced %1 occurrences of \"%2\".")
                                    .arg(replaced)
                                    .arg(shown));
}

} // namespace torvale
