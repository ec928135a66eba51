#include "util/JsonText.h"

#include <charconv>
#include <cmath>

namespace corvane {

void AppendLatin1AsUtf8(std::string& out, std::string_view latin1) {
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
}

void AppendUtf8AsLatin1(std::string& out, std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (length == 2 && i + 1 < utf8.size() && b <= 0xC3)
            out += static_cast<char>(((b & 0x03) << 6) | (utf8[i + 1] & 0x3F));
        else
            out += length == 1 && b < 0x80 ? static_cast<char>(b) : '?';
        i += length;
    }
}

std::string Latin1AsUtf8(std::string_view latin1) {
    std::string out;
    AppendLatin1AsUtf8(out, latin1);
    return out;
}

std::string Utf8AsLatin1(std::string_view utf8) {
    std::string out;
    AppendUtf8AsLatin1(out, utf8);
    return out;
}

TJsonText& TJsonText::Begin() {
    text_.assign(1, '{');
    first_ = true;
    return *this;
}

void TJsonText::Separate() {
    if (!first_)
        text_ += ',';
    first_ = false;
}

void TJsonText::Key(std::string_view key) {
    Separate();
    Quoted(key);
    text_ += ':';
}

void TJsonText::Quoted(std::string_view latin1) {
    static constexpr char Hex[] = "0123456789abcdef";
    text_ += '"';
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += c;
        } else if (b < 0x20 || b == 0x7F) {
            text_ += "\\u00";
            text_ += Hex[b >> 4];
            text_ += Hex[b & 0xF];
        } else {
            AppendLatin1AsUtf8(text_, std::string_view(&c, 1));
        }
    }
    text_ += '"';
}

TJsonText& TJsonText::Field(std::string_view key, std::string_view latin1) {
    Key(key);
    Quoted(latin1);
    return *this;
}

TJsonText& TJsonText::Field(std::string_view key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

TJsonText& TJsonText::Field(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

TJsonText& TJsonText::Field(std::string_view key, double value) {
    if (!std::isfinite(value))
        return Null(key);
    Key(key);
    // Room for the largest finite value written out in full (309 digits), and a decimal point
    // that no locale can turn into a comma.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (ec == std::errc())
        text_.append(buffer, end);
    else
        text_ += "null";
    return *this;
}

TJsonText& TJsonText::Null(std::string_view key) {
    Key(key);
    text_ += "null";
    return *this;
}

TJsonText& TJsonText::BeginArray(std::string_view key) {
    Key(key);
    text_ += '[';
    first_ = true;
    return *this;
}

TJsonText& TJsonText::Item(std::string_view latin1) {
    Separate();
    Quoted(latin1);
    return *this;
}

TJsonText& TJsonText::Item(int64_t value) {
    Separate();
    text_ += std::to_string(value);
    return *this;
}

TJsonText& TJsonText::EndArray() {
    text_ += ']';
    first_ = false;
    return *this;
}

TJsonText& TJsonText::BeginObject(std::string_view key) {
    Key(key);
    text_ += '{';
    first_ = true;
    return *this;
}

TJsonText& TJsonText::EndObject() {
    text_ += '}';
    first_ = false;
    return *this;
}

std::string_view TJsonText::End() {
    text_ += '}';
    return text_;
}

} // namespace corvane
