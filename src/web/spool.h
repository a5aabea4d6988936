// The HTTP door's spool: receipts put by key wait here, in DORVANE's data
// folder, until the engine takes them; a second source of the input port
// beside the input folder. Each receipt is one file, written whole
// (temporary name, flush, rename, folder flushed) before the caller hears
// 202, and named after its layout and its key, so that the file alone says
// whose it is after a crash: "R<layout>-<key in hex>.txt". The engine
// deletes it, like any input, once the job's records are durable.
//
// The door's thread puts, the engine's thread takes: every call locks.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "driverlink/input_port.h"
#include "platform/filesystem.h"

namespace dorvane::web {

inline constexpr const char* kSpoolFolderName = "DORVWEB-CODA";

// "sarema", "fasyvola", "itineris": the words the API and the ledger use.
const char* LayoutWord(InputLayout layout);
std::optional<InputLayout> LayoutOfWord(const std::string& word);

class Spool : public InputSource {
 public:
  Spool(FileSystem& fs, std::string dataDir);

  // Before the door answers anyone: the folder made when missing, the
  // receipts an earlier run left read back, half-written ones removed.
  Status Load();
  // Writes the receipt; returns once it is durable.
  Status Put(const std::string& requestKey, InputLayout layout, const std::string& bytes);
  // The receipt waiting under this key, if any: its path and layout.
  struct Waiting {
    std::string path;
    InputLayout layout = InputLayout::kSarema;
  };
  std::optional<Waiting> Find(const std::string& requestKey);
  std::map<std::string, Waiting> All();
  // A key whose receipt must never be offered again (it was settled).
  void Settle(const std::string& requestKey);

  const std::string& Folder() const { return folder_; }

  std::optional<InputChoice> Oldest() override;
  bool Owns(const std::string& path) const override;
  void Settled(const Job& job) override;

 private:
  struct Entry {
    std::string path, timeKey;
    InputLayout layout = InputLayout::kSarema;
    std::uint64_t order = 0;  // put order: ties on the time key
  };
  // The entry of a spool file's name; false for any other name.
  static bool ParseName(const std::string& name, std::string& requestKey, InputLayout& layout);
  std::string TimeKey(const std::string& path);

  FileSystem& fs_;
  const std::string folder_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;  // by request key
  std::uint64_t puts_ = 0;
};

}  // namespace dorvane::web
