// libFuzzer target for the mod reader. Any bytes must read without a crash and
// give exactly what the reading rules, followed word for word, give; reading
// and assembling in one go must give the assembled text of that document, in
// the line ends of the bytes (LF: the CR LF text with each CR LF as LF); and a
// document whose texts hold no "<" (so no tag) must come back unchanged from
// its own assembled text, in either line ends. The findings of the read must be those of a plain
// line-by-line reading.
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/read_findings.h"
#include "reference_findings.h"
#include "reference_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool holdsNoTagStart(const torvale::ModDocument& doc) {
    const auto clean = [](std::string_view s) { return s.find('<') == std::string_view::npos; };
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
    // A small limit keeps every run short; reaching it is one of the outcomes.
    const std::size_t limit = std::size_t(1) << 16;
    torvale::ModDocument doc;
    const torvale::ReadOutcome outcome = torvale::readMod(text, doc, limit);
    torvale::ModDocument expected;
    const torvale::ReadOutcome rules = torvale::test::referenceRead(text, expected, limit);
    if (outcome.status != rules.status || outcome.message != rules.message || !(doc == expected))
        std::abort();
    if ((outcome.selected ? outcome.selected->row() : -1) !=
        (rules.selected ? rules.selected->row() : -1))
        std::abort();
    std::string streamed;
    const torvale::StreamedAssembly assembly = torvale::readAndAssemble(
        torvale::SharedBytes::copyOf(text),
        [&streamed](std::string_view piece) {
            streamed += piece;
            return true;
        },
        limit);
    const std::string crlf = torvale::assembleMod(doc);
    const std::string lf = torvale::test::crLfAsLf(crlf);
    if (assembly.outcome.status != outcome.status || !assembly.written ||
        torvale::assembleMod(doc, torvale::LineEnds::Lf) != lf ||
        streamed != (torvale::test::referenceLineEnds(text) == torvale::LineEnds::Lf ? lf : crlf))
        std::abort();
    torvale::ModDocument withFindings;
    std::vector<torvale::Finding> findings;
    torvale::readMod(torvale::SharedBytes::copyOf(text), withFindings, findings, limit);
    if (findings != torvale::test::referenceFindings(text, limit))
        std::abort();
    if (holdsNoTagStart(doc)) {
        for (const std::string& written : {crlf, lf}) {
            torvale::ModDocument again;
            if (!torvale::readMod(written, again).complete() || !(again == doc))
                std::abort();
        }
    }
    return 0;
}
