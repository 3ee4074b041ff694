// The .mod association on a freedesktop system, in temporary XDG folders:
// what xdg-mime answers afterwards, the Exec quoting, mimeapps.list edits, and
// removal leaving the folders as they were.
#include "settings/file_association.h"
#include "settings/installation.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

using namespace torvale;

namespace {

bool installed(const char* program) {
    return test::runProcess("/bin/sh", {"-c", std::string("command -v ") + program}).exitCode == 0;
}

// Every file and folder below root, with the files' bytes.
std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        all[std::filesystem::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<folder>" : test::readBytes(entry.path());
    return all;
}

struct Desktop {
    test::TempDir dir;
    XdgDirs xdg{dir / "data", dir / "config"};
    std::string dataDirs = "/usr/share";
    std::string path = "/usr/bin:/bin"; // xdg-mime answers only with programs found here
    Desktop() {
        std::filesystem::create_directories(xdg.dataHome);
        std::filesystem::create_directories(xdg.configHome);
    }
    // xdg-mime as the desktop's programs run it, seeing only these folders.
    std::string xdgMime(std::vector<std::string> args) const {
        std::vector<std::string> all = {"-u",
                                        "XDG_CURRENT_DESKTOP",
                                        "-u",
                                        "DESKTOP_SESSION",
                                        "XDG_DATA_HOME=" + xdg.dataHome.string(),
                                        "XDG_CONFIG_HOME=" + xdg.configHome.string(),
                                        "XDG_DATA_DIRS=" + dataDirs,
                                        "PATH=" + path,
                                        "xdg-mime"};
        all.insert(all.end(), args.begin(), args.end());
        std::string out = test::runProcess("/usr/bin/env", all).out;
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
};

// The arguments of an Exec value, by the desktop-entry rules: string escapes
// first, then quoting, then "%%".
std::vector<std::string> execArguments(std::string_view value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char c = value[++i];
            unescaped += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            unescaped += value[i];
        }
    }
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (quoted && c == '\\' && i + 1 < unescaped.size()) {
            current += unescaped[++i];
        } else if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any || !current.empty())
                args.push_back(current);
            current.clear();
            any = false;
        } else if (c == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
            current += '%';
            ++i;
        } else {
            current += c;
        }
    }
    if (any || !current.empty())
        args.push_back(current);
    return args;
}

void writeWithFolders(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    test::writeBytes(path, bytes);
}

// Torvale installed under usr/ of a temporary folder, laid out as its package lays it out, from
// the project's own desktop entry and MIME type.
struct Installation {
    test::TempDir dir;
    std::filesystem::path share = dir / "usr/share";
    std::filesystem::path program = dir / "usr/bin/torvale";
    std::string id = std::string(TORVALE_APP_ID) + ".desktop";
    Installation() {
        const std::filesystem::path data = std::filesystem::path(TORVALE_SOURCE_DIR) / "data";
        writeWithFolders(program, "");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        writeWithFolders(share / "applications" / id, test::readBytes(data / "torvale.desktop"));
        writeWithFolders(share / "mime/packages/torvale-mod.xml",
                         test::readBytes(data / "mime/torvale-mod.xml"));
    }
};

} // namespace

TEST(InstalledTorvale, IsFoundBesideTheProgramAndUsedOnlyWhereTheDesktopLooks) {
    Installation installation;
    const auto& program = installation.program;
    EXPECT_EQ(installedDesktopId(program), installation.id);
    EXPECT_EQ(installedDesktopId(installation.dir / "usr/bin/../bin/torvale"), installation.id);
    EXPECT_EQ(installedDesktopId(installation.dir / "build/app/torvale"), "");
    EXPECT_EQ(usableInstalledDesktopId(program, {"/usr/share", installation.share}),
              installation.id);
    EXPECT_EQ(usableInstalledDesktopId(program, {"/usr/share"}), "") << "a prefix nobody searches";
    std::filesystem::remove(installation.share / "mime/packages/torvale-mod.xml");
    EXPECT_EQ(usableInstalledDesktopId(program, {installation.share}), "") << "no MIME type";

    // Its folder is writable here, as /usr/bin is for root: the settings still go to the
    // config folder, unless the user put a settings file beside the program.
    const std::filesystem::path config = installation.dir / "config";
    EXPECT_EQ(settingsFileFor(program, config), config / "torvale/torvale.ini");
    test::writeBytes(installation.dir / "usr/bin/torvale.ini", "");
    EXPECT_EQ(settingsFileFor(program, config), installation.dir / "usr/bin/torvale.ini");
}

