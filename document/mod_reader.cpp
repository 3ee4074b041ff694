// The reading rules of the mod format: which blocks the tags found by the
// scanner make, and how each block's lines add to the document.
#include "mod_reader.h"

#include "line_cursor.h"
#include "tag_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace torvale {

namespace {

// A text being collected: a part of the file while it is one stretch of it,
// a string of its own once lines are joined differently or added to.
class Collected {
public:
    explicit Collected(Text initial = {}) : slice_(std::move(initial)) {}

    bool empty() const { return grown_ ? text_.empty() : slice_.empty(); }
    void setSlice(Text slice) { slice_ = std::move(slice); }
    std::string& grow() {
        if (!grown_) {
            text_.assign(slice_.view());
            slice_ = {};
            grown_ = true;
        }
        return text_;
    }
    Text take() {
        Text result = grown_ ? Text(std::move(text_)) : std::move(slice_);
        *this = Collected();
        return result;
    }

private:
    Text slice_;
    std::string text_;
    bool grown_ = false;
};

// Every opening tag on a line that is not the file's last starts a block: its
// content is the lines after it up to the next line that holds the closing tag
// (or the end of the file, which stops the read), and the lines inside a block
// are scanned for tags like any other. Telling a listener of each block is
// compiled in only where one listens, so that plain reading stays as fast.
template <bool kListening> class Reader {
public:
    Reader(const SharedBytes& source, ReadTarget& target, std::size_t limit, BlockListener* blocks)
        : owner_(source.owner), text_(source.bytes), target_(target), limit_(limit),
          blocks_(blocks), lineEnds_(target.textLineEnds()), lineEnd_(lineEndOf(lineEnds_)) {}

    ReadOutcome run() {
        ReadOutcome outcome = readAll();
        for (int p = 0; p < kPropertyCount; ++p)
            target_.property(Property(p), properties_[std::size_t(p)].take());
        return outcome;
    }

private:
    ReadOutcome readAll() {
        if (text_.size() >= std::numeric_limits<std::uint32_t>::max())
            return tooMuch(0);
        return lineEnds_ == LineEnds::Lf ? readAllWith<LineEnds::Lf>()
                                         : readAllWith<LineEnds::CrLf>();
    }

    // The scanner tracks the line ends that texts are joined with.
    template <LineEnds kEnds> ReadOutcome readAllWith() {
        TagScanner<kEnds> scanner(text_);
        TaggedLines lines(scanner);
        // For each tag, the tagged line at which the search for its closing tag
        // stands. Opening lines come in file order, so these only move forward.
        std::array<std::size_t, kTagCount> closeCursor{};
        for (std::size_t i = 0;; ++i) {
            lines.dropBefore(i);
            const TaggedLine* found = lines.at(i);
            if (!found)
                break;
            const TaggedLine line = *found;
            if (!line.masks.open)
                continue;
            // The scanner knows where the text ends by the time it hands out
            // the last line.
            if (line.next >= scanner.size())
                break; // opening tags on the last line are ignored
            for (int t = 0; t < kTagCount; ++t) {
                if (!(line.masks.open & (1u << t)))
                    continue;
                std::size_t& c = closeCursor[std::size_t(t)];
                if (c <= i)
                    c = i + 1;
                const TaggedLine* closing = lines.at(c);
                while (closing && !(closing->masks.close & (1u << t)))
                    closing = lines.at(++c);
                const std::size_t spanEnd = closing ? closing->start : scanner.size();
                const std::string_view content = text_.substr(line.next, spanEnd - line.next);
                if (content.size() > limit_ - taken_)
                    return tooMuch(line.start);
                taken_ += content.size();
                sameEnds_ = scanner.sameLineEndsBefore(spanEnd);
                collect(t, content);
                if constexpr (kListening)
                    blocks_->block({t, line.start, line.next, spanEnd, closing != nullptr});
                if (!closing)
                    return missingClosingTag(t, line.start);
                finish(t);
            }
        }
        return {};
    }

    // Stops are rare, so their line is counted only then.
    ReadOutcome missingClosingTag(int tag, std::size_t opening) const {
        ReadOutcome stopped;
        stopped.status = ReadOutcome::Status::MissingClosingTag;
        stopped.missingTag = 2 * tag + 1;
        stopped.message = notFoundMessage(stopped.missingTag);
        stopped.stopLine = lineNumberAt(text_, opening);
        return stopped;
    }

    ReadOutcome tooMuch(std::size_t opening) const {
        ReadOutcome stopped;
        stopped.status = ReadOutcome::Status::TooMuchText;
        stopped.stopLine = lineNumberAt(text_, opening);
        stopped.message = "Reading stopped: the blocks of this file add up to more than " +
                          std::to_string(limit_ >> 20) + " MiB of text.";
        return stopped;
    }

    Text slice(std::string_view part) const { return Text::slice(owner_, part); }

    // Single-line properties: the lines joined with nothing between.
    static void appendLines(Collected& target, std::string_view content) {
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line))
            if (!line.empty())
                target.grow().append(line);
    }

    // Multi-line texts put the target's line end before a line only when they
    // already hold text, so empty lines at the start of a text vanish.
    void appendText(Collected& target, std::string_view content) const {
        if (sameEnds_) {
            // The lines joined by that line end are the content without its
            // last one. Every line end here is that one, so a byte tells it.
            std::string_view body = content;
            if (body.ends_with('\n'))
                body.remove_suffix(lineEnd_.size());
            if (!target.empty()) {
                if (!content.empty())
                    target.grow().append(lineEnd_).append(body);
                return;
            }
            std::size_t skip = 0;
            while (skip < content.size() && (content[skip] == '\r' || content[skip] == '\n'))
                ++skip;
            target.setSlice(slice(body.substr(std::min(skip, body.size()))));
            return;
        }
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line)) {
            if (!target.empty())
                target.grow().append(lineEnd_);
            if (!line.empty())
                target.grow().append(line);
        }
    }

    // The last line of the content: each line of a file name block replaces
    // the one before.
    Text lastLine(std::string_view content) const {
        if (content.empty())
            return {};
        std::size_t end = content.size();
        if (content.ends_with("\r\n"))
            end -= 2;
        else if (content.back() == '\n' || content.back() == '\r')
            end -= 1;
        std::size_t start = end;
        while (start > 0 && content[start - 1] != '\n' && content[start - 1] != '\r')
            --start;
        return slice(content.substr(start, end - start));
    }

    void collect(int tag, std::string_view content) {
        switch (tag) {
        case tagId:
        case tagVersion:
        case tagAuthor:
        case tagHomepage:
            appendLines(properties_[std::size_t(tag)], content);
            break;
        case tagModInfo:
            appendText(properties_[std::size_t(tag)], content);
            break;
        case tagEditFile:
            pendingFile_ = lastLine(content);
            break;
        case tagSearchFor:
            appendText(pendingSearch_, content);
            break;
        default:
            appendText(pendingAction_, content);
            break;
        }
    }

    void finish(int tag) {
        if (tag == tagEditFile) {
            target_.editFile(std::move(pendingFile_));
            pendingFile_ = {};
        } else if (tag >= tagReplace) {
            target_.searchAction(tag - tagSearchFor, pendingSearch_.take(), pendingAction_.take());
        }
    }

    std::shared_ptr<const void> owner_;
    std::string_view text_;
    ReadTarget& target_;
    const std::size_t limit_;
    BlockListener* const blocks_;
    // That join the lines of multi-line texts.
    const LineEnds lineEnds_;
    const std::string_view lineEnd_;
    std::size_t taken_ = 0;
    // Whether every line end of the block at hand is lineEnd_.
    bool sameEnds_ = false;
    std::array<Collected, kPropertyCount> properties_;
    Text pendingFile_;
    Collected pendingSearch_;
    Collected pendingAction_;
};

