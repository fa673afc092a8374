// The control's saved properties as a container hands them back: version, extent, the
// three properties (numbers, numbers, a text), in the order the control reads them. Whatever
// the bytes, reading stays inside them and allocates at most the bounded text; and what was
// read, written again, gives back exactly the bytes it was read from.
#include "hosts/activex/olecontrol/PropertyStream.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  olecontrol::MemorySource source(data, size);
  olecontrol::MemorySink echo;
  for (int number = 0; number < 5; ++number) { // _Version, _ExtentX, _ExtentY, ConnectionID, Port
    std::int32_t value = 0;
    if (!olecontrol::readNumber(source, value)) return 0;
    olecontrol::writeNumber(echo, value);
  }
  std::u16string text;
  if (!olecontrol::readText(source, text)) return 0;
  if (text.size() > olecontrol::kMaxTextUnits) std::abort();
  olecontrol::writeText(echo, text);
  const std::size_t consumed = size - source.remaining();
  if (echo.bytes.size() != consumed || std::memcmp(echo.bytes.data(), data, consumed) != 0) std::abort();
  return 0;
}
