#include "hosts/gateway/SmallFile.h"

#include <fstream>

namespace gateway {

SmallFileRead readSmallFile(const std::string& path, std::size_t maxBytes, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return SmallFileRead::Unreadable;
  // One byte more than allowed tells a file at the cap from a larger one.
  content.assign(maxBytes + 1, '\0');
  file.read(content.data(), std::streamsize(content.size()));
  if (file.bad()) return SmallFileRead::Unreadable;
  content.resize(std::size_t(file.gcount()));
  return content.size() > maxBytes ? SmallFileRead::TooLarge : SmallFileRead::Read;
}

} // namespace gateway
