// Text: an immutable byte string of the document.
//
// A text read from a mod file usually is a stretch of that file, so it points
// into the file's bytes instead of holding a copy, and shares ownership of
// them; a text made from anything else holds its own bytes. Either way it is
// replaced as a whole, never changed in place.
#pragma once

#include <compare>
#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace torvale {

class Text {
public:
    Text() = default;
    Text(std::string bytes);
    Text(std::string_view bytes) : Text(std::string(bytes)) {}
    Text(const char* bytes) : Text(std::string_view(bytes)) {}

    // A part of bytes that owner keeps alive.
    static Text slice(const std::shared_ptr<const void>& owner, std::string_view part);

    std::string_view view() const { return {data_ ? data_.get() : "", size_}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    const char* data() const { return view().data(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
    friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const Text& a, const char* b) { return a.view() == b; }
    friend bool operator==(const Text& a, const std::string& b) { return a.view() == b; }
    friend std::ostream& operator<<(std::ostream& out, const Text& text) {
        return out << text.view();
    }

private:
    std::shared_ptr<const char> data_;
    std::size_t size_ = 0;
};

// Bytes together with what keeps them alive, for texts that point into them.
struct SharedBytes {
    std::shared_ptr<const void> owner;
    std::string_view bytes;

    static SharedBytes copyOf(std::string_view bytes);
};

} // namespace torvale
