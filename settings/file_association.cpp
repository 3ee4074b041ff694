// What a .mod association is on a freedesktop system: the request, the plan
// of its files, the desktop entry's Exec quoting and mimeapps.list edits.
#include "file_association.h"

#include "mime_definition.h"

#include <algorithm>
#include <vector>

namespace torvale {

namespace {

constexpr std::string_view kDefaultApplications = "[Default Applications]";

std::string withoutDots(std::string_view extension) {
    std::string result(extension);
    std::erase(result, '.');
    return result;
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A MIME subtype holds no blanks or slashes.
std::string mimeToken(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '_' || c == '-';
        out += plain ? c : '-';
    }
    return out;
}

// A MIME package for an extension other than the program's own.
std::string mimePackageFor(const AssociationRequest& request, std::string_view extension) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"application/x-" +
           mimeToken(request.fileType) +
           "\">\n"
           "    <comment>" +
           xmlEscaped(request.description) +
           "</comment>\n"
           "    <glob pattern=\"*." +
           xmlEscaped(extension) +
           "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

// Escapes of a desktop entry's string values.
std::string stringEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        result.push_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return result;
}

std::vector<std::string> splitList(std::string_view value) {
    std::vector<std::string> items;
    while (!value.empty()) {
        const std::size_t end = value.find(';');
        if (end != 0)
            items.emplace_back(value.substr(0, end));
        value.remove_prefix(end == std::string_view::npos ? value.size() : end + 1);
    }
    return items;
}

// The line without the CR of a file written on Windows.
std::string_view bare(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

bool isKeyLine(std::string_view line) {
    line = bare(line);
    return !line.empty() && !line.starts_with('#');
}

struct DefaultLine {
    std::size_t header = std::string_view::npos; // the [Default Applications] line
    std::size_t end = 0;                         // one past the section's last key
    std::size_t line = std::string_view::npos;   // the mimeType= line
};

DefaultLine findDefault(const std::vector<std::string_view>& all, std::string_view mimeType) {
    DefaultLine found;
    bool inside = false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string_view line = bare(all[i]);
        if (line.starts_with('[')) {
            // Only the first such section counts.
            inside = found.header == std::string_view::npos && line == kDefaultApplications;
            if (inside)
                found.header = i, found.end = i + 1;
            continue;
        }
        if (!inside || !isKeyLine(line))
            continue;
        found.end = i + 1;
        if (found.line == std::string_view::npos && line.starts_with(mimeType) &&
            line.substr(mimeType.size()).starts_with('='))
            found.line = i;
    }
    return found;
}

std::vector<std::string> defaultsOf(std::string_view line, std::string_view mimeType) {
    return splitList(bare(line).substr(mimeType.size() + 1));
}

std::string defaultLine(std::string_view mimeType, const std::vector<std::string>& items) {
    std::string line = std::string(mimeType) + "=";
    for (const std::string& item : items)
        line += item + ";";
    return line;
}

std::string joined(const std::vector<std::string>& all) {
    std::string text;
    for (const std::string& line : all)
        text += line + "\n";
    return text;
}

} // namespace

AssociationRequest modAssociationRequest(const std::string& programPath) {
    // Windows takes the icon from the executable; here it is the program's
    // name in the icon theme.
    return {".mod", "modfile", "YaBB Mod File", "torvale", programPath};
}

AssociationPlan planRemoval(std::string_view extension, const XdgDirs& dirs) {
    AssociationPlan plan;
    plan.extension = withoutDots(extension);
    plan.mimePackage = dirs.dataHome / "mime" / "packages" / ("torvale-" + plan.extension + ".xml");
    plan.desktopId = "torvale-" + plan.extension + ".desktop";
    plan.desktopEntry = dirs.dataHome / "applications" / plan.desktopId;
    plan.mimeappsList = dirs.configHome / "mimeapps.list";
    return plan;
}

