// Mods made from a file and its changed copy, held to the model of YaBB's
// installer and to the check: random changes to real forum files, and apache24_fix_2.
#include "check/install_file.h"
#include "check/make_mod.h"
#include "check/make_steps.h"
#include "check/mod_check.h"
#include "check/yabmod.h"
#include "make_mod_random.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace torvale;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kCases = 1000;

bool blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The forum "/forum" holding the files given, for the model and the check.
yabmod::ReadFile forumOf(const std::map<std::string, std::string>& files) {
    return [files](const std::string& path) {
        yabmod::DiskEntry entry;
        if (path.starts_with("/forum/"))
            if (const auto it = files.find(path.substr(7)); it != files.end()) {
                entry.kind = yabmod::DiskEntry::Kind::File;
                entry.bytes = it->second;
            }
        return entry;
    };
}

// Installs mod on the originals with the model and compares each file with
// its changed copy: the same, but for the line ends the report names.
void expectMakes(const MadeMod& made, const std::vector<FilePair>& pairs, const std::string& what) {
    std::map<std::string, std::string> originals;
    for (const FilePair& p : pairs)
        if (p.original)
            originals[p.name] = *p.original;
    // A search text starts or ends with a blank line only at the file's edge,
    // where no other line can stand in for it.
    yabmod::Options watch;
    watch.onStep = [&](const yabmod::StepView& step) {
        if (step.after || step.search.empty())
            return;
        const std::size_t at = step.step.found.value_or(0);
        EXPECT_TRUE(!blank(step.search.front()) || at == 0)
            << what << "step " << step.step.number << "\n"
            << made.text;
        // ... or before an unended last line, which a step that ends there would end.
        const std::size_t end = at + step.search.size(), count = step.file.lineCount();
        EXPECT_TRUE(!blank(step.search.back()) || end == count ||
                    (end + 1 == count && !step.file.output(end).ends_with('\n')))
            << what << "step " << step.step.number << "\n"
            << made.text;
    };
    const yabmod::Run run = yabmod::runInstaller(made.text, {"/forum", ""}, yabmod::Mode::Install,
                                                 forumOf(originals), watch);
    ASSERT_EQ(run.end, yabmod::Run::End::Done) << what << run.message << "\n" << made.text;
    for (const MadeFile& file : made.files) {
        if (file.status != MadeFile::Status::Covered && file.status != MadeFile::Status::LineEnds)
            continue;
        const auto pair = std::find_if(pairs.begin(), pairs.end(),
                                       [&](const FilePair& p) { return p.name == file.name; });
        const auto written = run.changes.find("/forum/" + file.name);
        const std::string result =
            written != run.changes.end() ? *written->second : *pair->original;
        const auto got = perlLines(result), want = perlLines(*pair->changed);
        ASSERT_EQ(got.size(), want.size()) << what << file.name;
        std::vector<std::size_t> differing;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (got[i] != want[i]) {
                EXPECT_EQ(lineKey(got[i]), lineKey(want[i]))
                    << what << file.name << " line " << i + 1;
                differing.push_back(i + 1);
            }
        }
        EXPECT_EQ(differing, file.lineEnds) << what << file.name;
    }
    // The check finds every step once, where the installer takes it.
    CheckOptions options;
    options.forumDirectory = "/forum";
    options.read = forumOf(originals);
    const CheckReport report = checkMod(made.text, options);
    EXPECT_TRUE(report.passes()) << what << formatReport(report);
    EXPECT_EQ(report.steps.size(), made.steps) << what;
    for (const StepCheck& step : report.steps)
        EXPECT_TRUE(step.status == StepCheck::Status::Found && step.again == 0)
            << what << "step " << step.step << ": " << describeStep(step) << "\n"
            << made.text;
}

} // namespace

