// Whether a document still assembles to the text it was last opened or saved
// as, answered on every edit without assembling the document.
#pragma once

#include "edit_ops.h"

#include <cstddef>
#include <optional>

namespace torvale {

// The size of assembleMod(doc), counted without assembling it.
std::size_t assembledSize(const ModDocument& doc);

// The saved text, kept as the texts it was made of (shared, not copied), and
// the size of the current document's assembled text, kept up to date as edits
// go through apply(). An edit that changes the size makes the texts differ at
// once; otherwise the two are compared block by block, where unchanged texts
// are the same bytes and cost nothing, and byte by byte from the first block
// that differs, so that the answer is about the texts and never about the
// way they are split into blocks.
class SavedText {
public:
    // doc assembles to the saved text now.
    void take(const ModDocument& doc);
    // No document assembles to the saved text until the next take(), as for
    // a recovered copy, whose file may hold anything.
    void forget();

    // applyEdit(doc, edit, observer), counting the change of the size.
    Edit apply(ModDocument& doc, Edit edit, EditObserver* observer);
    // Whether doc, changed since take() only through apply(), assembles to
    // another text than the saved one.
    bool differs(const ModDocument& doc) const;

private:
    std::optional<DocumentSnapshot> saved_;
    std::size_t savedSize_ = 0;
    // Of the current document: its assembled size but the blank line that
    // ends a text whose last block is no search action.
    std::size_t bodySize_ = 0;
};

} // namespace torvale
