// The installer's run, shared by the reading of the mod (yabmod.cpp) and the
// applying of each step to its file (yabmod_apply.cpp).
#pragma once

#include "install_file.h"
#include "yabmod.h"
#include "yabmod_disk.h"

#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvale::yabmod {

// Ends the run where install_error, fatal_error or a die would.
struct Stop {};

// yabm_applymod and yabm_uninstallmod, with the installer's own variables.
class Installer {
public:
    using Action = StepRun::Action;
    using Result = StepRun::Result;

    Installer(std::string_view mod, const Folders& folders, Mode mode, const ReadFile& read,
              const Options& options)
        : bytes_(mod), own_(options.modLines ? std::vector<std::string_view>() : perlLines(mod)),
          mod_(options.modLines ? *options.modLines : own_), folders_(folders), mode_(mode),
          options_(options), disk_(read) {}

    Run run();

private:
    // $modfile[$i]: past the end, undef, which matches no tag.
    std::string_view line(std::size_t i) const { return i < mod_.size() ? mod_[i] : ""; }

    // The mod's lines read as the installer reads them (yabmod.cpp).
    void walk();
    void openFile(std::size_t i);
    std::shared_ptr<const Content> openToRead(const std::string& full, std::size_t at);

    // From the "<search for>" at line i to the line after its action block;
    // returns the line the loop goes on from (its ++ then skips one).
    std::size_t step(std::size_t i);

    // The lines of a block up to its closing tag; returns the line after it.
    std::size_t collect(std::size_t i, std::string_view end, const std::string& tag,
                        std::vector<std::string_view>& into);

    // A step applied to its file (yabmod_apply.cpp).
    void apply(StepRun& step, long offset);
    void install(InstallFile& file, std::size_t found, long offset);
    // The added lines checked where the install put them, then taken out.
    bool uninstall(InstallFile& file, std::size_t found, long offset, StepRun& step);

    // The file of the block is written: its backup first, then the lines.
    void writeBack();

    void endAfterLastStep() const;
    [[noreturn]] void installError(int step, std::size_t line, std::string why);
    [[noreturn]] void stop(Run::End end, int step, std::size_t line, std::string why);

    const std::string_view bytes_; // the mod
    const std::vector<std::string_view> own_;
    const std::span<const std::string_view> mod_;
    const Folders& folders_;
    const Mode mode_;
    const Options& options_;
    Disk disk_;
    Run run_;

    // The installer's own variables.
    int j_ = 0;
    std::string name_;
    std::string editDir_;
    bool html_ = false;
    bool haveName_ = false;
    // The lines of the mod, as views of its bytes.
    std::vector<std::string_view> search_; // @modsearchstr
    std::vector<std::string_view> added_;  // @modaddstr, which outlives its step
    std::deque<std::string> addedEdits_;   // its lines as uninstalling changes them
    std::vector<std::string> recall_;    // @recallfiles
    std::unique_ptr<InstallFile> current_; // @modeditfile
    Result fileResult_ = Result::NoFile;
    bool atEditFile_ = false;

    std::vector<std::string_view> keys_;
    std::string keyStore_; // keys without their carriage returns
};

} // namespace torvale::yabmod
