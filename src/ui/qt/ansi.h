// Conversions between the core's Windows-1252 bytes and colours and Qt's types.
#pragma once

#include <string>

#include <QColor>
#include <QString>

#include "dispatch/controls.h"

namespace dorvane {

QString FromAnsi(const std::string& bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string ToAnsi(const QString& text);
// Model colours are 0x00BBGGRR.
QColor ToQColor(Colour colour);

}  // namespace dorvane