// Builds the document: each search action goes under the edit-file node
// before it, or on the top level before the first one.
class DocumentTarget final : public ReadTarget {
public:
    explicit DocumentTarget(ModDocument& doc) : doc_(doc) {}
    Node* selected() const { return selected_; }

    void editFile(Text fileName) override {
        TItem item;
        item.FileName = std::move(fileName);
        item.Kind = akEditFile;
        selected_ = doc_.appendNode(nullptr, std::move(item), LabelForm::Read);
    }
    void searchAction(std::int32_t kind, Text searchText, Text actionText) override {
        TItem item;
        item.Kind = kind;
        item.SearchText = std::move(searchText);
        item.ActionText = std::move(actionText);
        doc_.appendNode(selected_, std::move(item), LabelForm::Read);
    }
    void property(Property p, Text value) override { doc_.setProperty(p, std::move(value)); }

private:
    ModDocument& doc_;
    Node* selected_ = nullptr;
};

} // namespace

std::string notFoundMessage(int tagIndex) {
    return std::string(ModTags[std::size_t(tagIndex)]) + "not found!";
}

ReadOutcome readMod(const SharedBytes& source, ReadTarget& target, std::size_t blockTextLimit,
                    BlockListener* blocks) {
    if (blocks)
        return Reader<true>(source, target, blockTextLimit, blocks).run();
    return Reader<false>(source, target, blockTextLimit, nullptr).run();
}

ReadOutcome readMod(const SharedBytes& source, ModDocument& doc, std::size_t blockTextLimit,
                    BlockListener* blocks) {
    DocumentTarget target(doc);
    ReadOutcome outcome = readMod(source, target, blockTextLimit, blocks);
    outcome.selected = target.selected();
    return outcome;
}

ReadOutcome readMod(std::string_view text, ModDocument& doc, std::size_t blockTextLimit) {
    return readMod(SharedBytes::copyOf(text), doc, blockTextLimit);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    LineCursor cursor(untilNul(text));
    std::string_view line;
    while (cursor.next(line))
        lines.push_back(line);
    return lines;
}

} // namespace torvale
