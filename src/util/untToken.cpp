#include "util/untToken.h"

#include <cstdio>

namespace corvane {

namespace {

std::string SeparatorMessage(char separator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Invalid token separator specified [#%d].",
                  static_cast<int>(static_cast<unsigned char>(separator)));
    return buf;
}

// Puts piece number `index` into the list, reusing an existing string's storage when there is one.
void StorePiece(std::vector<std::string>& list, size_t index, std::string_view piece) {
    if (index < list.size())
        list[index].assign(piece);
    else
        list.emplace_back(piece);
}

} // namespace

ETokenError::ETokenError(char separator) : std::runtime_error(SeparatorMessage(separator)) {}

void Split(std::string_view text, char separator, std::vector<std::string>& list, size_t& count) {
    count = 0;
    if (text.empty())
        return;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            StorePiece(list, count++, text.substr(start));
            return;
        }
        StorePiece(list, count++, text.substr(start, end - start));
        start = end + 1;
    }
}

TToken::TToken(std::string_view text, char separator) {
    SetSeparator(separator);
    SetText(text);
}

std::string_view TToken::Token(long index) const {
    if (index < 1 || static_cast<unsigned long>(index) > count_)
        return {};
    return tokens_[static_cast<size_t>(index - 1)];
}

void TToken::SetText(std::string_view text) {
    Split(text, separator_, tokens_, count_);
}

void TToken::SetSeparator(char separator) {
    if (separator == '\0')
        throw ETokenError(separator);
    separator_ = separator;
}

} // namespace corvane
