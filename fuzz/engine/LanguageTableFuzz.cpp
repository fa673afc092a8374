// Arbitrary bytes as "LANG" item data: installed twice (the second time finds the held
// table), then every key and error code is looked up and read to its end.
#include "engine/LanguageTable.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > std::size_t(std::numeric_limits<std::int32_t>::max())) return 0;
  // An exact-size copy, so that any read past the item is caught.
  const std::vector<std::uint8_t> item(data, data + size);
  CLanguageTable table(CLanguageTable::kGerman);
  table.install(item.data(), std::int32_t(size));
  table.install(item.data(), std::int32_t(size));
  std::size_t total = 0;
  for (int row = 0; row < CLanguageTable::kBuiltinKeys; ++row)
    total += std::strlen(table.lookup(CLanguageTable::builtinKey(row)));
  total += std::strlen(table.lookup("language"));
  for (int code = 1998; code <= 2016; ++code) total += std::strlen(table.errorText(code));
  if (table.retainedBytes() > CLanguageTable::kRetentionBudget) __builtin_trap();
  return total == std::size_t(-1);
}
