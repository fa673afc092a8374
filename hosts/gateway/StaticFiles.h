#pragma once
// The page's files (the viewer's script, the WebAssembly module and its loaders), read once
// when the gateway starts: requests are then answered from memory without touching the disk on
// the I/O thread, with an ETag so that browsers revalidate instead of downloading again.
#include <map>
#include <string>
#include <string_view>

namespace gateway {

constexpr std::size_t kMaxStaticFileBytes = 32u << 20;

struct StaticFile {
  std::string content;
  std::string type; // Content-Type
  std::string etag; // quoted, changes with the content
};

class StaticFiles {
public:
  // Reads every file of the page from `webRoot`; a file that is missing or too large is left
  // out (its requests are answered "not built"). Returns how many were read.
  int load(const std::string& webRoot);
  // The file of that name (without the leading '/'), or null.
  const StaticFile* find(std::string_view name) const;

private:
  std::map<std::string, StaticFile, std::less<>> files_;
};

} // namespace gateway
