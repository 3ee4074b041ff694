// The editor's reader and the installer's model, each run over the same
// bytes, and their steps laid side by side by the line of their
// "<search for>".
#include "reading_differences.h"

#include "install_file.h"
#include "yabmod.h"

#include "document/mod_reader.h"

#include <algorithm>
#include <deque>
#include <map>

namespace torvale {

namespace {

struct Step {
    std::size_t line = 0; // of its "<search for>", or of its action when it has none
    int kind = 0;         // 1 replace, 2 add before, 3 add after, 0 none
    std::string file;
    std::vector<std::string> search;
    std::vector<std::string> action;
};

std::vector<std::string> keysOf(std::string_view text) {
    std::deque<std::string> storage;
    std::vector<std::string> keys;
    for (const std::string_view line : installerLines(text, storage))
        keys.emplace_back(line);
    return keys;
}

// The mod's lines as Perl splits them, with the line of each byte offset.
class Lines {
public:
    explicit Lines(std::string_view mod) : mod_(mod) {
        for (std::size_t at = 0; at < mod.size();) {
            starts_.push_back(at);
            const std::size_t lf = mod.find('\n', at);
            at = lf == std::string_view::npos ? mod.size() : lf + 1;
        }
    }
    std::size_t lineOf(std::size_t offset) const {
        return std::size_t(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin());
    }
    std::string_view line(std::size_t n) const { // from 1
        if (n == 0 || n > starts_.size())
            return {};
        const std::size_t end = n < starts_.size() ? starts_[n] : mod_.size();
        return mod_.substr(starts_[n - 1], end - starts_[n - 1]);
    }

private:
    std::string_view mod_;
    std::vector<std::size_t> starts_;
};

class EditorSteps : public ReadTarget, public BlockListener {
public:
    explicit EditorSteps(const Lines& lines) : lines_{lines} {}
    std::vector<Step> steps;

