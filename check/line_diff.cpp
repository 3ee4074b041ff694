// Unified diffs through libgit2, which is set up once for the program.
#include "line_diff.h"

#include <git2.h>

#include <mutex>

namespace torvale {

std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name) {
    if (before == after)
        return {};
    static std::once_flag once;
    std::call_once(once, [] { git_libgit2_init(); });
    git_diff_options options;
    git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
    // Forum files hold NUL bytes and long lines now and then: still text.
    options.flags = GIT_DIFF_FORCE_TEXT;
    options.context_lines = 3;
    git_patch* patch = nullptr;
    std::string out;
    if (git_patch_from_buffers(&patch, before.data(), before.size(), name.c_str(), after.data(),
                               after.size(), name.c_str(), &options) == 0) {
        git_buf buf = GIT_BUF_INIT;
        if (git_patch_to_buf(&buf, patch) == 0)
            out.assign(buf.ptr, buf.size);
        git_buf_dispose(&buf);
    }
    git_patch_free(patch);
    return out;
}

} // namespace torvale
