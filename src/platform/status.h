// Result of an operation on the outside world: a number and a description,
// as the error message boxes show them ("description number").
#pragma once

#include <string>
#include <utility>

namespace dorvane {

// Error numbers in the system's run-time numbering, so messages read the same
// whatever platform produced them.
enum ErrorNumber : int {
  kErrNone = 0,
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrTypeMismatch = 13,
  kErrBadFileName = 52,
  kErrFileNotFound = 53,
  kErrFileAlreadyOpen = 55,
  kErrDeviceIo = 57,
  kErrDiskFull = 61,
  kErrInputPastEnd = 62,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrInvalidProperty = 380,
};

struct Status {
  int number = kErrNone;
  std::string description;

  bool ok() const { return number == kErrNone; }
  explicit operator bool() const { return ok(); }

  static Status Ok() { return {}; }
  static Status Error(int number, std::string description) { return {number, std::move(description)}; }
  // The run-time error with its standard description.
  static Status Of(int number);

  // "description number", as a message box shows it.
  std::string Message() const { return description + " " + std::to_string(number); }
};

// Standard description of a run-time error number (Italian, as the program's users read them).
std::string ErrorDescription(int number);

}  // namespace dorvane
