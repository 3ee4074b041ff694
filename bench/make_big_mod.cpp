// torvale-make-big-mod: writes a large, realistic mod file for measurements.
#include "big_mod.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: torvale-make-big-mod SIZE_MIB OUT.mod [SEED [FORUM_DIR]]\n"
    "Writes a mod of about SIZE_MIB MiB (a fraction such as 0.5 is allowed) in the\n"
    "editor's saved layout. The same SIZE_MIB, SEED (default 1) and FORUM_DIR give\n"
    "the same bytes. Code lines come from YaBB.pl, Sources/*.pm and Admin/*.pm of\n"
    "FORUM_DIR (default: the shared forum installation beside the source tree),\n"
    "or from a built-in list when that folder has none.\n";

bool parseSize(const char* text, std::size_t& bytes) {
    char* end = nullptr;
    errno = 0;
    const double mib = std::strtod(text, &end);
    // The editor refuses files of 256 MiB and more.
    if (errno || end == text || *end || !(mib > 0) || mib >= 255)
        return false;
    bytes = std::size_t(mib * 1024 * 1024);
    return true;
}

bool parseSeed(const char* text, std::uint64_t& seed) {
    char* end = nullptr;
    errno = 0;
    seed = std::strtoull(text, &end, 10);
    return !errno && end != text && !*end;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t bytes = 0;
    std::uint64_t seed = 1;
    if (argc < 3 || argc > 5 || !parseSize(argv[1], bytes) ||
        (argc >= 4 && !parseSeed(argv[3], seed))) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    const std::filesystem::path forumDir = argc == 5 ? argv[4] : TORVALE_FORUM_DIR;
    const torvale::bench::CodePool pool = torvale::bench::codePoolFor(forumDir);
    if (pool.origin != forumDir.string())
        std::fprintf(stderr, "torvale-make-big-mod: no forum code in %s, using built-in lines\n",
                     forumDir.c_str());

    torvale::bench::BigModStats stats;
    const std::string text = torvale::bench::makeBigMod(bytes, seed, pool, &stats);

    const char* outPath = argv[2];
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(outPath, "wb"), &std::fclose);
    if (!out || std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() ||
        std::fclose(out.release()) != 0) {
        std::fprintf(stderr, "torvale-make-big-mod: cannot write %s: %s\n", outPath,
                     std::strerror(errno));
        return 74;
    }
    std::printf("%s: %zu bytes, %zu edit files, %zu search actions (%zu replace, %zu add before, "
                "%zu add after), code from %s\n",
                outPath, text.size(), stats.editFiles, stats.actions(), stats.replaces,
                stats.addBefores, stats.addAfters, pool.origin.c_str());
    return 0;
}
