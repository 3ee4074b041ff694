#include "big_mod.h"

#include "document/mod_format.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

namespace torvale::bench {

namespace {

// splitmix64: a fixed generator, so that a seed names the same text with every
// standard library (std's distributions are not specified bit for bit).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    std::size_t below(std::size_t n) { return std::size_t(next() % n); }
    // lo .. hi, piled up in the middle as line counts of real mods are
    std::size_t between(std::size_t lo, std::size_t hi) {
        const std::size_t span = hi - lo + 1;
        return lo + (below(span) + below(span)) / 2;
    }

private:
    std::uint64_t state_;
};

// Files that YaBB 2 mods edit; the names of the edit-file blocks come from here
// and from the forum files read.
constexpr std::string_view kForumFileNames[] = {
    "YaBB.pl",
    "Sources/Subs.pm",
    "Sources/Display.pm",
    "Sources/Post.pm",
    "Sources/MessageIndex.pm",
    "Sources/BoardIndex.pm",
    "Sources/Profile.pm",
    "Sources/Load.pm",
    "Sources/Security.pm",
    "Sources/Register.pm",
    "Sources/LogInOut.pm",
    "Sources/Search.pm",
    "Sources/InstantMessage.pm",
    "Sources/ModifyMessage.pm",
    "Sources/Printpage.pm",
    "Sources/Poll.pm",
    "Sources/Notify.pm",
    "Sources/DateTime.pm",
    "Admin/Admin.pm",
    "Admin/AdminEdit.pm",
    "Admin/ModList.pm",
    "Admin/ManageBoards.pm",
    "Admin/ManageCats.pm",
    "Admin/Settings_Main.pm",
    "Languages/English/Main.lng",
    "Languages/English/Admin.lng",
    "Languages/English/Post.lng",
    "Templates/Forum/default.html",
    "Templates/Admin/default.html",
};

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string_view line(bytes.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (usableLine(line))
            lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

// Writes blocks in the canonical layout: opening tag, lines, closing tag, each
// ended by CR LF, and an empty line between blocks. Nothing follows the last
// closing tag.
class ModText {
public:
    explicit ModText(std::string& out) : out_(out) {}

    void block(int tag, const std::vector<std::string_view>& lines) {
        if (!out_.empty())
            out_.append("\r\n\r\n");
        out_.append(openingTag(tag));
        out_.append("\r\n");
        if (lines.empty())
            out_.append("\r\n"); // an empty text is one empty line
        for (const std::string_view line : lines) {
            out_.append(line);
            out_.append("\r\n");
        }
        out_.append(closingTag(tag));
    }

private:
    std::string& out_;
};

class Generator {
public:
    Generator(std::uint64_t seed, const CodePool& pool) : rng_(seed), pool_(pool) {
        std::set<std::string_view> seen;
        for (const CodeFile& f : pool.files)
            if (seen.insert(f.name).second)
                names_.push_back(f.name);
        for (const std::string_view name : kForumFileNames)
            if (seen.insert(name).second)
                names_.push_back(name);
    }

    void run(std::string& out, std::size_t targetBytes, BigModStats& stats) {
        ModText text(out);
        writeProperties(text);
        for (;;) {
            const std::size_t nameIndex = rng_.below(names_.size());
            text.block(tagEditFile, {names_[nameIndex]});
            ++stats.editFiles;
            const CodeFile& code = codeFor(nameIndex);
            const std::size_t actions = rng_.between(1, 16);
            for (std::size_t a = 0; a < actions; ++a) {
                writeAction(text, code, stats);
                if (out.size() >= targetBytes)
                    return;
            }
        }
    }

private:
    void writeProperties(ModText& text) {
        text.block(tagId, {"Torvale Benchmark Mod"});
        text.block(tagVersion, {"2.7.1"});
        text.block(tagModInfo, {"Adds a quick-reply box, member badges and a board",
                                "statistics panel to every page of the forum.", "",
                                "Back up <b>all</b> files listed below before installing."});
        text.block(tagAuthor, {"Torvale benchmarks"});
        text.block(tagHomepage, {"http://www.example.org/yabb/mods/benchmark/"});
    }

    // The forum file of that name when it was read, another one otherwise.
    const CodeFile& codeFor(std::size_t nameIndex) const {
        return pool_.files[nameIndex % pool_.files.size()];
    }

    // Up to count consecutive lines of code, the first of them not empty (the
    // file has such a line).
    void excerpt(const CodeFile& code, std::size_t count, std::vector<std::string_view>& out) {
        const std::size_t size = code.lines.size();
        std::size_t start = rng_.below(size);
        while (code.lines[start].empty())
            start = (start + 1) % size;
        for (std::size_t i = start; i < size && i < start + count; ++i)
            out.emplace_back(code.lines[i]);
    }

    void writeAction(ModText& text, const CodeFile& code, BigModStats& stats) {
        search_.clear();
        excerpt(code, rng_.below(10) == 0 ? rng_.between(4, 8) : rng_.between(1, 4), search_);
        text.block(tagSearchFor, search_);

        action_.clear();
        const std::size_t roll = rng_.below(10);
        int tag;
        if (roll < 5) {
            tag = tagReplace;
            ++stats.replaces;
            // Half the replacements keep the found lines and add to them, as
            // most mods do; the others rewrite them.
            if (rng_.below(2) == 0)
                action_ = search_;
            excerpt(code, rng_.between(1, 12), action_);
        } else {
            tag = roll < 8 ? tagAddAfter : tagAddBefore;
            ++(tag == tagAddAfter ? stats.addAfters : stats.addBefores);
            const bool marked = rng_.below(3) == 0;
            if (marked)
                action_.emplace_back("# Torvale Benchmark Mod - start");
            excerpt(code, rng_.between(1, 30), action_);
            if (marked)
                action_.emplace_back("# Torvale Benchmark Mod - end");
        }
        text.block(tag, action_);
    }

    Rng rng_;
    const CodePool& pool_;
    std::vector<std::string_view> names_;
    std::vector<std::string_view> search_;
    std::vector<std::string_view> action_;
};

} // namespace

bool usableLine(std::string_view line) {
    std::string lowered(line);
    for (char& c : lowered) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t')
            return false;
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return std::none_of(ModTags.begin(), ModTags.end(), [&](std::string_view tag) {
        return lowered.find(tag) != std::string::npos;
    });
}

CodePool loadForumCode(const std::filesystem::path& forumDir) {
    CodePool pool;
    std::vector<std::filesystem::path> relative{"YaBB.pl"};
    for (const char* folder : {"Sources", "Admin"}) {
        std::error_code ec;
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(forumDir / folder, ec))
            if (entry.path().extension() == ".pm")
                found.push_back(std::filesystem::path(folder) / entry.path().filename());
        std::sort(found.begin(), found.end()); // directory order differs between machines
        relative.insert(relative.end(), found.begin(), found.end());
    }
    for (const auto& rel : relative) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(forumDir / rel, ec))
            continue;
        CodeFile file{rel.generic_string(), readLines(forumDir / rel)};
        if (!file.lines.empty())
            pool.files.push_back(std::move(file));
    }
    pool.origin = forumDir.string();
    return pool;
}

