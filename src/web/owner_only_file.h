// Whole-file reads and writes for the door's files in the data folder. The
// token file holds what lets a program print receipts, so it is written
// readable by its owner only; a file is always replaced in one step, so a
// reader sees either the old bytes or the new ones, never a half.
#pragma once

#include <string>

namespace dorvane::web {

// Writes bytes to path so that only the current user can read them: a
// temporary file beside it, restricted from its creation on, flushed and
// renamed over path. On failure path is unchanged and error says why.
bool WriteOwnerOnly(const std::string& path, const std::string& bytes, std::string& error);

// The file at path can be read by its owner only (Linux: no group or other
// permission bits; Windows: a protected DACL that allows the current user
// and nobody else).
bool OwnerOnly(const std::string& path);

// The same one-step replacement with the folder's ordinary permissions.
bool WriteReplacing(const std::string& path, const std::string& bytes, std::string& error);

// Reads the whole file; a missing file (or folder) is exists = false and
// true. The file may be replaced while it is read (Windows: shared for delete).
bool ReadFileBytes(const std::string& path, std::string& bytes, bool& exists, std::string& error);

}  // namespace dorvane::web
