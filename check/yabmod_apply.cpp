// Each step applied to its file as dosearch and the splices of yabm_applymod
// and yabm_uninstallmod do it: the search, the carriage returns it strips,
// and the lines put in or checked and taken out.
#include "yabmod_installer.h"

#include <algorithm>

namespace torvale::yabmod {

void Installer::apply(StepRun& step, long offset) {
    if (!current_) {
        step.result = fileResult_;
        if (fileResult_ == Result::Elsewhere && options_.onStep) {
            // Told all the same: a watcher of the shares learns how far each has come.
            static const InstallFile none{std::string_view()};
            keys_.clear();
            options_.onStep({step, run_.files.back(), none, keys_, added_, false});
        }
        run_.steps.push_back(step);
        return;
    }
    InstallFile& file = *current_;
    // dosearch: an empty search text becomes one undef line, as Perl
    // makes it by looking at its first line, once the file has one.
    keys_.clear();
    if (file.lineCount() > 0 && search_.empty())
        search_.emplace_back();
    // The keys of lines with carriage returns are written into one
    // buffer, made big enough first so that none of them moves.
    std::size_t room = 0;
    for (const std::string_view s : search_)
        room += s.size();
    keyStore_.clear();
    keyStore_.reserve(room);
    for (const std::string_view s : search_) {
        const std::string_view bare = withoutLf(s);
        if (const std::optional<std::string_view> key =
                keyInPlace(bare, options_.modCrsOnlyBeforeLfs)) {
            keys_.push_back(*key);
        } else {
            const std::size_t at = keyStore_.size();
            appendKey(keyStore_, bare);
            keys_.push_back(std::string_view(keyStore_).substr(at));
        }
    }
    step.searchLines = keys_.size();
    const auto found = file.find(keys_);
    // dosearch takes the carriage returns out of every line it looks at.
    file.stripBefore(found ? found->line + keys_.size() : file.lineCount());
    if (found) {
        step.found = found->line;
        step.again = found->again;
        step.result = Result::Found;
    } else {
        step.result = Result::NotFound;
    }
    if (options_.onStep)
        options_.onStep({step, run_.files.back(), file, keys_, added_, false});
    if (options_.readingOnly) {
        run_.steps.push_back(step);
        return;
    }
    if (!found) {
        run_.steps.push_back(step);
        if (!options_.keepGoing)
            installError(j_, step.modLine - 1, "search text of step " + std::to_string(j_) +
                                                   " not found");
        return;
    }
    if (mode_ == Mode::Install)
        install(file, found->line, offset);
    else if (!uninstall(file, found->line, offset, step))
        return;
    run_.steps.push_back(step);
    if (options_.onStep)
        options_.onStep({run_.steps.back(), run_.files.back(), file, keys_, added_, true});
}

void Installer::install(InstallFile& file, std::size_t found, long offset) {
    const Lasting lasting = options_.modOutlivesRun
                                ? Lasting(bytes_, options_.modCrsOnlyBeforeLfs)
                                : Lasting();
    if (offset == -1)
        file.replace(found, keys_.size(), added_, lasting);
    else
        file.insert(found + std::size_t(offset), added_, lasting);
}

bool Installer::uninstall(InstallFile& file, std::size_t found, long offset, StepRun& step) {
    if (offset == 0) {
        file.replace(found, keys_.size(), added_);
        return true;
    }
    for (std::size_t k = 0; k < added_.size(); ++k) {
        long at = long(found) + offset + long(k);
        const long count = long(file.lineCount());
        if (at < 0 && at + count < 0) {
            step.result = Result::Mismatch;
            run_.steps.push_back(step);
            stop(Run::End::Died, j_, step.modLine - 1,
                 "Perl dies: line " + std::to_string(at) + " of the file does not exist");
        }
        if (at < 0)
            at += count;
        if (at >= count) {
            // Looking past the end makes the lines up to there, empty.
            std::vector<std::string_view> empty(std::size_t(at - count + 1));
            file.insert(file.lineCount(), empty);
        }
        file.strip(std::size_t(at));
        // tr/\r//d and s/\n\Z// change @modaddstr itself, for later steps too.
        std::string& wanted = addedEdits_.emplace_back(added_[k]);
        std::erase(wanted, '\r');
        if (wanted.ends_with('\n'))
            wanted.pop_back();
        added_[k] = wanted;
        if (file.key(std::size_t(at)) != wanted) {
            step.result = Result::Mismatch;
            run_.steps.push_back(step);
            if (!options_.keepGoing)
                installError(j_, step.modLine - 1,
                             "the lines step " + std::to_string(j_) + " added are not there");
            return false;
        }
    }
    long from = long(found) + offset;
    if (from < 0)
        from += long(file.lineCount());
    const std::size_t start = std::size_t(std::max(0L, from));
    file.erase(start, std::min(added_.size(), file.lineCount() - std::min(start, file.lineCount())));
    return true;
}

} // namespace torvale::yabmod