TEST(InstalledTorvale, AssociationOnlySetsTheDefaultAndRemovalGivesBackTheOldOne) {
    if (!installed("xdg-mime") || !installed("update-desktop-database"))
        TORVALE_SKIP_UNLESS_CI("xdg-utils or desktop-file-utils is not installed");
    Installation installation;
    test::runProcess("/usr/bin/update-mime-database", {(installation.share / "mime").string()});
    test::runProcess("/usr/bin/update-desktop-database",
                     {(installation.share / "applications").string()});
    Desktop desktop;
    desktop.dataDirs = installation.share.string() + ":/usr/share";
    desktop.path = installation.program.parent_path().string() + ":" + desktop.path;
    // The user had made another editor the default for mod files.
    const auto applications = desktop.xdg.dataHome / "applications";
    writeWithFolders(applications / "kate.desktop",
                     "[Desktop Entry]\nType=Application\nName=Kate\nExec=kate %f\n"
                     "MimeType=text/x-yabb-mod;\n");
    test::runProcess("/usr/bin/update-desktop-database", {applications.string()});
    test::writeBytes(desktop.xdg.configHome / "mimeapps.list",
                     "[Default Applications]\ntext/x-yabb-mod=kate.desktop;\n");
    const auto before = snapshot(desktop.dir.path());
    const auto dataBefore = snapshot(desktop.xdg.dataHome);
    ASSERT_EQ(desktop.xdgMime({"query", "default", "text/x-yabb-mod"}), "kate.desktop");

    FreedesktopAssociation association(desktop.xdg, installation.id);
    ASSERT_EQ(association.WriteAssociation(modAssociationRequest(installation.program.string())),
              "");
    EXPECT_EQ(desktop.xdgMime({"query", "default", "text/x-yabb-mod"}), installation.id);
    const std::filesystem::path realMod = test::sharedDir() / "realmods" / "apache24_fix_2.mod";
    EXPECT_EQ(desktop.xdgMime({"query", "filetype", realMod.string()}), "text/x-yabb-mod");
    EXPECT_EQ(snapshot(desktop.xdg.dataHome), dataBefore) << "no copies of entry or MIME type";

    association.RemoveAssociation(".mod");
    EXPECT_EQ(snapshot(desktop.dir.path()), before);
    EXPECT_EQ(desktop.xdgMime({"query", "default", "text/x-yabb-mod"}), "kate.desktop");
}