AssociationPlan planAssociation(AssociationRequest request, const XdgDirs& dirs) {
    AssociationPlan plan = planRemoval(request.extension, dirs);
    if (plan.extension.empty() || request.program.empty())
        return {};
    if (request.fileType.empty())
        request.fileType = plan.extension + "_auto_file";
    // The program's own type is the one definition the installed package has
    // too, so that the two never disagree.
    plan.mimePackageXml = plan.extension == "mod" ? std::string(kModMimeDefinition)
                                                  : mimePackageFor(request, plan.extension);
    plan.mimeType = declaredMimeType(plan.mimePackageXml);
    plan.desktopEntryText = "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Torvale\n"
                            "Comment=" +
                            stringEscaped(request.description) +
                            " editor\n"
                            "Exec=" +
                            desktopExecValue(request.program) + "\n";
    if (!request.icon.empty())
        plan.desktopEntryText += "Icon=" + stringEscaped(request.icon) + "\n";
    plan.desktopEntryText += "MimeType=" + plan.mimeType +
                             ";\n"
                             "NoDisplay=true\n"
                             "Terminal=false\n";
    return plan;
}

std::string declaredMimeType(std::string_view xml) {
    constexpr std::string_view marker = "<mime-type type=\"";
    const std::size_t start = xml.find(marker);
    if (start == std::string_view::npos)
        return {};
    const std::size_t from = start + marker.size();
    const std::size_t end = xml.find('"', from);
    return end == std::string_view::npos ? std::string()
                                         : std::string(xml.substr(from, end - from));
}

std::string desktopExecValue(std::string_view program) {
    // The path is always quoted: inside quotes only " ` $ \ need a backslash.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%'; // "%%" is a literal percent, not a field code
    }
    quoted += '"';
    // The string escapes apply on top of the quoting.
    return stringEscaped(quoted) + " %f";
}

std::string withDefaultApplication(std::string_view mimeapps, std::string_view mimeType,
                                   std::string_view desktopId) {
    const std::vector<std::string_view> view = lines(mimeapps);
    std::vector<std::string> all(view.begin(), view.end());
    const DefaultLine found = findDefault(view, mimeType);
    std::vector<std::string> items{std::string(desktopId)};
    if (found.line != std::string_view::npos) {
        // The others stay behind it, so that removing it restores them.
        for (std::string& item : defaultsOf(all[found.line], mimeType))
            if (item != desktopId)
                items.push_back(std::move(item));
        all[found.line] = defaultLine(mimeType, items);
    } else if (found.header != std::string_view::npos) {
        all.insert(all.begin() + std::ptrdiff_t(found.end), defaultLine(mimeType, items));
    } else {
        all.emplace_back(kDefaultApplications);
        all.push_back(defaultLine(mimeType, items));
    }
    return joined(all);
}

std::string withoutDefaultApplication(std::string_view mimeapps, std::string_view mimeType,
                                      std::string_view desktopId) {
    const std::vector<std::string_view> view = lines(mimeapps);
    const DefaultLine found = findDefault(view, mimeType);
    if (found.line == std::string_view::npos)
        return std::string(mimeapps);
    std::vector<std::string> items = defaultsOf(view[found.line], mimeType);
    if (std::erase(items, std::string(desktopId)) == 0)
        return std::string(mimeapps);
    std::vector<std::string> all(view.begin(), view.end());
    if (!items.empty()) {
        all[found.line] = defaultLine(mimeType, items);
        return joined(all);
    }
    all.erase(all.begin() + std::ptrdiff_t(found.line));
    // A section left with no line at all goes with its header.
    const auto first = all.begin() + std::ptrdiff_t(found.header);
    const auto last = all.begin() + std::ptrdiff_t(found.end - 1);
    if (std::none_of(first + 1, last, [](const std::string& line) { return !bare(line).empty(); }))
        all.erase(first, last);
    return joined(all);
}

} // namespace torvale
