#include "text.h"

namespace torvale {

Text::Text(std::string bytes) : size_(bytes.size()) {
    if (bytes.empty())
        return;
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    data_ = std::shared_ptr<const char>(owned, owned->data());
}

Text Text::slice(const std::shared_ptr<const void>& owner, std::string_view part) {
    Text text;
    if (part.empty())
        return text;
    text.data_ = std::shared_ptr<const char>(owner, part.data());
    text.size_ = part.size();
    return text;
}

SharedBytes SharedBytes::copyOf(std::string_view bytes) {
    auto owned = std::make_shared<const std::string>(bytes);
    return {owned, *owned};
}

} // namespace torvale
