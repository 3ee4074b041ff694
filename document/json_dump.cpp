// The document as one JSON object for torvale-cli dump: how the read ended,
// the properties, the nodes and what the read dropped (its findings).
#include "json_dump.h"

namespace torvale {

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c >= 0x7F) {
            out.append("\\u00");
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
}

namespace {

void appendNode(std::string& out, const Node* node) {
    const TItem& item = node->item();
    out.append("{\"kind\": ");
    out.append(std::to_string(item.Kind));
    out.append(", \"label\": ");
    appendJsonString(out, node->label());
    out.append(", \"file\": ");
    appendJsonString(out, item.FileName);
    out.append(", \"search\": ");
    appendJsonString(out, item.SearchText);
    out.append(", \"action\": ");
    appendJsonString(out, item.ActionText);
    out.append(", \"children\": [");
    for (int c = 0; c < node->childCount(); ++c) {
        if (c)
            out.append(", ");
        appendNode(out, node->child(c));
    }
    out.append("]}");
}

} // namespace

std::string dumpJson(const ModDocument& doc, const ReadOutcome& outcome,
                     const std::vector<Finding>& findings) {
    static constexpr const char* kPropertyKeys[kPropertyCount] = {"id", "version", "info", "author",
                                                                  "homepage"};
    std::string out;
    out.append("{\"complete\": ");
    out.append(outcome.complete() ? "true" : "false");
    out.append(", \"error\": ");
    if (outcome.complete())
        out.append("null");
    else
        appendJsonString(out, outcome.message);
    out.append(", \"properties\": {");
    for (int p = 0; p < kPropertyCount; ++p) {
        if (p)
            out.append(", ");
        out.push_back('"');
        out.append(kPropertyKeys[p]);
        out.append("\": ");
        appendJsonString(out, doc.property(Property(p)));
    }
    out.append("}, \"nodes\": [");
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        if (r)
            out.append(", ");
        appendNode(out, doc.topLevel(r));
    }
    out.append("], \"selected\": ");
    out.append(outcome.selected ? std::to_string(outcome.selected->row()) : "null");
    out.append(", \"findings\": [");
    for (std::size_t f = 0; f < findings.size(); ++f) {
        if (f)
            out.append(", ");
        out.append("{\"kind\": ");
        appendJsonString(out, findingName(findings[f].kind));
        out.append(", \"line\": ");
        out.append(std::to_string(findings[f].line));
        out.append(", \"text\": ");
        appendJsonString(out, findings[f].text);
        out.push_back('}');
    }
    out.append("]}\n");
    return out;
}

} // namespace torvale
