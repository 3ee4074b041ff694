// libFuzzer target for the mod reader. Any bytes must read by the rules
// without a crash; and a document read from them whose texts hold no "<"
// (so no tag) must come back unchanged from its own assembled text.
#include "document/mod_assembler.h"
#include "document/mod_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool holdsNoTagStart(const torvale::ModDocument& doc) {
    const auto clean = [](const std::string& s) { return s.find('<') == std::string::npos; };
    for (int p = 0; p < torvale::kPropertyCount; ++p)
        if (!clean(doc.property(torvale::Property(p))))
            return false;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const torvale::Node* top = doc.topLevel(r);
        for (int c = -1; c < top->childCount(); ++c) {
            const torvale::TItem& item = c < 0 ? top->item() : top->child(c)->item();
            if (!clean(item.FileName) || !clean(item.SearchText) || !clean(item.ActionText))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    torvale::ModDocument doc;
    // A small limit keeps every run short; reaching it is one of the outcomes.
    const torvale::ReadOutcome outcome = torvale::readMod(text, doc, std::size_t(1) << 20);
    if (outcome.complete() != outcome.message.empty())
        std::abort();
    if (outcome.selected && outcome.selected->kind() != torvale::akEditFile)
        std::abort();
    const std::string assembled = torvale::assembleMod(doc);
    if (holdsNoTagStart(doc)) {
        torvale::ModDocument again;
        if (!torvale::readMod(assembled, again).complete() || !(again == doc))
            std::abort();
    }
    return 0;
}
