// The vocabulary of the mod file format: tags, kinds, labels and captions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "text.h"

namespace torvale {

// The kind of a node of the action tree. Also the Tag of the commands that add
// or retype nodes and the index of the node's picture.
enum ActionKind : std::int32_t {
    akEditFile = 0,
    akSearchReplace = 1,
    akSearchAddBefore = 2,
    akSearchAddAfter = 3,
};

inline constexpr int kActionKindCount = 4;

inline constexpr bool isSearchAction(std::int32_t kind) {
    return kind >= akSearchReplace && kind <= akSearchAddAfter;
}

// Tag numbers, in the order the reader tests a line and the writer emits the
// property blocks.
enum Tag : int {
    tagId = 0,
    tagVersion = 1,
    tagModInfo = 2,
    tagAuthor = 3,
    tagHomepage = 4,
    tagEditFile = 5,
    tagSearchFor = 6,
    tagReplace = 7,
    tagAddBefore = 8,
    tagAddAfter = 9,
};

inline constexpr int kTagCount = 10;

// Index 2*t is the opening tag of tag number t, 2*t+1 its closing tag.
inline constexpr std::array<std::string_view, 2 * kTagCount> ModTags = {
    "<id>",        "</id>",        "<version>",     "</version>",    "<mod info>",
    "</mod info>", "<author>",     "</author>",     "<homepage>",    "</homepage>",
    "<edit file>", "</edit file>", "<search for>",  "</search for>", "<replace>",
    "</replace>",  "<add before>", "</add before>", "<add after>",   "</add after>",
};

inline constexpr std::string_view openingTag(int tag) {
    return ModTags[2 * tag];
}
inline constexpr std::string_view closingTag(int tag) {
    return ModTags[2 * tag + 1];
}

// The action block of a search action of kind k carries tag number 6 + k.
inline constexpr int actionTagOf(std::int32_t kind) {
    return tagSearchFor + kind;
}

// Node labels by kind. An edit-file node added by the user shows entry 0 alone.
inline constexpr std::array<std::string_view, kActionKindCount> NodeLabels = {
    "<edit file>", "search and replace", "search and addbefore", "search and addafter"};

// Captions of the action pane by kind; entry 0 is the caption of the search pane.
inline constexpr std::array<std::string_view, kActionKindCount> PaneCaptions = {
    "Search for", "Replace by", "Add before that", "Add after that"};

// The record attached to every node of the action tree.
struct TItem {
    Text FileName; // edit-file nodes: forum file, relative, with "/"
    std::int32_t Kind = akEditFile;
    Text SearchText; // search actions: lines joined by CR LF
    Text ActionText; // search actions: lines joined by CR LF

    bool operator==(const TItem&) const = default;
};

} // namespace torvale
