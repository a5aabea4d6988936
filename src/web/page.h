// DORVANE's own page, served by the HTTP door at "/": the state, the queue,
// the last receipts and today's counts, live. Everything it needs is here,
// built into the program; nothing is loaded from elsewhere.
#pragma once

#include <string_view>

namespace dorvane::web {

struct PageFile {
  std::string_view path;  // "/", "/dorvane.css", "/dorvane.js"
  std::string_view type;  // its Content-Type
  std::string_view body;
};

// The file served at path, or nullptr.
const PageFile* FindPageFile(std::string_view path);

}  // namespace dorvane::web
