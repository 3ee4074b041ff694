// The editor's reader and the installer's model, each run over the same
// bytes, and their steps laid side by side by the line of their
// "<search for>".
#include "reading_differences.h"

#include "install_file.h"
#include "yabmod.h"

#include "document/mod_reader.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <span>
#include <unordered_map>

namespace torvale {

namespace {

// A step as the editor reads it.
struct EditorStep {
    std::size_t line = 0; // of its "<search for>", or of its action when it has none
    int kind = 0;         // 1 replace, 2 add before, 3 add after
    Text file, search, action;
};

// The mod's lines as Perl splits them, with the line of each byte offset.
class Lines {
public:
    Lines(std::string_view mod, const std::vector<std::string_view>& lines)
        : mod_(mod), lines_(lines) {}
    // The line (from 1) of the byte at offset, which is known not to lie
    // before line from: the steps come in order, a few lines apart, and a
    // search through a million lines for each would miss the cache at every
    // look.
    std::size_t lineOf(std::size_t offset, std::size_t from = 0) const {
        const char* at = mod_.data() + offset;
        const std::less_equal<const char*> notAfter;
        std::size_t n = std::min(from, lines_.size());
        if (n > 0 && !notAfter(lines_[n - 1].data(), at))
            n = 0; // it does lie before: from the start
        for (const std::size_t near = std::min(n + 64, lines_.size());
             n < near && notAfter(lines_[n].data(), at);)
            ++n;
        if (n < lines_.size() && notAfter(lines_[n].data(), at))
            n = std::size_t(std::upper_bound(lines_.begin() + std::ptrdiff_t(n), lines_.end(), at,
                                             [](const char* p, std::string_view line) {
                                                 return std::less<const char*>()(p, line.data());
                                             }) -
                            lines_.begin());
        return n;
    }
    std::string_view line(std::size_t n) const { // from 1
        return n == 0 || n > lines_.size() ? std::string_view() : lines_[n - 1];
    }
    // count lines from line first (from 0), as many as there are.
    std::span<const std::string_view> from(std::size_t first, std::size_t count) const {
        first = std::min(first, lines_.size());
        return std::span<const std::string_view>(lines_).subspan(first, std::min(count, lines_.size() - first));
    }

private:
    std::string_view mod_;
    const std::vector<std::string_view>& lines_;
};

class EditorSteps : public ReadTarget, public BlockListener {
public:
    explicit EditorSteps(const Lines& lines) : lines_{lines} {}
    std::vector<EditorStep> steps;

