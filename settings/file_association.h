// The .mod file association: WriteAssociation and RemoveAssociation behind a
// small interface (the Windows registry could supply them), and their
// freedesktop form: a MIME package, a desktop entry and the user's default
// application, under $XDG_DATA_HOME and $XDG_CONFIG_HOME.
#pragma once

#include "xdg_dirs.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace torvale {

// What to register, in the registry's terms.
struct AssociationRequest {
    std::string extension;   // ".mod"; every dot is dropped
    std::string fileType;    // "modfile"; empty: the extension and "_auto_file"
    std::string description; // "YaBB Mod File"
    std::string icon;        // an icon name or image path; empty: none
    std::string program;     // the executable's full path
};

// The association the Options command writes for the program at programPath.
AssociationRequest modAssociationRequest(const std::string& programPath);

class FileAssociation {
public:
    virtual ~FileAssociation() = default;
    // Writes the association; nothing for an empty extension or program.
    // Returns why it stopped, empty when it is done; steps done before a
    // failure stay done.
    virtual std::string WriteAssociation(const AssociationRequest& request) = 0;
    // Takes away what WriteAssociation wrote for the extension; nothing when
    // there is none. A removal that fails passes silently.
    virtual void RemoveAssociation(std::string_view extension) = 0;
};

// Which files an association is on a freedesktop system. The one place that
// decides what is written where.
struct AssociationPlan {
    std::string extension; // without dots
    std::string mimeType;  // "text/x-yabb-mod"
    std::filesystem::path mimePackage;
    std::string mimePackageXml;
    std::string desktopId; // the desktop entry's file name
    std::filesystem::path desktopEntry;
    std::string desktopEntryText;
    std::filesystem::path mimeappsList;
};
// The plan for request; empty extension and program when nothing is to be done.
AssociationPlan planAssociation(AssociationRequest request, const XdgDirs& dirs);
// The file names the plan of an extension has, to find what was written.
AssociationPlan planRemoval(std::string_view extension, const XdgDirs& dirs);

// The type a MIME package declares first, empty if none.
std::string declaredMimeType(std::string_view xml);

// The Exec value of a desktop entry that opens one file with program: the
// path quoted and escaped by the desktop-entry rules, then " %f".
std::string desktopExecValue(std::string_view program);

// mimeapps.list with desktopId first among the default applications of
// mimeType, every other line as it was.
std::string withDefaultApplication(std::string_view mimeapps, std::string_view mimeType,
                                   std::string_view desktopId);
// mimeapps.list without desktopId among them; a line, or a section, that
// holds nothing else any more goes too.
std::string withoutDefaultApplication(std::string_view mimeapps, std::string_view mimeType,
                                      std::string_view desktopId);

// The association on this desktop. The databases are refreshed with
// update-mime-database and update-desktop-database where they are installed.
// With installedDesktopId (an installed Torvale, see installation.h) the .mod
// association writes no copies: the installed entry and MIME type serve, and
// only the user's default application is set; removing takes that default
// away again, besides any copies an earlier association wrote.
class FreedesktopAssociation : public FileAssociation {
public:
    explicit FreedesktopAssociation(XdgDirs dirs, std::string installedDesktopId = {})
        : dirs_(std::move(dirs)), installedId_(std::move(installedDesktopId)) {}
    std::string WriteAssociation(const AssociationRequest& request) override;
    void RemoveAssociation(std::string_view extension) override;

private:
    XdgDirs dirs_;
    std::string installedId_;
};

} // namespace torvale
