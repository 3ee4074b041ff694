// The mod made from two trees: each changed file's steps run through the model
// of the installer on the original, and kept only as far as they give the copy.
#include "make_mod.h"

#include "document/line_ends.h"
#include "document/mod_assembler.h"
#include "install_file.h"
#include "make_steps.h"
#include "yabmod.h"

#include <algorithm>
#include <cstring>

namespace torvale {

namespace {

constexpr const char* kBoard = "/forum";

// The lines whose ends alone differ, from 1; nothing when more than line ends differ.
std::optional<std::vector<std::size_t>> lineEndsApart(std::string_view made,
                                                      std::string_view wanted) {
    const auto a = perlLines(made);
    const auto b = perlLines(wanted);
    if (a.size() != b.size())
        return std::nullopt;
    std::vector<std::size_t> lines;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        if (lineKey(a[i]) != lineKey(b[i]))
            return std::nullopt;
        lines.push_back(i + 1);
    }
    return lines;
}

void addFile(ModDocument& doc, const std::string& name, const std::vector<MadeStep>& steps) {
    Node* file = doc.appendNode(nullptr, TItem{name, akEditFile, {}, {}}, LabelForm::Read);
    for (const MadeStep& step : steps)
        doc.appendNode(file, TItem{{}, step.kind, step.search, step.action});
}

// Installs the file's steps on the original with the model, and says how far
// the result is the changed file.
void prove(MadeFile& made, const FilePair& pair, const std::vector<MadeStep>& steps) {
    ModDocument doc;
    addFile(doc, pair.name, steps);
    const std::string mod = assembleMod(doc, LineEnds::Lf);
    const std::string path = std::string(kBoard) + "/" + pair.name;
    const auto read = [&](const std::string& at) {
        yabmod::DiskEntry entry;
        if (at == path) {
            entry.kind = yabmod::DiskEntry::Kind::File;
            entry.bytes = *pair.original;
        }
        return entry;
    };
    const yabmod::Run run = yabmod::runInstaller(mod, {kBoard, ""}, yabmod::Mode::Install, read);
    if (run.end != yabmod::Run::End::Done) {
        made.status = MadeFile::Status::NotMade;
        made.reason = "the installer would stop: " + run.message;
        return;
    }
    const auto written = run.changes.find(path);
    const std::string_view result = written != run.changes.end() && written->second
                                        ? std::string_view(*written->second)
                                        : std::string_view(*pair.original);
    if (result == *pair.changed)
        return;
    if (auto ends = lineEndsApart(result, *pair.changed)) {
        made.status = MadeFile::Status::LineEnds;
        made.lineEnds = std::move(*ends);
        return;
    }
    made.status = MadeFile::Status::NotMade;
    made.reason = "the steps made do not give the changed file (a fault of Torvale)";
}

std::string ranges(const std::vector<std::size_t>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1)
            ++j;
        if (!out.empty())
            out += ", ";
        out += std::to_string(lines[i]);
        if (j > i)
            out += "-" + std::to_string(lines[j]);
        i = j + 1;
    }
    return out;
}

std::string plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

} // namespace

bool MadeMod::complete() const {
    return std::all_of(files.begin(), files.end(), [](const MadeFile& f) { return f.covered(); });
}

MadeMod makeMod(const std::vector<FilePair>& files, const MakeProperties& properties) {
    MadeMod out;
    std::vector<std::pair<std::string, std::vector<MadeStep>>> kept;
    std::vector<std::string> added, removed;
    for (const FilePair& pair : files) {
        if (pair.original && pair.changed && *pair.original == *pair.changed)
            continue;
        if (!pair.original && !pair.changed)
            continue;
        MadeFile& made = out.files.emplace_back();
        made.name = pair.name;
        if (!pair.original) {
            made.status = MadeFile::Status::New;
            made.reason = "a new file: a mod cannot make files, ship it beside the mod";
            added.push_back(pair.name);
            continue;
        }
        if (!pair.changed) {
            made.status = MadeFile::Status::Removed;
            made.reason = "removed: a mod cannot remove files";
            removed.push_back(pair.name);
            continue;
        }
        if (std::memchr(pair.original->data(), 0, pair.original->size()) ||
            std::memchr(pair.changed->data(), 0, pair.changed->size())) {
            made.status = MadeFile::Status::Binary;
            made.reason = "a binary file (it holds NUL bytes)";
            continue;
        }
        FileSteps steps = makeFileSteps(*pair.original, *pair.changed);
        if (!steps.problem.empty()) {
            made.status = MadeFile::Status::NotMade;
            made.reason = steps.problem;
            continue;
        }
        prove(made, pair, steps.steps);
        if (made.status == MadeFile::Status::NotMade || steps.steps.empty())
            continue;
        made.steps = steps.steps.size();
        out.steps += made.steps;
        kept.emplace_back(pair.name, std::move(steps.steps));
    }

    std::string info = properties.info;
    const auto list = [&info](const char* heading, const std::vector<std::string>& names) {
        if (names.empty())
            return;
        info += std::string(info.empty() ? "" : "\r\n\r\n") + heading;
        for (const std::string& name : names)
            info += "\r\n" + name;
    };
    list("New files to upload beside the mod:", added);
    list("Files to remove from the forum by hand:", removed);
    out.document.setProperty(Property::Id, properties.id);
    out.document.setProperty(Property::Version, properties.version);
    out.document.setProperty(Property::ModInfo, info);
    out.document.setProperty(Property::Author, properties.author);
    out.document.setProperty(Property::Homepage, properties.homepage);
    for (const auto& [name, steps] : kept)
        addFile(out.document, name, steps);
    out.text = assembleMod(out.document, LineEnds::Lf);
    return out;
}

std::string describeMadeFile(const MadeFile& file) {
    switch (file.status) {
    case MadeFile::Status::Covered:
        return plural(file.steps, "step");
    case MadeFile::Status::LineEnds:
        return plural(file.steps, "step") +
               "; not byte for byte: the installer writes other line ends on " +
               (file.lineEnds.size() == 1 ? "line " : "lines ") + ranges(file.lineEnds) +
               " (it takes the carriage returns out of every line it searches, and ends an unended "
               "last line it writes)";
    default:
        return "not covered: " + file.reason;
    }
}

} // namespace torvale
