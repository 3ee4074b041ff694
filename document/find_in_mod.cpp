// Finding a text in every text of a mod: one pass over the document, the
// search table made once for all of its texts.
#include "find_in_mod.h"

#include "text_search.h"

#include <algorithm>
#include <functional>

namespace torvale {

namespace {

// Finds a needle in one text after another. A needle of one line, the usual
// case, goes through one Boyer-Moore-Horspool table made once.
class Finder {
public:
    explicit Finder(std::string_view needle)
        : needle_(needle), oneLine_(needle.find("\r\n") == std::string_view::npos),
          searcher_(needle.begin(), needle.end()) {}

    std::optional<ByteRange> find(std::string_view text, std::size_t from) const {
        if (!oneLine_)
            return findText(text, needle_, from);
        if (from >= text.size())
            return std::nullopt;
        const auto found = std::search(text.begin() + std::ptrdiff_t(from), text.end(), searcher_);
        if (found == text.end())
            return std::nullopt;
        const std::size_t at = std::size_t(found - text.begin());
        return ByteRange{at, at + needle_.size()};
    }

private:
    std::string_view needle_;
    bool oneLine_;
    std::boyer_moore_horspool_searcher<std::string_view::const_iterator> searcher_;
};

void searchText(const Finder& finder, const Text& text, const TextPlace& place, std::size_t limit,
                ModHits& out) {
    const std::string_view bytes = text.view();
    std::size_t line = 1;
    std::size_t counted = 0; // the line is known up to here
    for (std::size_t from = 0;;) {
        const auto found = finder.find(bytes, from);
        if (!found)
            return;
        ++out.total;
        if (out.hits.size() < limit) {
            // CR LF and a lone LF end a line, and a lone CR too.
            for (; counted < found->begin; ++counted)
                if (bytes[counted] == '\n' ||
                    (bytes[counted] == '\r' &&
                     (counted + 1 >= bytes.size() || bytes[counted + 1] != '\n')))
                    ++line;
            out.hits.push_back({place, found->begin, found->end, line});
        }
        from = std::max(found->end, found->begin + 1);
    }
}

} // namespace

ModHits findInMod(const ModDocument& doc, std::string_view needle, std::size_t limit) {
    ModHits out;
    if (needle.empty())
        return out;
    const Finder finder(needle);
    for (int p = 0; p < kPropertyCount; ++p) {
        TextPlace place;
        place.property = Property(p);
        searchText(finder, doc.property(Property(p)), place, limit, out);
    }
    const auto node = [&](const Node* n, NodePath at) {
        const TItem& item = n->item();
        if (item.Kind == akEditFile) {
            searchText(finder, item.FileName, {TextPlace::Field::FileName, {}, at}, limit, out);
            return;
        }
        searchText(finder, item.SearchText, {TextPlace::Field::SearchText, {}, at}, limit, out);
        searchText(finder, item.ActionText, {TextPlace::Field::ActionText, {}, at}, limit, out);
    };
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        node(top, {-1, r});
        for (int c = 0; c < top->childCount(); ++c)
            node(top->child(c), {r, c});
    }
    return out;
}

const Text* textAt(const ModDocument& doc, const TextPlace& place) {
    if (place.field == TextPlace::Field::Property)
        return &doc.property(place.property);
    const Node* node = nodeAt(doc, place.node);
    if (!node)
        return nullptr;
    switch (place.field) {
    case TextPlace::Field::FileName:
        return &node->item().FileName;
    case TextPlace::Field::SearchText:
        return &node->item().SearchText;
    default:
        return &node->item().ActionText;
    }
}

std::optional<std::string> replaceInText(std::string_view text, std::string_view needle,
                                         std::string_view replacement, std::size_t* count) {
    const Finder finder(needle);
    std::string out;
    std::size_t done = 0;
    std::size_t taken = 0;
    for (std::size_t from = 0; !needle.empty();) {
        const auto found = finder.find(text, from);
        if (!found)
            break;
        out.append(text.substr(taken, found->begin - taken)).append(replacement);
        taken = found->end;
        ++done;
        from = std::max(found->end, found->begin + 1);
    }
    if (count)
        *count = done;
    if (done == 0)
        return std::nullopt;
    out.append(text.substr(taken));
    return out;
}

} // namespace torvale
