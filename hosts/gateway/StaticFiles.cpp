#include "hosts/gateway/StaticFiles.h"

#include "hosts/gateway/PageRequest.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

namespace gateway {

namespace {

bool readFile(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size < 0 || size > std::streamoff(kMaxStaticFileBytes)) return false;
  content.resize(std::size_t(size));
  file.seekg(0);
  return size == 0 || bool(file.read(content.data(), size));
}

// FNV-1a over the content and its size: an ETag needs to change with the content, not to
// resist anyone.
std::string etagOf(const std::string& content) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : content) hash = (hash ^ c) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "\"%016llx-%zx\"", static_cast<unsigned long long>(hash), content.size());
  return text;
}

} // namespace

int StaticFiles::load(const std::string& webRoot) {
  files_.clear();
  for (const char* name : staticFileNames()) {
    StaticFile file;
    if (!readFile(webRoot + "/" + name, file.content)) continue;
    file.type = staticFileType(name);
    file.etag = etagOf(file.content);
    files_.emplace(name, std::move(file));
  }
  return int(files_.size());
}

const StaticFile* StaticFiles::find(std::string_view name) const {
  const auto found = files_.find(name);
  return found == files_.end() ? nullptr : &found->second;
}

} // namespace gateway
