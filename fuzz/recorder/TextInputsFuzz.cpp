// The recorder's text inputs: language table files and fault scripts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "recorder/faults/FaultScript.h"
#include "recorder/server/LanguageItem.h"
#include "base/LittleEndian.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  recorder::LanguageTable table;
  std::string error;
  if (recorder::parseLanguageText(text, table, error)) {
    const auto item = recorder::buildLanguageItem(table);
    // Every offset in the item points at a NUL-terminated text inside it.
    const std::uint32_t rows = le::readU32(item.data() + 4), columns = le::readU32(item.data() + 8);
    for (std::uint32_t i = 0; i < rows * columns; ++i) {
      const std::uint32_t offset = le::readU32(item.data() + 12 + 4 * i);
      if (offset >= item.size()) std::abort();
      bool terminated = false;
      for (std::size_t at = offset; at < item.size() && !terminated; ++at) terminated = item[at] == 0;
      if (!terminated) std::abort();
    }
  }
  recorder::toWindows1252(text);

  recorder::FaultScript script;
  if (script.parse(text, error))
    for (const recorder::FaultRule& rule : script.rules()) {
      recorder::FaultRule again;
      if (!recorder::parseFaultRule(rule.text(), again, error) || again.text() != rule.text())
        std::abort(); // a rule must survive being written back
    }
  return 0;
}
