// Builds a published document from arbitrary bytes: each step a field (text, integer, flag,
// number, null) or an array of texts and integers, with names and texts taken as receiver
// text. A strict reader then checks that the result is one valid JSON object in valid UTF-8
// (no overlong forms, no surrogates, no raw control characters) and that it gives back every
// name, text and number exactly as it was put in, text read as Latin-1.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "util/JsonText.h"

using namespace corvane;

namespace {

struct TNull {
    bool operator==(const TNull&) const = default;
};
using TItem = std::variant<std::string, int64_t>;
using TValue = std::variant<std::string, int64_t, bool, double, TNull, std::vector<TItem>>;

struct TInput {
    const uint8_t* at;
    size_t left;
    uint8_t Byte() {
        if (!left)
            return 0;
        --left;
        return *at++;
    }
    std::string Text() {
        size_t n = Byte() % 40;
        n = n < left ? n : left;
        std::string s(reinterpret_cast<const char*>(at), n);
        at += n;
        left -= n;
        return s;
    }
    template <typename T>
    T Raw() {
        T v{};
        size_t n = sizeof v < left ? sizeof v : left;
        std::memcpy(&v, at, n);
        at += n;
        left -= n;
        return v;
    }
};

// A strict reader of exactly what the writer may produce: one object of named values.
class TReader {
public:
    explicit TReader(std::string_view text) : s_(text) {}

    void Object(std::vector<std::pair<std::string, TValue>>& out) {
        Expect('{');
        if (Peek() == '}') {
            ++i_;
        } else {
            do {
                std::string key = String();
                Expect(':');
                out.emplace_back(std::move(key), Value());
            } while (Comma('}'));
        }
        if (i_ != s_.size())
            abort();
    }

private:
    static void Fail() { abort(); }
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    void Expect(char c) {
        if (Peek() != c)
            Fail();
        ++i_;
    }
    // After a member: true for a comma, false (and consumed) for the closing character.
    bool Comma(char close) {
        char c = Peek();
        ++i_;
        if (c == ',')
            return true;
        if (c != close)
            Fail();
        return false;
    }

    TValue Value() {
        char c = Peek();
        if (c == '"')
            return String();
        if (c == '[')
            return Array();
        if (Word("true"))
            return true;
        if (Word("false"))
            return false;
        if (Word("null"))
            return TNull{};
        return Number();
    }

    bool Word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w)
            return false;
        i_ += w.size();
        return true;
    }

    std::vector<TItem> Array() {
        Expect('[');
        std::vector<TItem> items;
        if (Peek() == ']') {
            ++i_;
            return items;
        }
        do {
            TValue v = Peek() == '"' ? TValue(String()) : Number();
            if (auto* t = std::get_if<std::string>(&v))
                items.emplace_back(*t);
            else if (auto* n = std::get_if<int64_t>(&v))
                items.emplace_back(*n);
            else
                Fail();
        } while (Comma(']'));
        return items;
    }

    // JSON's number grammar; integers come back as int64_t, fractions as double.
    TValue Number() {
        size_t start = i_;
        if (Peek() == '-')
            ++i_;
        if (Peek() == '0') {
            ++i_;
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9')
                ++i_;
        } else {
            Fail();
        }
        bool fraction = false;
        if (Peek() == '.') {
            fraction = true;
            ++i_;
            if (!(Peek() >= '0' && Peek() <= '9'))
                Fail();
            while (Peek() >= '0' && Peek() <= '9')
                ++i_;
        }
        if (Peek() == 'e' || Peek() == 'E')
            Fail(); // the writer never uses exponents
        std::string text(s_.substr(start, i_ - start));
        if (fraction)
            return std::strtod(text.c_str(), nullptr);
        errno = 0;
        long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (errno)
            Fail();
        return int64_t(v);
    }

    unsigned Hex4() {
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = Peek();
            ++i_;
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= unsigned(c - 'A' + 10);
            else
                Fail();
        }
        return v;
    }

    // One UTF-8 character, strictly: shortest form, no surrogates, at most U+10FFFF.
    unsigned Utf8() {
        auto b = static_cast<unsigned char>(Peek());
        ++i_;
        if (b < 0x80)
            return b;
        int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (more < 0 || b > 0xF4)
            Fail();
        unsigned cp = b & (0x3F >> more);
        for (int k = 0; k < more; ++k) {
            auto c = static_cast<unsigned char>(Peek());
            ++i_;
            if ((c & 0xC0) != 0x80)
                Fail();
            cp = cp << 6 | (c & 0x3F);
        }
        static constexpr unsigned Least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < Least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            Fail();
        return cp;
    }

    // A string, given back as Latin-1: any character beyond U+00FF cannot have come from
    // receiver text and is a fault.
    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (i_ >= s_.size())
                Fail();
            auto b = static_cast<unsigned char>(s_[i_]);
            unsigned cp;
            if (b == '"') {
                ++i_;
                return out;
            } else if (b < 0x20) {
                Fail();
            }
            if (b == '\\') {
                ++i_;
                char e = Peek();
                ++i_;
                switch (e) {
                case '"':
                    cp = '"';
                    break;
                case '\\':
                    cp = '\\';
                    break;
                case '/':
                    cp = '/';
                    break;
                case 'b':
                    cp = '\b';
                    break;
                case 'f':
                    cp = '\f';
                    break;
                case 'n':
                    cp = '\n';
                    break;
                case 'r':
                    cp = '\r';
                    break;
                case 't':
                    cp = '\t';
                    break;
                case 'u':
                    cp = Hex4();
                    break;
                default:
                    Fail();
                    return out;
                }
            } else {
                cp = Utf8();
            }
            if (cp > 0xFF)
                Fail();
            out += static_cast<char>(cp);
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

