#include "recorder/server/PictureHeader.h"

#include <algorithm>
#include <cstring>

#include "base/LittleEndian.h"

namespace recorder {
namespace {

void putText(PictureHeaderBytes& header, HeaderField field, const std::string& text) {
  const std::size_t length = std::min(text.size(), field.size - 1);
  std::memcpy(header.data() + field.offset, text.data(), length);
  header[field.offset + length] = 0;
}

} // namespace

PictureHeaderBytes buildPictureHeader(const PictureHeaderFields& fields) {
  PictureHeaderBytes header{};
  putText(header, kHeaderDate, fields.date);
  putText(header, kHeaderTime, fields.time);
  putText(header, kHeaderShortText, fields.shortText);
  putText(header, kHeaderCamera, fields.camera);
  putText(header, kHeaderInfo, fields.info);
  putText(header, kHeaderNumber, fields.number);
  putText(header, kHeaderMark, fields.mark);
  header[kHeaderStandardOffset] = fields.standard576 ? 1 : 0;
  le::writeU32(header.data() + kHeaderLevelOffset, static_cast<std::uint32_t>(fields.level));
  return header;
}

std::string headerText(const PictureHeaderBytes& header, HeaderField field) {
  const char* start = reinterpret_cast<const char*>(header.data() + field.offset);
  const char* end = static_cast<const char*>(std::memchr(start, 0, field.size));
  return std::string(start, end ? end : start + field.size);
}

} // namespace recorder
