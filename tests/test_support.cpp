#include "test_support.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace torvale::test {

std::filesystem::path sharedDir() {
    return TORVALE_SHARED_DIR;
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvale-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         bool asUnprivileged) {
    TempDir dir;
    const std::string outPath = (dir / "out").string();
    const std::string errPath = (dir / "err").string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        if (asUnprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readBytes(outPath);
    result.err = readBytes(errPath);
    return result;
}

std::string crlfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace torvale::test

namespace torvale::test {

std::string sampleModText() {
    std::string text = crlfLines({"<id>",
                                  "Sample Mod",
                                  "</id>",
                                  "",
                                  "<version>",
                                  "1.0",
                                  "</version>",
                                  "",
                                  "<mod info>",
                                  "Adds a line to the footer.",
                                  "Second line of the description.",
                                  "</mod info>",
                                  "",
                                  "<author>",
                                  "A. Writer",
                                  "</author>",
                                  "",
                                  "<homepage>",
                                  "",
                                  "</homepage>",
                                  "",
                                  "<edit file>",
                                  "Sources/Sample.pl",
                                  "</edit file>",
                                  "",
                                  "<search for>",
                                  "old text",
                                  "</search for>",
                                  "",
                                  "<replace>",
                                  "new text",
                                  "</replace>",
                                  "",
                                  "<search for>",
                                  "anchor line",
                                  "</search for>",
                                  "",
                                  "<add after>",
                                  "first added line",
                                  "second added line"});
    return text + "</add after>";
}

ModDocument sampleModDocument() {
    ModDocument doc;
    doc.setProperty(Property::Id, "Sample Mod");
    doc.setProperty(Property::Version, "1.0");
    doc.setProperty(Property::ModInfo,
                    "Adds a line to the footer.\r\nSecond line of the description.");
    doc.setProperty(Property::Author, "A. Writer");
    Node* file =
        doc.appendNode(nullptr, TItem{"Sources/Sample.pl", akEditFile, "", ""}, LabelForm::Read);
    doc.appendNode(file, TItem{"", akSearchReplace, "old text", "new text"}, LabelForm::Read);
    doc.appendNode(
        file, TItem{"", akSearchAddAfter, "anchor line", "first added line\r\nsecond added line"},
        LabelForm::Read);
    return doc;
}

std::string randomMod(std::mt19937& rng) {
    static const std::string_view pieces[] = {"<id>",
                                              "</id>",
                                              "<mod info>",
                                              "</mod info>",
                                              "<Edit File>",
                                              "</edit file>",
                                              "<search for>",
                                              "</SEARCH FOR>",
                                              "<replace>",
                                              "</replace>",
                                              "<add before>",
                                              "</add before>",
                                              "<add after>",
                                              "</add after>",
                                              "<homepage>",
                                              "</homepage>",
                                              "<author>",
                                              "</author>",
                                              "<version>",
                                              "</version>",
                                              "\r\n",
                                              "\r\n",
                                              "\r\n",
                                              "\r\n",
                                              "\r",
                                              "\n",
                                              "text",
                                              "my $x = q~<tr>~;",
                                              "<",
                                              "</",
                                              "<a",
                                              "\t",
                                              " "};
    std::string text;
    // Mostly CR LF files, so that the shortcuts are taken; some of every kind.
    const bool crlfOnly = rng() % 3 != 0;
    const int n = int(rng() % 120);
    for (int i = 0; i < n; ++i) {
        std::string_view piece = pieces[rng() % std::size(pieces)];
        if (crlfOnly && (piece == "\r" || piece == "\n"))
            piece = "\r\n";
        if (rng() % 9 == 0)
            text.append(rng() % 70, 'x'); // shifts everything across the 64-byte steps
        text += piece;
        if (rng() % 4 == 0)
            text += "\r\n";
    }
    if (!crlfOnly && rng() % 10 == 0)
        text.insert(rng() % (text.size() + 1), 1, '\0');
    return text;
}

} // namespace torvale::test
