// Cuts a text into the pieces between occurrences of one separator character.
// Empty pieces are kept so a field's position never shifts when an earlier one is empty.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class ETokenError : public std::runtime_error {
public:
    explicit ETokenError(char separator);
};

// Fills `list` with the pieces of `text` (see TToken). Existing elements of `list` are reused so
// that a list kept across calls stops allocating once its pieces have grown to size; `count`
// receives the number of pieces.
void Split(std::string_view text, char separator, std::vector<std::string>& list, size_t& count);

class TToken {
public:
    TToken(std::string_view text, char separator); // throws ETokenError for separator '\0'

    size_t Count() const { return count_; }
    // 1-based; the empty text for an index outside 1..Count().
    std::string_view Token(long index) const;
    void SetText(std::string_view text);
    char Separator() const { return separator_; }
    void SetSeparator(char separator); // throws ETokenError for '\0'

private:
    char separator_ = ',';
    std::vector<std::string> tokens_;
    size_t count_ = 0;
};

} // namespace corvane
