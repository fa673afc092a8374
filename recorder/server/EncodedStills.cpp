#include "recorder/server/EncodedStills.h"

namespace recorder {

EncodedStills::Payload EncodedStills::find(std::size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = payloads_.find(index);
  return found == payloads_.end() ? nullptr : found->second;
}

void EncodedStills::store(std::size_t index, Payload payload) {
  std::lock_guard<std::mutex> lock(mutex_);
  payloads_.emplace(index, std::move(payload));
}

} // namespace recorder
