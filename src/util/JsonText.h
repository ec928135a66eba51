// A JSON object written field by field into one reused buffer. Texts come in as 8-bit Latin-1
// (as the receivers send them) and go out as UTF-8 with quotes, backslashes and control
// characters escaped, so that any name a receiver sends still makes a valid document.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

class TJsonText {
public:
    // Starts a new object, forgetting the previous one.
    TJsonText& Begin();
    TJsonText& Field(std::string_view key, std::string_view latin1);
    TJsonText& Field(std::string_view key, const char* latin1) {
        return Field(key, std::string_view(latin1));
    }
    TJsonText& Field(std::string_view key, int64_t value);
    TJsonText& Field(std::string_view key, int value) { return Field(key, int64_t(value)); }
    TJsonText& Field(std::string_view key, bool value);
    // Finite values with up to three decimals; anything else as null.
    TJsonText& Field(std::string_view key, double value);
    TJsonText& Null(std::string_view key);
    // A nested array or object: opened under key, filled with Item/Field, then closed.
    TJsonText& BeginArray(std::string_view key);
    TJsonText& Item(std::string_view latin1);
    TJsonText& Item(int64_t value);
    TJsonText& EndArray();
    TJsonText& BeginObject(std::string_view key);
    TJsonText& EndObject();
    // Closes the object; the text stays valid until the next Begin.
    std::string_view End();
    std::string_view View() const { return text_; }

private:
    void Key(std::string_view key);
    void Separate();
    void Quoted(std::string_view latin1);

    std::string text_;
    bool first_ = true;
};

// Latin-1 to UTF-8, every byte a character of its own.
void AppendLatin1AsUtf8(std::string& out, std::string_view latin1);
// Back again: UTF-8 of characters up to U+00FF to one byte each; anything else (a file edited
// by hand) becomes '?', one per character.
void AppendUtf8AsLatin1(std::string& out, std::string_view utf8);
// The same, made as a text of its own.
std::string Latin1AsUtf8(std::string_view latin1);
std::string Utf8AsLatin1(std::string_view utf8);

} // namespace corvane
