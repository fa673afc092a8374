#pragma once
// Reading an operator's small file (secrets, settings) whole, never more than a cap: a file
// that is larger is refused rather than read in part or without bound.
#include <cstddef>
#include <string>

namespace gateway {

enum class SmallFileRead { Read, Unreadable, TooLarge };

SmallFileRead readSmallFile(const std::string& path, std::size_t maxBytes, std::string& content);

} // namespace gateway
