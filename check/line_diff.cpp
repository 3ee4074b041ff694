// Unified diffs through libgit2, which is set up once for the program.
#include "line_diff.h"

#include <git2.h>

#include <mutex>

namespace torvale {

namespace {

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { git_libgit2_init(); });
}

} // namespace

std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name) {
    if (before == after)
        return {};
    initOnce();
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

std::vector<LineHunk> lineHunks(std::string_view before, std::string_view after) {
    std::vector<LineHunk> hunks;
    if (before == after)
        return hunks;
    initOnce();
    git_diff_options options;
    git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
    options.flags = GIT_DIFF_FORCE_TEXT | GIT_DIFF_PATIENCE;
    options.context_lines = 0;
    options.interhunk_lines = 0;
    git_patch* patch = nullptr;
    if (git_patch_from_buffers(&patch, before.data(), before.size(), nullptr, after.data(),
                               after.size(), nullptr, &options) == 0) {
        const std::size_t count = git_patch_num_hunks(patch);
        hunks.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const git_diff_hunk* hunk = nullptr;
            if (git_patch_get_hunk(&hunk, nullptr, patch, i) != 0)
                continue;
            // A side with no lines names the line before the place, counted from 1.
            LineHunk h;
            h.removed = std::size_t(hunk->old_lines);
            h.added = std::size_t(hunk->new_lines);
            h.before = std::size_t(hunk->old_start) - (h.removed ? 1 : 0);
            h.after = std::size_t(hunk->new_start) - (h.added ? 1 : 0);
            hunks.push_back(h);
        }
    }
    git_patch_free(patch);
    return hunks;
}

} // namespace torvale
