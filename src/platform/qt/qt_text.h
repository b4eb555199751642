// The launcher's UTF-16 texts as Qt strings and back, code unit for code
// unit: both hold UTF-16, so nothing is converted or normalised.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace spc::qt {

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

}  // namespace spc::qt