TEST(MakeMod, RandomChangesToForumFilesComeBackThroughTheInstaller) {
    for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
        const test::MakeCase c = test::randomMakeCase(seed);
        const std::string what = "seed " + std::to_string(seed) + " (" + c.what + "): ";
        const MadeMod made = makeMod({c.pair}, {});
        if (*c.pair.original == *c.pair.changed) {
            EXPECT_TRUE(made.files.empty()) << what;
            continue;
        }
        ASSERT_EQ(made.files.size(), 1u) << what;
        const MadeFile& file = made.files[0];
        ASSERT_TRUE(file.status == MadeFile::Status::Covered ||
                    file.status == MadeFile::Status::LineEnds)
            << what << describeMadeFile(file);
        // Byte for byte where the installer keeps line ends: LF lines, the last one ended.
        if (!c.crlf && c.pair.changed->ends_with('\n')) {
            EXPECT_TRUE(file.covered()) << what << describeMadeFile(file);
        }
        EXPECT_LE(file.steps, c.edits) << what;
        expectMakes(made, {c.pair}, what);
    }
}

// apache24_fix_2 installed on a copy of the forum, and the mod made back from
// the two: it installs on the original forum with no more steps and gives the
// copy byte for byte; with the copy's CR LF files given CR LF on every line, as
// an author's editor keeps them, it names exactly the lines whose ends change.
TEST(MakeMod, Apache24FixMadeBackFromTheForumItChanged) {
    const fs::path forum = fs::canonical(test::sharedDir() / "forum/yabb2");
    const std::string mod = test::readBytes(test::sharedDir() / "realmods/apache24_fix_2.mod");
    yabmod::Options keepGoing;
    keepGoing.keepGoing = true; // a few of its files are not in this forum
    const yabmod::Run run = yabmod::runInstaller(mod, {forum.string(), ""}, yabmod::Mode::Install,
                                                 yabmod::readFromDisk, keepGoing);
    const std::size_t theirSteps = run.steps.size();
    test::TempDir dir;
    fs::copy(forum, dir / "changed", fs::copy_options::recursive);
    std::size_t written = 0;
    for (const auto& [path, bytes] : run.changes)
        if (bytes && !path.ends_with(".bak")) {
            fs::permissions(dir / "changed" / fs::path(path).lexically_relative(forum),
                            fs::perms::owner_write, fs::perm_options::add);
            test::writeBytes(dir / "changed" / fs::path(path).lexically_relative(forum), *bytes);
            ++written;
        }
    ASSERT_GT(written, 5u);

    for (const bool crlfKept : {false, true}) {
        const MakeInput input = readMakeInput(forum, dir / "changed");
        ASSERT_TRUE(input.ok) << input.error;
        const MadeMod made = makeMod(input.files, {});
        EXPECT_EQ(made.files.size(), written);
        EXPECT_LE(made.steps, theirSteps);
        for (const MadeFile& file : made.files) {
            const bool lineEnds = crlfKept && file.name.ends_with(".htaccess");
            EXPECT_EQ(file.status,
                      lineEnds ? MadeFile::Status::LineEnds : MadeFile::Status::Covered)
                << file.name << ": " << describeMadeFile(file);
        }
        expectMakes(made, input.files,
                    crlfKept ? "apache24_fix_2, CR LF kept: " : "apache24_fix_2: ");
        for (const auto& entry : fs::recursive_directory_iterator(dir / "changed"))
            if (entry.path().filename() == ".htaccess") {
                std::string bytes = test::readBytes(entry.path());
                std::erase(bytes, '\r');
                for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; at += 2)
                    bytes.insert(at, "\r");
                test::writeBytes(entry.path(), bytes);
            }
    }
}

