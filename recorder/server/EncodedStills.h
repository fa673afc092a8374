#pragma once
// Compressed still images, encoded once and shared by every connection that shows them.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace recorder {

class EncodedStills {
public:
  using Payload = std::shared_ptr<const std::vector<std::uint8_t>>;

  Payload find(std::size_t index) const;
  void store(std::size_t index, Payload payload);

private:
  mutable std::mutex mutex_;
  std::map<std::size_t, Payload> payloads_;
};

} // namespace recorder
