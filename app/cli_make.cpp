// torvale-cli make ORIGINAL CHANGED [-o FILE]: the mod goes to FILE or standard
// output, each changed file with its steps or why it is not covered to standard error.
#include "cli_make.h"

#include "check/make_mod.h"
#include "document/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int makeCommand(int argc, char** argv) {
    const char* out = nullptr;
    const char* paths[2] = {nullptr, nullptr};
    int given = 0;
    bool wrong = false;
    for (int i = 0; i < argc && !wrong; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && !out)
            out = argv[++i];
        else if (given < 2 && argv[i][0] != '-')
            paths[given++] = argv[i];
        else
            wrong = true;
    }
    if (wrong || given != 2) {
        std::fputs("Usage: torvale-cli make ORIGINAL CHANGED [-o FILE] (see torvale-cli --help)\n",
                   stderr);
        return kExitUsage;
    }
    const torvale::MakeInput input = torvale::readMakeInput(paths[0], paths[1]);
    if (!input.ok) {
        std::fprintf(stderr, "torvale-cli: %s\n", input.error.c_str());
        return kExitUnreadable;
    }
    const torvale::MadeMod mod =
        torvale::makeMod(input.files, torvale::propertiesFor(paths[0], paths[1]));

    std::string words;
    std::size_t uncovered = 0;
    for (const torvale::MadeFile& file : mod.files) {
        words += file.name + ": " + torvale::describeMadeFile(file) + "\n";
        uncovered += file.covered() ? 0 : 1;
    }
    words += std::to_string(mod.steps) + (mod.steps == 1 ? " step" : " steps") + " for " +
             std::to_string(mod.files.size() - uncovered) + " of " +
             std::to_string(mod.files.size()) + " changed files" +
             (uncovered ? "; the files not covered are listed above\n" : "\n");
    if (out) {
        const torvale::WriteResult w = torvale::writeFileAtomically(out, mod.text);
        if (!w.ok) {
            std::fprintf(stderr, "torvale-cli: cannot write %s: %s\n", out, w.error.c_str());
            return kExitCannotWrite;
        }
    } else if (std::fwrite(mod.text.data(), 1, mod.text.size(), stdout) != mod.text.size() ||
               std::fflush(stdout) != 0) {
        std::fprintf(stderr, "torvale-cli: cannot write the output: %s\n", std::strerror(errno));
        return kExitCannotWrite;
    }
    std::fputs(words.c_str(), stderr);
    return mod.complete() ? kExitComplete : kExitStopped;
}
