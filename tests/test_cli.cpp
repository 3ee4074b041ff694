// torvale-cli as other tools see it: its output, its exit status, its errors.
#include "check/yabmod.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <random>

using namespace torvale;
using test::ProcessResult;

namespace {

ProcessResult cli(const std::vector<std::string>& args, bool unprivileged = false) {
    return test::runProcess(TORVALE_CLI_PATH, args, unprivileged);
}

} // namespace

TEST(Cli, AssemblesAndDumpsACompleteRead) {
    test::TempDir dir;
    test::writeBytes(dir / "sample.mod", test::sampleModText() + "\r\n\r\n");
    ProcessResult r = cli({"assemble", (dir / "sample.mod").string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, test::sampleModText());
    EXPECT_EQ(r.err, "");

    r = cli({"dump", (dir / "sample.mod").string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.starts_with(
        R"({"complete": true, "error": null, "properties": {"id": "Sample Mod")"));
    EXPECT_TRUE(r.out.ends_with("\"selected\": 0, \"findings\": []}\n"));
}

TEST(Cli, RealModsAssembleToAFixedPoint) {
    test::TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(test::sharedDir() / "realmods")) {
        const ProcessResult first = cli({"assemble", entry.path().string()});
        ASSERT_EQ(first.exitCode, 0) << entry.path() << first.err;
        test::writeBytes(dir / "again.mod", first.out);
        const ProcessResult second = cli({"assemble", (dir / "again.mod").string()});
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_EQ(second.out, first.out) << entry.path();
    }
    // The Russian pack is UTF-8; its bytes come through the dump escaped.
    const ProcessResult dump =
        cli({"dump", (test::sharedDir() / "realmods" / "add_Russian_language.mod").string()});
    EXPECT_EQ(dump.exitCode, 0);
    for (const char c : dump.out)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "the dump is ASCII";
}

TEST(Cli, AssembleKeepsTheModsLineEnds) {
    // apache24_fix_2 is an LF mod: it stays one, and its CR LF copy stays CR LF.
    test::TempDir dir;
    const std::string lfMod = (test::sharedDir() / "realmods" / "apache24_fix_2.mod").string();
    const ProcessResult lf = cli({"assemble", lfMod});
    ASSERT_EQ(lf.exitCode, 0) << lf.err;
    EXPECT_EQ(lf.out.find('\r'), std::string::npos);
    EXPECT_TRUE(lf.out.starts_with("<id>\nApache 2.4 fix for YaBB 2.7.00\n</id>\n\n"));

    std::string crlf;
    for (const char c : test::readBytes(lfMod))
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    test::writeBytes(dir / "crlf.mod", crlf);
    const ProcessResult back = cli({"assemble", (dir / "crlf.mod").string()});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    std::string expected;
    for (const char c : lf.out)
        expected += c == '\n' ? "\r\n" : std::string(1, c);
    EXPECT_EQ(back.out, expected);
}

TEST(Cli, LargeFilesComeBackWholeWhateverTheOutput) {
    // Long stretches of a file in the writer's own layout go from file to
    // file inside the system when the output is a regular file; into a pipe,
    // or a file opened for appending, they are written from memory.
    test::TempDir dir;
    const std::string mod = test::readBytes(test::sharedDir() / "realmods" / "apache24_fix_2.mod");
    std::string body;
    const std::string block = mod.substr(mod.find("<edit file>"));
    while (body.size() < (std::size_t(3) << 20))
        body += block + "\r\n\r\n";
    test::writeBytes(dir / "big.mod", body);
    const ProcessResult canonical = cli({"assemble", (dir / "big.mod").string()});
    ASSERT_EQ(canonical.exitCode, 0) << canonical.err;
    test::writeBytes(dir / "canonical.mod", canonical.out);

    const std::string in = (dir / "canonical.mod").string();
    const ProcessResult toFile = cli({"assemble", in});
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_TRUE(toFile.out == canonical.out);

    const std::string piped = (dir / "piped.mod").string();
    const std::string appended = (dir / "appended.mod").string();
    test::writeBytes(appended, "before\n");
    const ProcessResult shell = test::runProcess(
        "/bin/sh",
        {"-c", "\"$0\" assemble \"$1\" | cat > \"$2\" && \"$0\" assemble \"$1\" >> \"$3\"",
         TORVALE_CLI_PATH, in, piped, appended});
    ASSERT_EQ(shell.exitCode, 0) << shell.err;
    EXPECT_TRUE(test::readBytes(piped) == canonical.out);
    EXPECT_TRUE(test::readBytes(appended) == "before\n" + canonical.out);
}

TEST(Cli, StoppedReadStillWritesTheDocumentAsRead) {
    test::TempDir dir;
    test::writeBytes(dir / "cut.mod", test::crlfLines({"<id>", "Cut", "</id>", "<homepage>", "x"}));
    ProcessResult r = cli({"dump", (dir / "cut.mod").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.starts_with(
        R"({"complete": false, "error": "</homepage>not found!", "properties": {"id": "Cut")"));
    EXPECT_NE(r.out.find(R"("homepage": "x")"), std::string::npos);
    EXPECT_NE(r.err.find("</homepage>not found!"), std::string::npos);

    r = cli({"assemble", (dir / "cut.mod").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.starts_with("<id>\r\nCut\r\n</id>\r\n"));
}

TEST(Cli, UnreadableFilesExitTwoWithTheReason) {
    test::TempDir dir;
    const std::string missing = (dir / "missing.mod").string();
    ProcessResult r = cli({"dump", missing});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "torvale-cli: cannot read " + missing + ": No such file or directory.\n");

    r = cli({"assemble", dir.path().string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("It is a folder"), std::string::npos);

    // A file its reader may not open. Root reads everything, so the tool runs
    // as an unprivileged user then.
    const auto open = dir / "open";
    std::filesystem::create_directory(open);
    std::filesystem::permissions(open, std::filesystem::perms::all);
    test::writeBytes(open / "secret.mod", "<id>\r\nx\r\n</id>\r\n");
    std::filesystem::permissions(open / "secret.mod", std::filesystem::perms::none);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    r = cli({"dump", (open / "secret.mod").string()}, true);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("secret.mod: Permission denied."), std::string::npos) << r.err;
}

TEST(Cli, BinaryFilesReadByTheRules) {
    test::TempDir dir;
    std::mt19937 rng(7);
    std::string bytes;
    for (int i = 0; i < 200000; ++i)
        bytes.push_back(char(rng()));
    bytes.insert(1000, "<edit file>\n\0\n</edit file>\n", 27);
    test::writeBytes(dir / "noise.mod", bytes);
    for (const char* command : {"dump", "assemble"}) {
        const ProcessResult r = cli({command, (dir / "noise.mod").string()});
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << command << ": " << r.err;
        EXPECT_FALSE(r.out.empty());
    }
}

TEST(Cli, UsageErrorsExitSixtyFour) {
    EXPECT_EQ(cli({}).exitCode, 64);
    EXPECT_EQ(cli({"dump"}).exitCode, 64);
    EXPECT_EQ(cli({"print", "x.mod"}).exitCode, 64);
    EXPECT_EQ(cli({"dump", "a.mod", "b.mod"}).exitCode, 64);
    EXPECT_EQ(cli({"check"}).exitCode, 64);
    EXPECT_EQ(cli({"check", "--forum"}).exitCode, 64);
    EXPECT_EQ(cli({"check", "--diff", "a.mod", "b.mod"}).exitCode, 64);
    EXPECT_EQ(cli({"check", "--verbose", "a.mod"}).exitCode, 64);
    EXPECT_EQ(cli({"check", "--html"}).exitCode, 64);
    const ProcessResult help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"dump FILE", "assemble FILE", "\\u00XX", "64"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST(Cli, ChecksRealModsAgainstTheForum) {
    const std::string forum = (test::sharedDir() / "forum" / "yabb2").string();
    const std::string script = forum + "/YaBB.pl";
    const std::string apache = (test::sharedDir() / "realmods" / "apache24_fix_2.mod").string();
    ProcessResult r = cli({"check", "--forum", script, apache});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("The installer would install this mod.\n")) << r.out;
    EXPECT_NE(r.out.find("Admin/ModList.pm (line 50): changed\n"
                         "  step 1 (line 54, \"### END BOARDMOD ANCHOR ###\"): found at line 53\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("26 steps: 26 found, 0 failed.\n")) << r.out;

    r = cli({"check", "--forum", script,
             (test::sharedDir() / "realmods" / "add_Dutch_language.mod").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Languages/Lang.lng (line"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CR LF line ends"), std::string::npos) << r.out;

    // One character off in a search text: the installer stops there, and the
    // steps after it are not reached, though found past it.
    test::TempDir dir;
    std::string mod = test::readBytes(apache);
    const std::size_t at = mod.find("if (@guardianadminpmmods) {");
    ASSERT_NE(at, std::string::npos);
    mod[at + 5] = 'G';
    test::writeBytes(dir / "off.mod", mod);
    r = cli({"check", "--forum", script, (dir / "off.mod").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.starts_with("The installer would stop at step 2")) << r.out;
    EXPECT_NE(r.out.find("): not found: the lines stand at line 23 but differ in letter case\n"
                         "  step 3 (line 75, \"    my $htheader = q~<Files YaBB*>~;\"): not "
                         "reached: the installer stops before it (past the failures it would be "
                         "found at line 432)"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("26 steps: 1 found, 1 failed, 24 not reached.\n")) << r.out;
    // Its diff: none, and why; with --keep-going, the diff of the other steps.
    r = cli({"check", "--diff", "--forum", script, (dir / "off.mod").string()});
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no diff"), std::string::npos) << r.err;
    r = cli({"check", "--diff", "--keep-going", "--forum", script, (dir / "off.mod").string()});
    EXPECT_NE(r.out.find("+++ b/Sources/Subs.pm"), std::string::npos);
    EXPECT_EQ(r.out.find("+++ b/Admin/GuardianAdmin.pm\n@@ -20,"), std::string::npos);

    // Without a forum nothing is tested; a forum script that is not there, or
    // a mod that cannot be read, is an error.
    r = cli({"check", apache});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("not tested"), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("26 steps: 0 found, 0 failed, 26 not tested.\n")) << r.out;
    EXPECT_EQ(cli({"check", "--forum", forum + "/Nothing.pl", apache}).exitCode, 2);
    // The list YaBB keeps to delete a mod's package is no mod, and is named so.
    const std::string uninstall =
        (test::sharedDir() / "realmods" / "uninstall_apache24_fix_2.mod").string();
    r = cli({"check", "--forum", script, uninstall});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the list YaBB keeps of a mod's files"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("step"), std::string::npos) << r.out;
    EXPECT_EQ(cli({"check", "--forum", script, (dir / "none.mod").string()}).exitCode, 2);
}

// The diff, applied by patch to a copy of the forum, gives the files the
// installer writes, carriage returns and all; the uninstall names the files
// whose line ends the round trip changes.
TEST(Cli, CheckDiffIsAPatchForACopyOfTheForum) {
    const auto forum = test::sharedDir() / "forum" / "yabb2";
    test::TempDir dir;
    std::filesystem::copy(forum, dir / "forum", std::filesystem::copy_options::recursive);
    const std::string apache = (test::sharedDir() / "realmods" / "apache24_fix_2.mod").string();
    const ProcessResult r =
        cli({"check", "--diff", "--forum", (forum / "YaBB.pl").string(), apache});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("--- a/Admin/ModList.pm\n+++ b/Admin/ModList.pm\n@@ "), std::string::npos);
    EXPECT_NE(r.err.find("26 steps: 26 found"), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/patch")) << "no patch program";
    test::writeBytes(dir / "apache.diff", r.out);
    const ProcessResult patched =
        test::runProcess("/bin/sh", {"-c", "cd \"$0\" && patch -p1 --batch < \"$1\"",
                                     (dir / "forum").string(), (dir / "apache.diff").string()});
    EXPECT_EQ(patched.exitCode, 0) << patched.out << patched.err;
    EXPECT_NE(test::readBytes(dir / "forum" / "Admin" / "ModList.pm")
                  .find("    push @installed_mods, $apache24_a;\n### END BOARDMOD ANCHOR ###"),
              std::string::npos);
    // Byte for byte what the model of the installer writes.
    const std::string board = std::filesystem::canonical(forum).string();
    const yabmod::Run run =
        yabmod::runInstaller(test::readBytes(apache), {board, ""}, yabmod::Mode::Install);
    ASSERT_EQ(run.end, yabmod::Run::End::Done);
    std::size_t compared = 0;
    for (const auto& [path, bytes] : run.changes) {
        if (path.ends_with(".bak"))
            continue;
        const std::string relative = path.substr(board.size() + 1);
        EXPECT_EQ(test::readBytes(dir / "forum" / relative), bytes.value_or("")) << relative;
        ++compared;
    }
    EXPECT_EQ(compared, 13u); // three sources and ten .htaccess files
    // The installer takes the carriage returns out of the lines it looks at.
    const std::string htaccess = test::readBytes(dir / "forum" / "Admin" / ".htaccess");
    EXPECT_NE(test::readBytes(forum / "Admin" / ".htaccess").find('\r'), std::string::npos);
    EXPECT_EQ(htaccess.substr(0, htaccess.find("order")).find('\r'), std::string::npos) << htaccess;

    const ProcessResult round =
        cli({"check", "--uninstall", "--forum", (forum / "YaBB.pl").string(), apache});
    EXPECT_EQ(round.exitCode, 1);
    EXPECT_NE(round.out.find("Uninstall: not every file comes back as it was.\n"
                             "  Admin/.htaccess: the line ends of"),
              std::string::npos)
        << round.out;
}

// An edit-file name 60,000 folders deep: no stack overflow, and the report
// says the file is missing.
TEST(Cli, CheckOfANameNoFileCanHaveSaysWhy) {
    const std::string script = (test::sharedDir() / "forum" / "yabb2" / "YaBB.pl").string();
    std::string deep;
    for (int i = 0; i < 60000; ++i)
        deep += "Sources/";
    test::TempDir dir;
    test::writeBytes(dir / "deep.mod", test::crlfLines({"<id>", "Deep", "</id>", "<edit file>",
                                                        deep + "Post.pl", "</edit file>",
                                                        "<search for>", "sub Post {",
                                                        "</search for>", "<add after>", "# x",
                                                        "</add after>"}));
    const ProcessResult r = cli({"check", "--forum", script, (dir / "deep.mod").string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("): file missing: "), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("1 step: 0 found, 1 failed.\n"))
        << r.out.substr(r.out.size() - std::min<std::size_t>(r.out.size(), 300));
}

// A mod written for an older forum: check --json names where its lines went,
// and port takes them, leaving the step whose place is not clear.
TEST(Cli, PortsAModToTheForumsLinesAndReportsItAsJson) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "Sources");
    const std::string script = (dir / "YaBB.pl").string();
    test::writeBytes(script, "print 1;\n");
    test::writeBytes(dir / "Sources" / "Post.pm",
                     "sub Post {\n    my $name = $FORM{'name'};\n    if ($name eq '') { fatal_error('no_name'); }\n"
                     "}\nsub A {\n    $x = 1;\n}\nsub B {\n    $x = 1;\n}\n");
    const auto block = [](const char* tag, const std::string& text) {
        return std::string("<") + tag + ">\r\n" + text + "\r\n</" + tag + ">\r\n\r\n";
    };
    const std::string mod = "<id>\r\nm\r\n</id>\r\n\r\n" + block("edit file", "Sources/Post.pm") +
                            block("search for", "    my $nick = $FORM{'name'};\r\n    if ($nick eq '') {"
                                                " fatal_error('no_name'); }") +
                            block("add after", "    # checked") + block("search for", "    $x = 2;") +
                            block("add after", "    # two");
    test::writeBytes(dir / "old.mod", mod);

    ProcessResult r = cli({"check", "--json", "--forum", script, (dir / "old.mod").string()});
    EXPECT_EQ(r.exitCode, 1);
    const nlohmann::json report = nlohmann::json::parse(r.out);
    EXPECT_FALSE(report["installs"]);
    ASSERT_EQ(report["steps"].size(), 2u);
    const nlohmann::json& first = report["steps"][0];
    EXPECT_EQ(first["step"], 1);
    EXPECT_EQ(first["mod_line"], 9);
    EXPECT_EQ(first["file"], "Sources/Post.pm");
    EXPECT_EQ(first["status"], "not found");
    EXPECT_EQ(first["nearest"]["first"], 2);
    EXPECT_EQ(first["nearest"]["last"], 3);
    EXPECT_GT(first["nearest"]["similarity"], 0.6);
    EXPECT_EQ(report["steps"][1]["status"], "not reached");
    EXPECT_TRUE(report["steps"][1]["nearest"]["ambiguous"]);
    EXPECT_FALSE(report["warnings"].empty()); // CR LF line ends

    r = cli({"check", "--forum", script, (dir / "old.mod").string()});
    EXPECT_NE(r.out.find("    nearest place: lines 2-3 (similarity"), std::string::npos) << r.out;

    // Step 1 clearly went to lines 2-3; step 2 could be either "$x = 1;".
    r = cli({"port", "--forum", script, "-o", (dir / "new.mod").string(), (dir / "old.mod").string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("step 1 (line 9): changed: took lines 2-3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("step 2 (line 18): left: "), std::string::npos) << r.out;
    std::string expected = mod;
    expected.replace(expected.find("    my $nick"), expected.find("\r\n</search for>") - expected.find("    my $nick"),
                     "    my $name = $FORM{'name'};\r\n    if ($name eq '') { fatal_error('no_name'); }");
    EXPECT_EQ(test::readBytes(dir / "new.mod"), expected);

    // Without the ambiguous step the ported mod passes; to standard output.
    test::writeBytes(dir / "one.mod", mod.substr(0, mod.find("<search for>\r\n    $x")));
    r = cli({"port", "--forum", script, (dir / "one.mod").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected.substr(0, expected.find("<search for>\r\n    $x")));
    EXPECT_EQ(cli({"port", (dir / "one.mod").string()}).exitCode, 64);
}

TEST(Cli, MakeWritesTheModAndExitsByWhatItCovers) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    for (const char* side : {"original", "changed"}) {
        fs::copy(test::sharedDir() / "forum/yabb2", dir / side, fs::copy_options::recursive);
        for (const auto& entry : fs::recursive_directory_iterator(dir / side))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    const fs::path subs = dir / "changed/Sources/Subs.pm";
    std::string bytes = test::readBytes(subs);
    bytes.insert(bytes.find('\n', bytes.size() / 2) + 1, "# one line more\n");
    test::writeBytes(subs, bytes);
    const std::string mod = (dir / "made.mod").string();
    ProcessResult r = cli({"make", (dir / "original").string(), (dir / "changed").string(), "-o", mod});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Sources/Subs.pm: 1 step\n"), std::string::npos) << r.err;
    // The mod installs on the original forum, and goes to standard output without -o.
    r = cli({"check", "--forum", (dir / "original/YaBB.pl").string(), mod});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = cli({"make", (dir / "original").string(), (dir / "changed").string()});
    EXPECT_EQ(r.out, test::readBytes(mod));
    // Two files: named from the folder above that holds the forum's script.
    r = cli({"make", (dir / "original/Sources/Subs.pm").string(), subs.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("<edit file>\nSources/Subs.pm\n</edit file>"), std::string::npos) << r.out;

    // New and binary files are not covered: named, exit 1, the mod written all the same.
    test::writeBytes(dir / "changed/Sources/New.pm", "1;\n");
    test::writeBytes(dir / "original/logo.gif", std::string("GIF\0a", 5));
    test::writeBytes(dir / "changed/logo.gif", std::string("GIF\0b", 5));
    fs::remove(mod);
    r = cli({"make", (dir / "original").string(), (dir / "changed").string(), "-o", mod});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Sources/New.pm: not covered: a new file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("logo.gif: not covered: a binary file"), std::string::npos) << r.err;
    EXPECT_NE(test::readBytes(mod).find("Sources/New.pm"), std::string::npos) << "named in the mod's info";

    r = cli({"make", (dir / "original").string(), (dir / "missing").string(), "-o", mod});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("missing"), std::string::npos) << r.err;
    r = cli({"make", (dir / "original").string(), subs.string()});
    EXPECT_EQ(r.exitCode, 2) << "a folder and a file";
}
