// Which part of a document wrote a given line of its assembled text, so that
// a line of the Preview leads back to its node.
#pragma once

#include "edit_ops.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace torvale {

struct AssembledLineOwner {
    std::optional<Property> property; // one of the five property blocks
    std::optional<NodePath> node;     // a node's block or blocks
};

// The block that line (counted from 0) of assembleMod(doc) belongs to, with
// the empty line after it; nothing past the end. Lines are split as the
// reader splits them: at CR LF, a lone CR and a lone LF.
AssembledLineOwner ownerOfAssembledLine(const ModDocument& doc, std::size_t line);

// The line (counted from 0) of assembleMod(doc) where the node at path begins.
std::size_t assembledLineOfNode(const ModDocument& doc, NodePath path);

// The node of doc, read from fileText, that stands last at or before line
// (counted from 1) of the file: the one whose edit-file or search block opens
// there or before. Nothing when the line comes before every node. Lines that
// hold only an opening tag are taken as where blocks open.
std::optional<NodePath> nodeBeforeFileLine(const ModDocument& doc, std::string_view fileText,
                                           std::size_t line);

struct NodeLine {
    const Node* node;
    std::size_t line; // from 1: its "<edit file>", or its "<search for>" for a search action
};

// Every node in display order, with its line in assembleMod(doc) counted as
// Perl counts lines, at line feeds only: the lines YaBB's installer names.
std::vector<NodeLine> assembledNodeLines(const ModDocument& doc);

} // namespace torvale