TEST(FileAssociation, ExecLineQuotesTheProgramPath) {
    for (const std::string program :
         {"/usr/bin/torvale", "/opt/My Apps/torvale", "/tmp/say \"hi\"/torvale", "/x/$HOME/`id`/t",
          "/x/back\\slash/t", "/x/100%/t", "/x/tab\there/t"}) {
        const std::string exec = desktopExecValue(program);
        EXPECT_EQ(execArguments(exec), (std::vector<std::string>{program, "%f"})) << exec;
    }
    if (!installed("desktop-file-validate"))
        TORVALE_SKIP_UNLESS_CI("desktop-file-validate is not installed");
    test::TempDir dir;
    const AssociationPlan plan = planAssociation(modAssociationRequest("/opt/My \"Apps\"/torvale"),
                                                 XdgDirs{dir / "d", dir / "c"});
    test::writeBytes(dir / "torvale-mod.desktop", plan.desktopEntryText);
    const auto check = test::runProcess("/usr/bin/desktop-file-validate",
                                        {(dir / "torvale-mod.desktop").string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_EQ(check.out, "");
}

TEST(FileAssociation, WritesTheProjectsMimeDefinitionAndFollowsTheRegistryRules) {
    test::TempDir dir;
    const XdgDirs xdg{dir / "d", dir / "c"};
    const AssociationPlan plan = planAssociation(modAssociationRequest("/p/torvale"), xdg);
    EXPECT_EQ(plan.mimePackageXml, test::readBytes(std::filesystem::path(TORVALE_SOURCE_DIR) /
                                                   "data/mime/torvale-mod.xml"));
    EXPECT_EQ(plan.mimeType, "text/x-yabb-mod");
    EXPECT_EQ(plan.mimePackage, dir / "d/mime/packages/torvale-mod.xml");
    EXPECT_EQ(plan.desktopEntry, dir / "d/applications/torvale-mod.desktop");
    EXPECT_NE(plan.desktopEntryText.find("\nIcon=torvale\n"), std::string::npos);

    AssociationRequest request = modAssociationRequest("/p/torvale");
    request.extension = "..m.od";
    request.fileType.clear();
    request.icon.clear();
    const AssociationPlan other = planAssociation(request, xdg);
    EXPECT_EQ(other.extension, "mod") << "every dot is dropped";
    request.extension = "txt";
    const AssociationPlan text = planAssociation(request, xdg);
    EXPECT_EQ(text.mimeType, "application/x-txt_auto_file");
    EXPECT_NE(text.mimePackageXml.find("<glob pattern=\"*.txt\"/>"), std::string::npos);
    EXPECT_EQ(text.desktopEntryText.find("Icon="), std::string::npos) << "empty icon, none";

    for (const char* extension : {".", ""}) {
        request.extension = extension;
        EXPECT_TRUE(planAssociation(request, xdg).extension.empty()) << extension;
    }
    request = modAssociationRequest("");
    EXPECT_TRUE(planAssociation(request, xdg).extension.empty()) << "no program";
}

TEST(FileAssociation, MimeappsKeepsEveryOtherLineAndRemovalRestoresIt) {
    const std::string id = "torvale-mod.desktop", type = "text/x-yabb-mod";
    const struct {
        std::string before;
        std::string written; // the file with the association
    } cases[] = {
        {"", "[Default Applications]\ntext/x-yabb-mod=torvale-mod.desktop;\n"},
        {"[Added Associations]\ntext/plain=gedit.desktop;\n",
         "[Added Associations]\ntext/plain=gedit.desktop;\n"
         "[Default Applications]\ntext/x-yabb-mod=torvale-mod.desktop;\n"},
        {"# mine\n[Default Applications]\ntext/plain=a.desktop;\n\n[Other]\nx=1\n",
         "# mine\n[Default Applications]\ntext/plain=a.desktop;\n"
         "text/x-yabb-mod=torvale-mod.desktop;\n\n[Other]\nx=1\n"},
        {"[Default Applications]\r\ntext/x-yabb-mod=kate.desktop;other.desktop\r\n",
         "[Default Applications]\r\ntext/x-yabb-mod=torvale-mod.desktop;kate.desktop;"
         "other.desktop;\n"},
        {"[Default Applications]\ntext/x-yabb-mod-extra=a.desktop;\n",
         "[Default Applications]\ntext/x-yabb-mod-extra=a.desktop;\n"
         "text/x-yabb-mod=torvale-mod.desktop;\n"},
    };
    for (const auto& c : cases) {
        const std::string written = withDefaultApplication(c.before, type, id);
        EXPECT_EQ(written, c.written) << c.before;
        EXPECT_EQ(withDefaultApplication(written, type, id), written) << "written twice";
        const std::string removed = withoutDefaultApplication(written, type, id);
        if (c.before.find("other.desktop") == std::string::npos)
            EXPECT_EQ(removed, c.before) << c.before;
        else // the other entries stay, in their order
            EXPECT_EQ(removed, "[Default Applications]\r\n"
                               "text/x-yabb-mod=kate.desktop;other.desktop;\n");
    }
    EXPECT_EQ(withoutDefaultApplication("[Default Applications]\ntext/x-yabb-mod=kate.desktop;\n",
                                        type, id),
              "[Default Applications]\ntext/x-yabb-mod=kate.desktop;\n")
        << "another program's default stays";
}

TEST(FileAssociation, XdgMimeAnswersForTorvaleAndRemovalLeavesTheFoldersAsTheyWere) {
    if (!installed("xdg-mime") || !installed("update-mime-database"))
        TORVALE_SKIP_UNLESS_CI("xdg-utils or shared-mime-info is not installed");
    const std::filesystem::path realMod = test::sharedDir() / "realmods" / "apache24_fix_2.mod";

    // Empty folders, and folders that hold another program's registrations.
    for (const bool lived : {false, true}) {
        Desktop desktop;
        if (lived) {
            // Another program's entry and MIME type, with up-to-date databases.
            const auto applications = desktop.xdg.dataHome / "applications";
            const auto mime = desktop.xdg.dataHome / "mime";
            std::filesystem::create_directories(applications);
            std::filesystem::create_directories(mime / "packages");
            test::writeBytes(applications / "kate.desktop",
                             "[Desktop Entry]\nType=Application\nName=Kate\nExec=kate %f\n"
                             "MimeType=text/plain;text/x-other;\n");
            test::writeBytes(
                mime / "packages" / "other.xml",
                "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/"
                "standards/shared-mime-info\">\n<mime-type type=\"text/x-other\">"
                "<glob pattern=\"*.other\"/></mime-type>\n</mime-info>\n");
            test::writeBytes(desktop.xdg.configHome / "mimeapps.list",
                             "[Default Applications]\ntext/plain=kate.desktop;\n");
            test::runProcess("/usr/bin/update-mime-database", {mime.string()});
            test::runProcess("/usr/bin/update-desktop-database", {applications.string()});
        }
        const auto before = snapshot(desktop.dir.path());
        ASSERT_EQ(desktop.xdgMime({"query", "filetype", realMod.string()}), "audio/x-mod")
            << "*.mod is a music type until the association is written";

        FreedesktopAssociation association(desktop.xdg);
        ASSERT_EQ(association.WriteAssociation(modAssociationRequest("/opt/T app/torvale")), "");
        EXPECT_EQ(desktop.xdgMime({"query", "filetype", realMod.string()}), "text/x-yabb-mod");
        EXPECT_EQ(desktop.xdgMime({"query", "default", "text/x-yabb-mod"}), "torvale-mod.desktop");
        if (lived) {
            EXPECT_EQ(desktop.xdgMime({"query", "default", "text/plain"}), "kate.desktop");
        }

        association.RemoveAssociation(".mod");
        EXPECT_EQ(snapshot(desktop.dir.path()), before) << (lived ? "lived in" : "empty");
        EXPECT_EQ(desktop.xdgMime({"query", "filetype", realMod.string()}), "audio/x-mod");
        association.RemoveAssociation(".mod");
        EXPECT_EQ(snapshot(desktop.dir.path()), before) << "nothing to remove the second time";
    }
}

TEST(FileAssociation, AFolderThatCannotBeWrittenStopsWithItsName) {
    Desktop desktop;
    test::writeBytes(desktop.xdg.dataHome / "applications", "a file in the way");
    FreedesktopAssociation association(desktop.xdg);
    const std::string error = association.WriteAssociation(modAssociationRequest("/p/torvale"));
    EXPECT_NE(error.find((desktop.xdg.dataHome / "applications").string()), std::string::npos)
        << error;
    EXPECT_TRUE(std::filesystem::exists(desktop.xdg.dataHome / "mime/packages/torvale-mod.xml"))
        << "the steps before it stay done";
    EXPECT_FALSE(std::filesystem::exists(desktop.xdg.configHome / "mimeapps.list"))
        << "the steps after it are not made";
}