// What "%.3f" means for a value: the reader's number lies within half a thousandth.
bool NearEnough(double put, double got) {
    return std::fabs(put - got) <= 0.0005 + std::fabs(put) * 1e-15;
}

bool Same(const TValue& put, const TValue& got) {
    if (auto* d = std::get_if<double>(&put)) {
        if (!std::isfinite(*d))
            return std::holds_alternative<TNull>(got);
        // "0.000" and the like come back as fractions, never as integers.
        auto* g = std::get_if<double>(&got);
        return g && NearEnough(*d, *g);
    }
    return put == got;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInput in{data, size};
    TJsonText json;
    json.Begin();
    std::vector<std::pair<std::string, TValue>> put;
    while (in.left) {
        uint8_t op = in.Byte();
        std::string key = in.Text();
        switch (op % 6) {
        case 0: {
            std::string text = in.Text();
            json.Field(key, std::string_view(text));
            put.emplace_back(key, text);
            break;
        }
        case 1: {
            auto v = in.Raw<int64_t>();
            json.Field(key, v);
            put.emplace_back(key, v);
            break;
        }
        case 2: {
            bool v = in.Byte() & 1;
            json.Field(key, v);
            put.emplace_back(key, v);
            break;
        }
        case 3: {
            auto v = in.Raw<double>();
            json.Field(key, v);
            put.emplace_back(key, v);
            break;
        }
        case 4:
            json.Null(key);
            put.emplace_back(key, TNull{});
            break;
        default: {
            json.BeginArray(key);
            std::vector<TItem> items;
            for (int n = in.Byte() % 8; n > 0 && in.left; --n) {
                if (in.Byte() & 1) {
                    std::string text = in.Text();
                    json.Item(std::string_view(text));
                    items.emplace_back(text);
                } else {
                    auto v = in.Raw<int64_t>();
                    json.Item(v);
                    items.emplace_back(v);
                }
            }
            json.EndArray();
            put.emplace_back(key, std::move(items));
        }
        }
    }
    std::string_view text = json.End();
    std::vector<std::pair<std::string, TValue>> got;
    TReader(text).Object(got);
    if (got.size() != put.size())
        abort();
    for (size_t k = 0; k < put.size(); ++k)
        if (got[k].first != put[k].first || !Same(put[k].second, got[k].second))
            abort();
    // Begin forgets the previous document whole.
    if (json.Begin().End() != "{}")
        abort();
    return 0;
}
