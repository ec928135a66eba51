// Text arrives and is kept as 8-bit characters; Qt wants it as a QString of Latin-1.
#pragma once

#include <QString>
#include <string_view>

namespace corvane {

inline QString Latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

} // namespace corvane