    void editFile(Text fileName) override { file_ = std::move(fileName); }
    void searchAction(std::int32_t kind, Text search, Text action) override {
        const std::size_t from = steps.empty() ? 0 : steps.back().line - 1;
        steps.push_back({lines_.lineOf(pending_, from), kind, file_, std::move(search), std::move(action)});
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
    const Lines& lines_;
    Text file_;
    std::size_t searchAt_ = 0, pending_ = 0;
    bool searchOpen_ = false;
};

// a and b alike once their carriage returns are left out.
bool sameWithoutCr(std::string_view a, std::string_view b) {
    if (a == b)
        return true; // nearly always: both have the same carriage returns
    // Else most often one has a carriage return at its end, as a key of a CR
    // LF line has not.
    const auto crAtEndOnly = [](std::string_view shorter, std::string_view longer) {
        return shorter.size() + 1 == longer.size() && longer.back() == '\r' &&
               longer.starts_with(shorter) && shorter.find('\r') == std::string_view::npos;
    };
    if (crAtEndOnly(a, b) || crAtEndOnly(b, a))
        return true;
    std::size_t i = 0, j = 0;
    for (;;) {
        while (i < a.size() && a[i] == '\r')
            ++i;
        while (j < b.size() && b[j] == '\r')
            ++j;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        if (a[i++] != b[j++])
            return false;
    }
}

// The first line, from 0, where the installer's lines and the editor's text
// part; npos when they agree.
std::size_t firstDifference(std::span<const std::string_view> installer, std::string_view editor) {
    // A block without lines: the editor's empty text.
    if (installer.empty() && editor.empty())
        return std::string_view::npos;
    std::size_t k = 0, start = 0;
    for (;; ++k) {
        const std::size_t lf = editor.find('\n', start);
        const std::string_view piece = editor.substr(start, lf == std::string_view::npos ? editor.size() - start : lf - start);
        if (k >= installer.size() || !sameWithoutCr(withoutLf(installer[k]), piece))
            return k;
        if (lf == std::string_view::npos)
            return k + 1 == installer.size() ? std::string_view::npos : k + 1;
        start = lf + 1;
    }
}

std::string shown(std::string_view line) {
    std::string text = lineKey(line);
    return "\"" + text.substr(0, 60) + (text.size() > 60 ? "...\"" : "\"");
}

// Whether the editor's text is the very run of the mod's lines the installer
// read, but for the last line's line end: nearly always, and then a look at
// where the lines lie spares comparing them line by line.
bool sameRun(std::span<const std::string_view> read, std::string_view editor) {
    if (read.empty())
        return false;
    const char* end = read.front().data();
    for (const std::string_view line : read) {
        if (line.empty() || line.data() != end)
            return false;
        end += line.size();
    }
    std::string_view run(read.front().data(), std::size_t(end - read.front().data()));
    if (run.ends_with('\n'))
        run.remove_suffix(run.ends_with("\r\n") ? 2 : 1);
    return editor == run;
}

std::string textDifference(const char* what, std::span<const std::string_view> installer,
                           std::string_view editor) {
    if (sameRun(installer, editor))
        return {};
    const std::size_t k = firstDifference(installer, editor);
    if (k == std::string_view::npos)
        return {};
    std::deque<std::string> storage;
    const std::vector<std::string_view> lines = installerLines(editor, storage);
    return std::string("the installer reads its ") + what + " differently from its line " +
           std::to_string(k + 1) + ": " + (k < installer.size() ? shown(installer[k]) : "no line") +
           " where the editor has " + (k < lines.size() ? shown(lines[k]) : "no line");
}

// Why the installer passes over a step the editor shows.
std::string whySkipped(const Lines& lines, std::size_t line, std::size_t firstEditFile) {
    const std::string_view text = lines.line(line);
    if (firstEditFile == 0 || line < firstEditFile)
        return "it comes before the first <edit file> the installer reads";
    if (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        return "its tag has blanks before it, and the installer reads tags only at the start "
               "of a line";
    const std::size_t cr = text.find('\r');
    if (cr != std::string_view::npos && cr + 1 < text.size() && text[cr + 1] != '\n')
        return "its tag follows a lone carriage return inside the line, which the installer "
               "does not take for a line break";
    if (lines.line(line - 1).starts_with("</"))
        return "no empty line after the closing tag on line " + std::to_string(line - 1) +
               ": the installer never reads the line right after a closing tag";
    if (!text.empty() && text[0] != '<')
        return "its tag is not at the start of the line";
    return "the installer does not read it as a step";
}

} // namespace

struct EditorReading::Steps {
    Steps(std::string_view mod, const std::vector<std::string_view>& split)
        : lines(mod, split), editor(lines) {
        readMod(SharedBytes{nullptr, mod}, editor, kMaxBlockText, &editor);
        for (std::size_t k = 0; k < editor.steps.size(); ++k)
            byLine.emplace(editor.steps[k].line, k);
    }
    const Lines lines;
    EditorSteps editor;
    std::unordered_map<std::size_t, std::size_t> byLine; // index into editor.steps
};

EditorReading::EditorReading(std::string_view mod, const std::vector<std::string_view>& modLines)
    : steps_(std::make_unique<Steps>(mod, modLines)) {}
EditorReading::EditorReading(EditorReading&&) noexcept = default;
EditorReading::~EditorReading() = default;

std::vector<ReadingDifference> EditorReading::differencesFrom(const yabmod::Run& run) const {
    const Steps& steps = *steps_;
    const Lines& lines = steps.lines;
    const std::vector<EditorStep>& editor = steps.editor.steps;
    std::vector<bool> seen(editor.size());
    std::map<std::size_t, std::string> found;
    for (const yabmod::StepRun& s : run.steps) {
        // An "<edit file>" before its action: the installer passes it by.
        if (s.result == yabmod::StepRun::Result::NoAction)
            continue;
        const auto e = steps.byLine.find(s.modLine);
        if (e == steps.byLine.end()) {
            found[s.modLine] = "the installer reads a step at line " + std::to_string(s.modLine) +
                               " that the editor does not show" +
                               (s.action == yabmod::StepRun::Action::None
                                    ? ": it has no action block of its own"
                                    : "");
            continue;
        }
        const EditorStep& step = editor[e->second];
        seen[e->second] = true;
        const int kind = s.action == yabmod::StepRun::Action::Replace     ? 1
                         : s.action == yabmod::StepRun::Action::AddBefore ? 2
                         : s.action == yabmod::StepRun::Action::AddAfter  ? 3
                                                                          : 0;
        const std::string_view name = withoutLf(lines.line(run.files[s.file].modLine + 1));
        // The texts as read, each line with its line end: compared without
        // carriage returns, they are what the installer searches for and adds.
        const std::span<const std::string_view> search = lines.from(s.modLine, s.searchRead);
        const std::span<const std::string_view> action = lines.from(s.actionLine, s.actionRead);
        std::string what;
        if (kind != step.kind)
            what = kind == 0 ? "the installer finds no action for it"
                             : "the installer reads another kind of action";
        else if (!sameWithoutCr(name, step.file.view()))
            what = "the installer reads its file name as " + shown(name) + ", the editor as " +
                   shown(step.file.view());
        else if (std::string t = textDifference("search text", search, step.search); !t.empty())
            what = std::move(t);
        else if (std::string t = textDifference("action text", action, step.action); !t.empty())
            what = std::move(t);
        if (!what.empty())
            found[s.modLine] = "step at line " + std::to_string(s.modLine) + ": " + what;
    }
    const std::size_t firstEditFile = run.files.empty() ? 0 : run.files.front().modLine;
    for (std::size_t k = 0; k < editor.size(); ++k)
        if (!seen[k])
            found[editor[k].line] = "the installer skips the step at line " +
                                    std::to_string(editor[k].line) + ": " +
                                    whySkipped(lines, editor[k].line, firstEditFile);
    std::vector<ReadingDifference> out;
    for (auto& [line, what] : found)
        out.push_back({line, std::move(what)});
    return out;
}

std::vector<ReadingDifference> readingDifferences(const EditorReading& editor,
                                                  std::string_view mod,
                                                  const std::vector<std::string_view>& modLines) {
    yabmod::Options options;
    options.keepGoing = true;
    options.readingOnly = true;
    options.withChanges = false;
    options.modLines = &modLines;
    return editor.differencesFrom(yabmod::runInstaller(mod, {"/forum", "/html"},
                                                       yabmod::Mode::Install,
                                                       yabmod::readFromDisk, options));
}

std::vector<ReadingDifference> readingDifferences(std::string_view mod,
                                                  const std::vector<std::string_view>* modLines) {
    std::vector<std::string_view> own;
    if (!modLines)
        own = perlLines(mod);
    const std::vector<std::string_view>& split = modLines ? *modLines : own;
    return readingDifferences(EditorReading(mod, split), mod, split);
}

} // namespace torvale
