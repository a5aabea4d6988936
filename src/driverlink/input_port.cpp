#include "driverlink/input_port.h"

namespace dorvane {

std::optional<InputChoice> InputPort::Next() {
  std::optional<InputChoice> oldest;
  for (InputSource* source : sources_) {
    std::optional<InputChoice> choice = source->Oldest();
    if (choice && (!oldest || choice->key < oldest->key)) oldest = std::move(choice);
  }
  return oldest;
}

InputSource* InputPort::OwnerOf(const std::string& path) const {
  for (InputSource* source : sources_)
    if (source->Owns(path)) return source;
  return nullptr;
}

void InputPort::Taken(const Job& job) {
  if (InputSource* source = OwnerOf(job.input)) source->Took(job);
}

void InputPort::Settled(const Job& job) {
  if (InputSource* source = OwnerOf(job.input)) source->Settled(job);
}

}  // namespace dorvane