// The step each kind of change becomes, and its search text, in a file of
// distinct lines around a repeated block.
TEST(MakeMod, EachChangeBecomesTheStepItCalls) {
    const std::string file =
        "sub a {\n    x();\n}\n\nsub b {\n    x();\n}\n\nsub c {\n    y();\n}\n";
    struct Case {
        const char* what;
        std::string changed;
        std::vector<std::int32_t> kinds;
        std::vector<std::string> searches;
    };
    const auto with = [&](std::string_view from, std::string_view to) {
        std::string out = file;
        return out.replace(out.find(from), from.size(), to);
    };
    const std::vector<Case> cases = {
        {"a line put in after a distinctive one",
         with("sub c {\n", "sub c {\n    z();\n"),
         {akSearchAddAfter},
         {"sub c {"}},
        {"a line put in at the top", "# top\n" + file, {akSearchAddBefore}, {"sub a {"}},
        {"a line put in at the end", file + "1;\n", {akSearchAddAfter}, {"    y();\r\n}"}},
        {"a changed line of repeated code takes its distinctive neighbour",
         with("sub b {\n    x();", "sub b {\n    w();"),
         {akSearchReplace},
         {"sub b {\r\n    x();"}},
        {"a removed blank line is searched with lines that are not blank",
         with("}\n\nsub c", "}\nsub c"),
         {akSearchReplace},
         {"}\r\n\r\nsub c {"}},
        {"two changes two lines apart share one step",
         with("sub b {\n    x();\n}\n\nsub c {", "sub B {\n    x();\n}\n\nsub C {"),
         {akSearchReplace},
         {"sub b {\r\n    x();\r\n}\r\n\r\nsub c {"}},
        {"changes further apart are steps of their own",
         with("sub a {", "sub A {").replace(file.find("sub c {"), 7, "sub C {"),
         {akSearchReplace, akSearchReplace},
         {"sub a {", "sub c {"}},
        {"the last line's break taken away", file.substr(0, file.size() - 1), {}, {}},
    };
    // A change in the second of two like halves: only a run of hundreds of
    // lines, to the end of the file, tells the halves apart.
    std::string halves;
    for (int i = 0; i < 1000; ++i)
        halves += "line " + std::to_string(i % 500) + "\n";
    std::string changedHalves = halves;
    changedHalves.replace(changedHalves.find("line 20\n", halves.size() / 2), 7, "line XX");
    const MadeMod made = makeMod({{"f", halves, changedHalves}}, {});
    EXPECT_TRUE(made.complete() && made.steps == 1) << describeMadeFile(made.files.at(0));
    expectMakes(made, {{"f", halves, changedHalves}}, "two like halves: ");

    // Only a replacement can take out the lines before an unended last line,
    // and it ends that line: made, with the line named.
    const MadeMod ended = makeMod({{"f", "}\ny\nx", "x"}}, {});
    EXPECT_EQ(ended.files.at(0).status, MadeFile::Status::LineEnds);
    EXPECT_EQ(ended.files.at(0).lineEnds, std::vector<std::size_t>{1});
    // No step empties a file or adds to an empty one: said, not made.
    EXPECT_EQ(makeMod({{"f", file, ""}}, {}).files.at(0).status, MadeFile::Status::NotMade);
    EXPECT_EQ(makeMod({{"f", "", file}}, {}).files.at(0).status, MadeFile::Status::NotMade);

    for (const Case& c : cases) {
        const FileSteps steps = makeFileSteps(file, c.changed);
        std::vector<std::int32_t> kinds;
        std::vector<std::string> searches;
        for (const MadeStep& step : steps.steps) {
            kinds.push_back(step.kind);
            searches.push_back(step.search);
        }
        if (c.kinds.empty()) { // a step it cannot make byte for byte: the report tells
            EXPECT_EQ(makeMod({{"f", file, c.changed}}, {}).files.at(0).status,
                      MadeFile::Status::LineEnds)
                << c.what;
            continue;
        }
        EXPECT_EQ(kinds, c.kinds) << c.what;
        EXPECT_EQ(searches, c.searches) << c.what;
        EXPECT_TRUE(makeMod({{"f", file, c.changed}}, {}).complete()) << c.what;
    }
}
