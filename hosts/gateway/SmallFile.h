#pragma once
// Reading an operator's small file (secrets, settings) whole, never more than a cap: a file
// that is larger is refused rather than read in part or without bound.
#include <cstddef>
#include <string>

namespace gateway {

// Reads the file at `path` into `content`. False, with `error` naming the file as "the WHAT
// file" (`what`: "config", "secret"), when it cannot be read or holds more than maxBytes.
bool readSmallFile(const std::string& path, std::size_t maxBytes, const char* what, std::string& content,
                   std::string& error);

} // namespace gateway
