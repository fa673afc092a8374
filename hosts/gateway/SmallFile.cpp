#include "hosts/gateway/SmallFile.h"

#include <fstream>
#include <string>

namespace gateway {

bool readSmallFile(const std::string& path, std::size_t maxBytes, const char* what, std::string& content,
                   std::string& error) {
  const std::string name = std::string(what) + " file " + path;
  std::ifstream file(path, std::ios::binary);
  if (file) {
    // One byte more than allowed tells a file at the cap from a larger one.
    content.assign(maxBytes + 1, '\0');
    file.read(content.data(), std::streamsize(content.size()));
  }
  if (!file.is_open() || file.bad()) {
    error = "cannot read the " + name;
    return false;
  }
  content.resize(std::size_t(file.gcount()));
  if (content.size() > maxBytes) {
    error = "the " + name + " is larger than " + std::to_string(maxBytes / 1024) + " KiB";
    return false;
  }
  return true;
}

} // namespace gateway