    void editFile(Text fileName) override { file_ = fileName.str(); }
    void searchAction(std::int32_t kind, Text search, Text action) override {
        Step step;
        step.line = lines_.ofBlock(pending_);
        step.kind = kind;
        step.file = file_;
        step.search = keysOf(search);
        step.action = keysOf(action);
        steps.push_back(std::move(step));
    }
    void property(Property, Text) override {}
    void block(const BlockSpan& block) override {
        if (block.tag == 6 && !searchOpen_) {
            searchAt_ = block.opening;
            searchOpen_ = true;
        }
        if (block.tag >= 7 && block.tag <= 9) {
            pending_ = searchOpen_ ? searchAt_ : block.opening;
            searchOpen_ = false;
        }
    }

private:
    struct Lookup {
        const Lines& lines;
        std::size_t ofBlock(std::size_t offset) const { return lines.lineOf(offset); }
    } lines_;
    std::string file_;
    std::size_t searchAt_ = 0, pending_ = 0;
    bool searchOpen_ = false;
};

std::vector<Step> installerSteps(std::string_view mod, const Lines& lines,
                                 std::size_t& firstEditFile) {
    std::vector<Step> steps;
    yabmod::Options options;
    options.keepGoing = true;
    std::map<int, Step> texts;
    options.onStep = [&texts](const yabmod::StepView& view) {
        if (view.after)
            return;
        Step& step = texts[view.step.number];
        step.search.assign(view.search.begin(), view.search.end());
        for (const std::string_view line : view.added)
            step.action.push_back(lineKey(line));
    };
    // Every file there and empty: only the reading matters.
    const yabmod::ReadFile empty = [](const std::string&) {
        return yabmod::DiskEntry{yabmod::DiskEntry::Kind::File, {}};
    };
    const yabmod::Run run =
        yabmod::runInstaller(mod, {"/forum", "/html"}, yabmod::Mode::Install, empty, options);
    firstEditFile = run.files.empty() ? 0 : run.files.front().modLine;
    for (const yabmod::StepRun& s : run.steps) {
        Step step = std::move(texts[s.number]);
        step.line = s.modLine;
        step.kind = s.action == yabmod::StepRun::Action::Replace     ? 1
                    : s.action == yabmod::StepRun::Action::AddBefore ? 2
                    : s.action == yabmod::StepRun::Action::AddAfter  ? 3
                                                                     : 0;
        step.file = lineKey(lines.line(run.files[s.file].modLine + 1));
        steps.push_back(std::move(step));
    }
    return steps;
}

std::string quoted(const std::vector<std::string>& lines, std::size_t k) {
    if (k >= lines.size())
        return "no line";
    std::string text = lines[k].substr(0, 60);
    return "\"" + text + (lines[k].size() > 60 ? "...\"" : "\"");
}

// How two readings of a text part, or empty when they agree.
std::string textDifference(const char* what, const std::vector<std::string>& installer,
                           const std::vector<std::string>& editor) {
    if (installer == editor)
        return {};
    std::size_t k = 0;
    while (k < installer.size() && k < editor.size() && installer[k] == editor[k])
        ++k;
    return std::string("the installer reads its ") + what + " differently from its line " +
           std::to_string(k + 1) + ": " + quoted(installer, k) + " where the editor has " +
           quoted(editor, k);
}

// Why the installer passes over a step the editor shows.
std::string whySkipped(const Lines& lines, std::size_t line, std::size_t firstEditFile) {
    const std::string_view text = lines.line(line);
    if (firstEditFile == 0 || line < firstEditFile)
        return "it comes before the first <edit file> the installer reads";
    if (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        return "its tag has blanks before it, and the installer reads tags only at the start "
               "of a line";
    if (text.find('\r') != std::string_view::npos && text.find('\r') + 1 < text.size() &&
        text[text.find('\r') + 1] != '\n')
        return "its tag follows a lone carriage return inside the line, which the installer "
               "does not take for a line break";
    const std::string_view before = lines.line(line - 1);
    if (before.starts_with("</"))
        return "no empty line after the closing tag on line " + std::to_string(line - 1) +
               ": the installer never reads the line right after a closing tag";
    if (!text.empty() && text[0] != '<')
        return "its tag is not at the start of the line";
    return "the installer does not read it as a step";
}

} // namespace

std::vector<ReadingDifference> readingDifferences(std::string_view mod) {
    const Lines lines(mod);
    EditorSteps editor(lines);
    readMod(SharedBytes{nullptr, mod}, editor, kMaxBlockText, &editor);
    std::size_t firstEditFile = 0;
    const std::vector<Step> installer = installerSteps(mod, lines, firstEditFile);
    std::map<std::size_t, const Step*> byLine;
    for (const Step& s : installer)
        byLine[s.line] = &s;
    std::map<std::size_t, std::string> found;
    std::map<std::size_t, bool> shown;
    for (const Step& e : editor.steps) {
        shown[e.line] = true;
        const auto i = byLine.find(e.line);
        if (i == byLine.end()) {
            found[e.line] = "the installer skips the step at line " + std::to_string(e.line) +
                            ": " + whySkipped(lines, e.line, firstEditFile);
            continue;
        }
        const Step& s = *i->second;
        std::string what;
        if (s.kind != e.kind)
            what = s.kind == 0 ? "the installer finds no action for it" : "the installer reads another kind of action";
        else if (lineKey(s.file) != e.file)
            what = "the installer reads its file name as \"" + s.file + "\", the editor as \"" + e.file + "\"";
        else if (std::string t = textDifference("search text", s.search, e.search); !t.empty())
            what = t;
        else if (std::string t = textDifference("action text", s.action, e.action); !t.empty())
            what = t;
        if (!what.empty())
            found[e.line] = "step at line " + std::to_string(e.line) + ": " + what;
    }
    for (const Step& s : installer)
        if (!shown[s.line])
            found[s.line] = "the installer reads a step at line " + std::to_string(s.line) +
                            " that the editor does not show" +
                            (s.kind == 0 ? ": it has no action block of its own" : "");
    std::vector<ReadingDifference> out;
    for (auto& [line, what] : found)
        out.push_back({line, std::move(what)});
    return out;
}

} // namespace torvale