CodePool builtinCode() {
    CodePool pool;
    pool.origin = "built-in lines";
    pool.files.push_back(
        {"Sources/Display.pm",
         {
             "sub Display {",
             "    my $viewnum = $INFO{'num'};",
             "    if ( $viewnum =~ /\\D/xsm ) { fatal_error('only_numbers_allowed'); }",
             "    my ( $counter, $counterwords, $pageindex, $msubthread );",
             "    $yymain .= qq~<table class=\"bordercolor\" cellspacing=\"1\" "
             "cellpadding=\"4\" width=\"100%\">~;",
             "    $yymain .= qq~<tr><td class=\"windowbg2\">$txt{'123'}</td></tr>~;",
             "    foreach my $msg (@messages) {",
             "        my ( $msub, $mname, $memail, $mdate ) = split /[|]/xsm, $msg;",
             "        $counterwords = $counter != 0 ? \"$display_txt{'146'} #$counter\" : q{};",
             "        $yymain .= qq~<tr>",
             "    <td class=\"windowbg\" width=\"140\" valign=\"top\"><b>$mname</b><br />",
             "    <span class=\"small\">$memberinfo{$mname}</span></td>",
             "    <td class=\"windowbg\" valign=\"top\">$message</td>",
             "</tr>~;",
             "        $counter++;",
             "    }",
             "",
             "    $yymain .= qq~</table>~;",
             "    $yytitle = $msubthread;",
             "    template();",
             "    return;",
             "}",
         }});
    pool.files.push_back(
        {"Sources/Post.pm",
         {
             "sub Post {",
             "    if ( $iamguest && $enable_guestposting == 0 ) {",
             "        fatal_error('not_logged_in');",
             "    }",
             "    my $quotemsg = $INFO{'quote'};",
             "    $sub = $FORM{'subject'} || q{};",
             "    $sub =~ s/\\A\\s+//xsm;",
             "    if ( length($sub) > $set_subjectMaxLength ) {",
             "        $sub = substr $sub, 0, $set_subjectMaxLength;",
             "    }",
             "    $yymain .= qq~<form action=\"$scripturl?action=post2\" "
             "method=\"post\" name=\"postmodify\">~;",
             "    $yymain .= qq~<input type=\"text\" name=\"subject\" value=\"$sub\" "
             "size=\"50\" maxlength=\"$set_subjectMaxLength\" />~;",
             "    $yymain .= qq~<textarea name=\"message\" rows=\"12\" "
             "cols=\"60\">$message</textarea>~;",
             "    if ( $enable_notifications && !$iamguest ) {",
             "        $yymain .= qq~<input type=\"checkbox\" name=\"notify\" "
             "value=\"x\"$notify /> $post_txt{'131'}<br />~;",
             "    }",
             "    $yymain .= qq~<input type=\"submit\" value=\"$post_txt{'105'}\" "
             "accesskey=\"s\" /></form>~;",
             "    &ToHTML($message);",
             "    $message =~ s/\\cM//gxsm;",
             "    return;",
             "}",
         }});
    pool.files.push_back(
        {"Sources/Subs.pm",
         {
             "sub template {",
             "    print_output_header();",
             "    my $yyboardname = $mbname;",
             "    $yyposition = $yytitle;",
             "    $yytime = timeformat( $date, 1 );",
             "    $yyuname = $iamguest ? q{} : qq~$maintxt{'247'} ${$uid.$username}{'realname'}, "
             "~;",
             "    $output =~ s/({|<)yabb main(}|>)/$yymain/gxsm;",
             "    $output =~ s/({|<)yabb title(}|>)/$yytitle/gxsm;",
             "    $yynavigation = qq~&rsaquo; <a href=\"$scripturl\">$mbname</a>~;",
             "    if ( $debug == 1 ) { require Sources::Debug; LoadDebug(); }",
             "    print $output or croak \"$croak{'print'} output\";",
             "    exit;",
             "}",
             "",
             "sub fatal_error {",
             "    my ( $error, $extra_information ) = @_;",
             "    LoadLanguage('Error');",
             "    $yymain .= qq~<div class=\"bordercolor\"><table><tr><td "
             "class=\"titlebg\">$error_txt{'error_occurred'}</td></tr>~;",
             "    $yymain .= qq~<tr><td class=\"windowbg\">$errormessage</td></tr></table></div>~;",
             "    $yytitle = $error_txt{'error_occurred'};",
             "    template();",
             "}",
         }});
    return pool;
}

CodePool codePoolFor(const std::filesystem::path& forumDir) {
    if (!forumDir.empty()) {
        CodePool pool = loadForumCode(forumDir);
        if (!pool.files.empty())
            return pool;
    }
    return builtinCode();
}

std::string makeBigMod(std::size_t targetBytes, std::uint64_t seed, const CodePool& pool,
                       BigModStats* stats) {
    // Only files with some text can give a search text.
    CodePool code;
    for (const CodeFile& file : pool.files)
        if (std::any_of(file.lines.begin(), file.lines.end(),
                        [](const std::string& l) { return !l.empty(); }))
            code.files.push_back(file);
    if (code.files.empty())
        code = builtinCode();
    std::string out;
    out.reserve(targetBytes + (std::size_t(64) << 10)); // one action beyond the target
    BigModStats counted;
    Generator(seed, code).run(out, targetBytes, counted);
    if (stats)
        *stats = counted;
    return out;
}

} // namespace torvale::bench
