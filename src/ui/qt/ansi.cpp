#include "ui/qt/ansi.h"

#include "text/text.h"

namespace dorvane {

QString FromAnsi(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) text.append(QChar(static_cast<char16_t>(AnsiToUnicode(static_cast<unsigned char>(c)))));
  return text;
}

std::string ToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar qc : text) {
    char b = '?';
    if (!UnicodeToAnsi(qc.unicode(), b)) b = '?';
    bytes += b;
  }
  return bytes;
}

QColor ToQColor(Colour colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

}  // namespace dorvane
