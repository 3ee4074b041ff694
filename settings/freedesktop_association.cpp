// FreedesktopAssociation: writes and removes the files of an association plan
// and refreshes the desktop's MIME and application databases.
#include "file_association.h"

#include "document/file_io.h"
#include "mime_definition.h"

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace torvale {

namespace {

// What update-mime-database makes of the packages in mime/packages.
constexpr std::array<const char*, 12> kMimeDatabaseFiles = {
    "XMLnamespaces", "aliases",    "generic-icons", "globs",     "globs2", "icons",
    "magic",         "mime.cache", "subclasses",    "treemagic", "types",  "version"};

constexpr std::size_t kMaxListSize = std::size_t(1) << 20;

std::string quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

std::string writeWhole(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    const WriteResult result =
        ec ? WriteResult{false, ec.message() + "."} : writeFileAtomically(path, bytes);
    return result.ok ? std::string() : "Cannot write " + quoted(path) + ".\n" + result.error;
}

// Runs a program of the desktop on folder, without a shell and without its
// chatter. A program that is not installed is no failure.
std::string refresh(const char* program, const std::filesystem::path& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string folderArg = folder.string();
    std::string name = program;
    char* argv[] = {name.data(), folderArg.data(), nullptr};
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err == ENOENT)
        return {};
    if (err != 0)
        return std::string(program) + " could not be started.";
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return {}; // not found on the search path
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::string(program) + " failed on " + quoted(folder) + ".";
    return {};
}

void removeIfEmpty(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_empty(folder, ec) && !ec)
        std::filesystem::remove(folder, ec);
}

// With no package left, the database that update-mime-database made of them
// goes too, so that the folder is as it was before the first association.
void tidyMimeDatabase(const std::filesystem::path& mime, const std::string& mimeType) {
    std::error_code ec;
    const std::filesystem::path packages = mime / "packages";
    if (!std::filesystem::is_empty(packages, ec) || ec) {
        refresh("update-mime-database", mime);
        return;
    }
    for (const char* name : kMimeDatabaseFiles)
        std::filesystem::remove(mime / name, ec);
    if (!mimeType.empty()) {
        const std::filesystem::path typeFile = mime / (mimeType + ".xml");
        std::filesystem::remove(typeFile, ec);
        removeIfEmpty(typeFile.parent_path());
    }
    removeIfEmpty(packages);
    removeIfEmpty(mime);
}

void tidyApplications(const std::filesystem::path& applications) {
    std::error_code ec;
    const std::filesystem::path cache = applications / "mimeinfo.cache";
    bool onlyCache = true;
    for (const auto& entry : std::filesystem::directory_iterator(applications, ec))
        onlyCache = onlyCache && entry.path() == cache;
    if (ec)
        return;
    if (!onlyCache) {
        refresh("update-desktop-database", applications);
        return;
    }
    std::filesystem::remove(cache, ec);
    removeIfEmpty(applications);
}

// Puts desktopId first among the default applications of mimeType.
std::string setDefault(const std::filesystem::path& mimeappsList, const std::string& mimeType,
                       const std::string& desktopId) {
    std::string mimeapps;
    std::error_code ec;
    if (std::filesystem::exists(mimeappsList, ec)) {
        const FileBytes old = readFileBytes(mimeappsList, kMaxListSize);
        if (!old.ok)
            return "Cannot read " + quoted(mimeappsList) + ".\n" + old.error;
        mimeapps = old.bytes();
    }
    return writeWhole(mimeappsList, withDefaultApplication(mimeapps, mimeType, desktopId));
}

// Takes desktopId from the default applications of mimeType; a list left
// empty goes.
void dropDefault(const std::filesystem::path& mimeappsList, const std::string& mimeType,
                 const std::string& desktopId) {
    const FileBytes list = readFileBytes(mimeappsList, kMaxListSize);
    if (!list.ok)
        return;
    const std::string updated = withoutDefaultApplication(list.bytes(), mimeType, desktopId);
    std::error_code ec;
    if (updated == list.bytes())
        return;
    if (updated.empty())
        std::filesystem::remove(mimeappsList, ec);
    else
        writeFileAtomically(mimeappsList, updated);
}

} // namespace

std::string FreedesktopAssociation::WriteAssociation(const AssociationRequest& request) {
    const AssociationPlan plan = planAssociation(request, dirs_);
    if (plan.extension.empty())
        return {};
    // The installed package brings this very MIME type and an entry of its own.
    if (!installedId_.empty() && plan.extension == "mod")
        return setDefault(plan.mimeappsList, plan.mimeType, installedId_);
    if (std::string error = writeWhole(plan.mimePackage, plan.mimePackageXml); !error.empty())
        return error;
    if (std::string error = writeWhole(plan.desktopEntry, plan.desktopEntryText); !error.empty())
        return error;

    if (std::string error = setDefault(plan.mimeappsList, plan.mimeType, plan.desktopId);
        !error.empty())
        return error;

    if (std::string error =
            refresh("update-mime-database", plan.mimePackage.parent_path().parent_path());
        !error.empty())
        return error;
    return refresh("update-desktop-database", plan.desktopEntry.parent_path());
}

void FreedesktopAssociation::RemoveAssociation(std::string_view extension) {
    const AssociationPlan plan = planRemoval(extension, dirs_);
    if (plan.extension.empty())
        return;
    if (!installedId_.empty() && plan.extension == "mod")
        dropDefault(plan.mimeappsList, declaredMimeType(kModMimeDefinition), installedId_);
    const FileBytes package = readFileBytes(plan.mimePackage, kMaxListSize);
    if (!package.ok)
        return; // never written, or gone
    const std::string mimeType = declaredMimeType(package.bytes());

    std::error_code ec;
    std::filesystem::remove(plan.mimePackage, ec);
    tidyMimeDatabase(plan.mimePackage.parent_path().parent_path(), mimeType);
    if (std::filesystem::remove(plan.desktopEntry, ec))
        tidyApplications(plan.desktopEntry.parent_path());

    if (!mimeType.empty())
        dropDefault(plan.mimeappsList, mimeType, plan.desktopId);
}

} // namespace torvale
