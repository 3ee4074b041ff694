// The hand-made cases of the installer's rules, one named row each, and the
// forum trees that the cases are run on.
#include "yabmod_cases.h"

#include "test_support.h"

namespace torvale::test {

namespace {

// The forum of every table row: LF, CR LF with a lone CR, a last line
// without LF, an empty file, and a file in the html folder.
std::map<std::string, std::string> tableForum() {
    return {
        {"board/Sources/A.pm", "use strict;\nsub a {\n    return 1;\n}\n\n1;\n"},
        {"board/Sources/B.pm", "use strict;\r\nmy $x = 1;\r\nprint \"a\rb\";\r\n1;\r\n"},
        {"board/Admin/C.pm", "sub c {\n}\n1;"},
        {"board/Sources/Empty.pm", ""},
        {"html/style.css", "body {\n}\n"},
    };
}

const std::string kEditA = "<edit file>\nSources/A.pm\n</edit file>\n\n";

// A step in the usual layout, followed by its empty line.
std::string step(const std::string& search, const std::string& action, const std::string& text) {
    return "<search for>\n" + search + "</search for>\n<" + action + ">\n" + text + "</" + action +
           ">\n\n";
}

YabmodCase row(std::string name, std::string mod, std::map<std::string, std::string> extra = {}) {
    YabmodCase c{std::move(name), std::move(mod), tableForum(), false};
    for (auto& [path, bytes] : extra)
        c.files[path] = bytes;
    return c;
}

std::string toCrlf(const std::string& lf) {
    std::string out;
    for (char ch : lf) {
        if (ch == '\n')
            out += '\r';
        out += ch;
    }
    return out;
}

} // namespace

std::vector<YabmodCase> yabmodTable() {
    const std::string failing = step("not in the file\n", "add after", "x\n");
    std::vector<YabmodCase> rows = {
        row("tags_in_other_letter_case",
            "<EDIT FILE>\nSources/A.pm\n</Edit File>\n\n<Search For>\nsub a {\n</SEARCH FOR>\n"
            "<Add After>\n    # after\n</ADD AFTER>\n\n"),
        row("tags_with_a_tab", "<edit\tfile>\nSources/A.pm\n</edit\tfile>\n\n<search\tfor>\nuse strict;\n"
                               "</search\tfor>\n<add\tbefore>\n# top\n</add\tbefore>\n\n"),
        row("tag_with_two_blanks", kEditA + "<search  for>\nsub a {\n</search  for>\n<add after>\nx\n</add after>\n"),
        row("blank_before_a_tag", kEditA + " <search for>\nsub a {\n</search for>\n<add after>\nx\n</add after>\n"),
        row("text_after_a_tag", kEditA + "<search for> the sub\nsub a {\n</search for> end\n<replace> it\nsub b {\n"
                                         "</replace>\n\n"),
        row("tag_text_in_the_middle_of_a_line",
            kEditA + step("sub a {\n", "add after", "    my $x = '<add after>';\n    my $y = '</add after>';\n")),
        row("closing_tag_inside_a_search_text", kEditA + step("sub a {\n</search for> here\n", "add after", "x\n")),
        row("no_empty_line_after_a_closing_tag",
            kEditA + "<search for>\nsub a {\n</search for>\n<add after>\nx\n</add after>\n<search for>\n1;\n"
                     "</search for>\n<replace>\n2;\n</replace>\n\n"),
        row("two_search_blocks_before_one_action",
            kEditA + "<search for>\nsub a {\n</search for>\n\n<search for>\n1;\n</search for>\n<add after>\nx\n"
                     "</add after>\n\n"),
        row("search_without_action_first", kEditA + "<search for>\n}\n</search for>\n\n"),
        row("search_without_action_takes_the_text_before",
            kEditA + step("sub a {\n", "add after", "x\n") + "<search for>\n1;\n</search for>\n\n"),
        row("action_without_search", kEditA + "<add after>\nx\n</add after>\n\n" + step("}\n", "replace", "};\n")),
        row("empty_search_text", kEditA + step("", "add before", "# was empty\n")),
        row("search_text_starts_with_an_empty_line", kEditA + step("\n1;\n", "add after", "x\n")),
        row("search_text_ends_with_an_empty_line", kEditA + step("}\n\n", "add before", "x\n")),
        row("search_text_of_empty_lines_not_found", kEditA + step("sub a {\n\n", "add after", "x\n")),
        row("action_text_edged_by_empty_lines", kEditA + step("    return 1;\n", "replace", "\n    return 2;\n\n")),
        row("empty_action_text", kEditA + step("sub a {\n", "add before", "") + step("}\n", "replace", "")),
        row("crlf_mod", toCrlf(kEditA + step("sub a {\n", "add after", "    # crlf\n"))),
        row("crlf_mod_fails_and_restores_nothing",
            toCrlf(kEditA + step("sub a {\n", "add after", "x\n") +
                   "<edit file>\nSources/B.pm\n</edit file>\n\n" + failing)),
        row("lone_cr_in_file_lines",
            "<edit file>\nSources/B.pm\n</edit file>\n\n" + step("print \"ab\";\n", "add after", "2;\n")),
        row("lone_cr_in_the_mod",
            "<edit file>\nSources/B.pm\n</edit file>\n\n" + step("my $x\r = 1;\n", "replace", "my $x\r = 2;\n")),
        row("crlf_file_lines_scanned_lose_cr",
            "<edit file>\nSources/B.pm\n</edit file>\n\n" + step("my $x = 1;\n", "add before", "# b\n")),
        row("mod_last_line_without_break", kEditA + "<search for>\n1;\n</search for>\n<add after>\nx\n</add after>"),
        row("file_last_line_without_break",
            "<edit file>\nAdmin/C.pm\n</edit file>\n\n" + step("1;\n", "add after", "# after\n")),
        row("unterminated_search_text", kEditA + "<search for>\nsub a {\n"),
        row("unterminated_action_text", kEditA + "<search for>\nsub a {\n</search for>\n<replace>\nsub b {"),
        row("edit_file_block_with_two_lines",
            "<edit file>\nSources/A.pm\nSources/B.pm\n</edit file>\n" + step("1;\n", "add after", "x\n")),
        row("backslash_in_a_name", "<edit file>\nSources\\A.pm\n</edit file>\n\n" + step("}\n", "add after", "x\n")),
        row("html_name", "<edit file>\n<html>style.css\n</edit file>\n\n" + step("}\n", "add before", "  a: b;\n")),
        row("html_name_in_capitals",
            "<edit file>\n<HTML>style.css\n</edit file>\n\n" + step("}\n", "add before", "  a: b;\n")),
        row("dot_dot_in_a_name",
            "<edit file>\nSources/../Sources/A.pm\n</edit file>\n\n" + step("}\n", "add after", "x\n")),
        row("name_in_other_letter_case",
            kEditA + step("}\n", "add after", "x\n") + "<edit file>\nsources/b.pm\n</edit file>\n\n" +
                step("1;\n", "add after", "x\n")),
        row("name_with_a_blank_at_the_end",
            "<edit file>\nSources/A.pm \n</edit file>\n\n" + step("}\n", "add after", "x\n")),
        row("file_named_twice_then_a_failure",
            kEditA + step("sub a {\n", "add after", "x\n") + kEditA + step("x\n", "replace", "y\n") +
                "<edit file>\nAdmin/C.pm\n</edit file>\n\n" + failing),
        row("missing_file_restores_the_first", kEditA + step("}\n", "add after", "x\n") +
                                                   "<edit file>\nSources/Missing.pm\n</edit file>\n\n" + failing),
        row("no_edit_file", "<id>\nNothing to edit\n</id>\n\n<version>\n1\n</version>\n"),
        row("stale_backup_restored_on_failure", kEditA + failing, {{"board/Sources/A.pm.bak", "stale\n"}}),
        row("backup_without_its_file", "<edit file>\nSources/Gone.pm\n</edit file>\n\n" + step("a\n", "add after", "b\n"),
            {{"board/Sources/Gone.pm.bak", "a\n"}}),
        row("empty_file_with_a_backup",
            "<edit file>\nSources/Empty.pm\n</edit file>\n\n" + step("old\n", "replace", "new\n"),
            {{"board/Sources/Empty.pm.bak", "old\n"}}),
        row("search_text_found_twice", kEditA + step("\n", "add after", "# first\n") + step("}\n", "add before", "x\n")),
        row("two_files_each_written", kEditA + step("sub a {\n", "add after", "x\n") +
                                          "<edit file>\nAdmin/C.pm\n</edit file>\n\n" + step("}\n", "replace", "};\n")),
        row("html_file_not_restored_after_a_failure",
            "<edit file>\n<html>style.css\n</edit file>\n\n" + step("}\n", "add before", "  a: b;\n") + kEditA + failing),
        row("search_before_any_edit_file", step("use strict;\n", "add after", "x\n") + kEditA +
                                              step("1;\n", "add after", "x\n")),
        // Install fails at step 2 and leaves the file; uninstall then finds
        // step 1 at the top, and Perl's negative index reaches the file's end.
        row("uninstall_add_before_at_the_top_takes_the_last_lines",
            kEditA + step("use strict;\n", "add before", "1;\n") + step("nothing here\n", "replace", "sub a {\n")),
        row("uninstall_add_before_above_the_top_of_the_file",
            "<edit file>\nAdmin/C.pm\n</edit file>\n\n" + step("sub c {\n", "add before", "a\nb\nc\nd\n") + failing),
        row("empty_file_edited", "<edit file>\nSources/Empty.pm\n</edit file>\n\n" + step("", "add after", "x\n")),
    };
    YabmodCase apache{"apache24_fix_2", readBytes(sharedDir() / "realmods/apache24_fix_2.mod"), {}, true};
    rows.push_back(std::move(apache));
    return rows;
}

void writeYabmodForum(const YabmodCase& c, const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    fs::create_directories(root / "board");
    fs::create_directories(root / "html");
    if (c.realForum) {
        fs::copy(sharedDir() / "forum/yabb2", root / "board", fs::copy_options::recursive);
        for (const auto& entry : fs::recursive_directory_iterator(root / "board"))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    for (const auto& [path, bytes] : c.files) {
        fs::create_directories((root / path).parent_path());
        writeBytes(root / path, bytes);
    }
}

CheckOptions writeForumToCheck(const YabmodCase& c, const std::filesystem::path& root) {
    writeYabmodForum(c, root);
    CheckOptions options;
    options.forumDirectory = (root / "board").string();
    options.htmlDirectory = (root / "html").string();
    return options;
}

std::map<std::string, std::string> readTree(const std::filesystem::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            tree[entry.path().lexically_relative(root).generic_string()] = readBytes(entry.path());
    }
    return tree;
}

} // namespace torvale::test
