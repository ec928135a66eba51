#include "mqtt/StationLine.h"

#include "util/IsoTime.h"

namespace corvane {

std::string_view MessageFaultName(TMessageFault fault) {
    switch (fault) {
    case TMessageFault::None:
        return "none";
    case TMessageFault::TooLong:
        return "too long";
    case TMessageFault::BadUtf8:
        return "invalid UTF-8";
    case TMessageFault::BadJson:
        return "invalid JSON";
    case TMessageFault::NoLine:
        return "no line";
    }
    return "";
}

namespace {

// Objects and arrays inside the message's own object; a station writes none.
constexpr int kMaxDepth = 8;

// One UTF-8 character from s at i: its code point, or -1 for a byte sequence that is no
// character (overlong forms, surrogates and values past U+10FFFF among them).
int32_t NextUtf8(std::string_view s, size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80)
        return lead;
    int more = 0;
    int32_t cp = 0;
    int32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, cp = lead & 0x07, least = 0x10000;
    } else {
        return -1;
    }
    for (int k = 0; k < more; ++k) {
        if (i >= s.size())
            return -1;
        const auto c = static_cast<unsigned char>(s[i++]);
        if ((c & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    return cp;
}

class TReader {
public:
    TReader(std::string_view s, std::string& key, std::string& time)
        : s_(s), key_(key), time_(time) {}

    TMessageFault Read(TStationLine& out) {
        out.Line.clear();
        out.Conn.clear();
        out.HasTime = false;
        bool hasLine = false;
        Blank();
        if (!Take('{'))
            return Fail(TMessageFault::BadJson);
        Blank();
        if (!Take('}')) {
            do {
                Blank();
                if (!String(&key_) || (Blank(), !Take(':')))
                    return Fail(TMessageFault::BadJson);
                Blank();
                if (!Field(out, hasLine))
                    return Fail(fault_);
                Blank();
            } while (Take(','));
            if (!Take('}'))
                return Fail(TMessageFault::BadJson);
        }
        Blank();
        if (i_ != s_.size())
            return Fail(TMessageFault::BadJson);
        if (!hasLine)
            return TMessageFault::NoLine;
        return out.Line.size() > kMaxStationLine ? TMessageFault::TooLong : TMessageFault::None;
    }

private:
    bool Field(TStationLine& out, bool& hasLine) {
        if (key_ == "line" && Peek() == '"') {
            hasLine = true;
            return String(&out.Line);
        }
        if (key_ == "conn" && Peek() == '"')
            return String(&out.Conn);
        if (key_ == "time" && Peek() == '"') {
            if (!String(&time_))
                return false;
            out.HasTime = ParseIsoTime(time_, out.Wall);
            return true;
        }
        return Value(0);
    }

    // Any JSON value, thrown away.
    bool Value(int depth) {
        if (depth > kMaxDepth)
            return Bad(TMessageFault::BadJson);
        const char c = Peek();
        if (c == '"')
            return String(nullptr);
        if (c == '{' || c == '[')
            return Nested(depth);
        if (c == '-' || (c >= '0' && c <= '9'))
            return Number();
        for (std::string_view word : {"true", "false", "null"})
            if (s_.substr(i_, word.size()) == word) {
                i_ += word.size();
                return true;
            }
        return Bad(TMessageFault::BadJson);
    }

    bool Nested(int depth) {
        const char close = Peek() == '{' ? '}' : ']';
        ++i_;
        Blank();
        if (Take(close))
            return true;
        do {
            Blank();
            if (close == '}' && (!String(nullptr) || (Blank(), !Take(':'))))
                return Bad(TMessageFault::BadJson);
            Blank();
            if (!Value(depth + 1))
                return false;
            Blank();
        } while (Take(','));
        return Take(close) || Bad(TMessageFault::BadJson);
    }

    bool Number() {
        Take('-');
        if (!Digits())
            return Bad(TMessageFault::BadJson);
        if (Take('.') && !Digits())
            return Bad(TMessageFault::BadJson);
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return Bad(TMessageFault::BadJson);
        }
        return true;
    }

    bool Digits() {
        const size_t start = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')
            ++i_;
        return i_ > start;
    }

    // A JSON string into out as Latin-1 (null: only checked). A character above U+00FF in a
    // text that is kept is no receiver's text.
    bool String(std::string* out) {
        if (!Take('"'))
            return Bad(TMessageFault::BadJson);
        if (out)
            out->clear();
        for (;;) {
            if (i_ >= s_.size())
                return Bad(TMessageFault::BadJson);
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20)
                return Bad(TMessageFault::BadJson);
            int32_t cp;
            if (c == '\\') {
                cp = Escape();
                if (cp == -2)
                    return Bad(TMessageFault::BadJson);
            } else {
                cp = NextUtf8(s_, i_);
            }
            if (cp < 0)
                return Bad(TMessageFault::BadUtf8);
            if (out) {
                if (cp > 0xFF)
                    return Bad(TMessageFault::BadUtf8);
                if (out->size() > kMaxStationLine)
                    return Bad(TMessageFault::TooLong);
                out->push_back(char(cp));
            }
        }
    }

    // After a backslash: the character, -1 for a surrogate that pairs with nothing, -2 for no
    // escape at all.
    int32_t Escape() {
        ++i_;
        if (i_ >= s_.size())
            return -2;
        switch (s_[i_++]) {
        case '"':
            return '"';
        case '\\':
            return '\\';
        case '/':
            return '/';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'u':
            break;
        default:
            return -2;
        }
        const int32_t first = Hex4();
        if (first < 0 || first < 0xD800 || first > 0xDFFF)
            return first < 0 ? -2 : first;
        if (first > 0xDBFF || s_.substr(i_, 2) != "\\u")
            return -1;
        i_ += 2;
        const int32_t second = Hex4();
        if (second < 0)
            return -2;
        if (second < 0xDC00 || second > 0xDFFF)
            return -1;
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }

    int32_t Hex4() {
        if (s_.size() - i_ < 4)
            return -1;
        int32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0)
                return -1;
            v = v * 16 + d;
        }
        return v;
    }

    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    bool Take(char c) {
        if (Peek() != c || i_ >= s_.size())
            return false;
        ++i_;
        return true;
    }
    void Blank() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool Bad(TMessageFault fault) {
        if (fault_ == TMessageFault::None)
            fault_ = fault;
        return false;
    }
    TMessageFault Fail(TMessageFault fallback) {
        return fault_ != TMessageFault::None ? fault_ : fallback;
    }

    std::string_view s_;
    size_t i_ = 0;
    TMessageFault fault_ = TMessageFault::None;
    std::string& key_;
    std::string& time_;
};

} // namespace

TMessageFault ParseStationLine(std::string_view payload, TStationLine& out) {
    if (payload.size() > kMaxLineMessage)
        return TMessageFault::TooLong;
    // The key and time texts keep their room from message to message.
    thread_local std::string key;
    thread_local std::string time;
    TReader reader(payload, key, time);
    return reader.Read(out);
}

} // namespace corvane
