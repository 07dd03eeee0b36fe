#pragma once
// The one crossing between the program's GBK texts and Qt's strings.

#include <QString>
#include <string>
#include <string_view>

#include "text/encoding.h"

namespace yhz {

inline QString fromLocal(std::string_view gbkText) {
    return QString::fromStdString(localToUtf8(gbkText));
}

inline std::string toLocal(const QString& text) {
    return utf8ToLocal(text.toStdString());
}

// Object names and other identifiers are UTF-8 in the source.
inline QString fromName(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace yhz
