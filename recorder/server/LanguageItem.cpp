#include "recorder/server/LanguageItem.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/LanguageTable.h"
#include "base/LittleEndian.h"

namespace recorder {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Code points 0x80..0x9F of Windows-1252.
constexpr char32_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toCp1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == codePoint && codePoint != 0) return static_cast<char>(0x80 + i);
  return '?';
}

} // namespace

// The key slots and the built-in texts are the viewer's own (engine/LanguageTable.h), so the
// tables this recorder sends always match what the viewer looks up.
std::string_view languageSlotKey(int slot) {
  const char* key = CLanguageTable::recorderKeySlot(slot);
  return key != nullptr ? std::string_view(key) : std::string_view();
}

int languageSlotOf(std::string_view key) {
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    const std::string_view slotKey = languageSlotKey(slot);
    if (!slotKey.empty() && equalsIgnoringCase(slotKey, key)) return slot;
  }
  return -1;
}

LanguageTable builtInLanguageTable(bool german) {
  LanguageTable table;
  table.languageIndex = german ? 0 : 1;
  table.rows.resize(2);
  table.rows[0][0] = "Deutsch";
  table.rows[1][0] = "English";
  for (int row = 0; row < CLanguageTable::kBuiltinKeys; ++row) {
    const int slot = languageSlotOf(CLanguageTable::builtinKey(row));
    table.rows[0][slot] = CLanguageTable::builtinText(row, CLanguageTable::kGerman);
    table.rows[1][slot] = CLanguageTable::builtinText(row, CLanguageTable::kEnglish);
  }
  return table;
}

std::vector<std::uint8_t> buildLanguageItem(const LanguageTable& table) {
  int columns = 0;
  for (const auto& row : table.rows)
    for (int slot = 0; slot < kLanguageSlots; ++slot)
      if (!row[slot].empty()) columns = std::max(columns, slot + 1);
  const std::size_t rows = table.rows.size();
  const std::size_t offsetsEnd = 12 + 4 * rows * static_cast<std::size_t>(columns);
  std::vector<std::uint8_t> item(offsetsEnd);
  le::writeU32(item.data(), static_cast<std::uint32_t>(table.languageIndex));
  le::writeU32(item.data() + 4, static_cast<std::uint32_t>(rows));
  le::writeU32(item.data() + 8, static_cast<std::uint32_t>(columns));

  std::map<std::string, std::uint32_t> written;
  // Every entry needs an offset; an empty text points at a shared empty string.
  for (std::size_t r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const std::string& text = table.rows[r][c];
      auto found = written.find(text);
      if (found == written.end()) {
        found = written.emplace(text, static_cast<std::uint32_t>(item.size())).first;
        item.insert(item.end(), text.begin(), text.end());
        item.push_back(0);
      }
      le::writeU32(item.data() + 12 + 4 * (r * static_cast<std::size_t>(columns) + c), found->second);
    }
  }
  return item;
}

std::string toWindows1252(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t codePoint = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      codePoint = lead & 0x07;
    } else if (lead >= 0xE0) {
      extra = 2;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      codePoint = lead & 0x1F;
    } else if (lead >= 0x80) {
      return std::string(text); // not UTF-8: already single-byte text
    }
    if (i + static_cast<std::size_t>(extra) >= text.size()) return std::string(text); // a sequence cut off at the end
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return std::string(text);
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    out.push_back(toCp1252(codePoint));
    i += 1 + static_cast<std::size_t>(extra);
  }
  return out;
}

bool parseLanguageText(std::string_view text, LanguageTable& table, std::string& error) {
  LanguageTable result;
  std::string use;
  int lineNumber = 0;
  std::size_t position = 0;
  while (position <= text.size()) {
    const std::size_t end = std::min(text.find('\n', position), text.size());
    const std::string_view line = trim(text.substr(position, end - position));
    position = end + 1;
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line.front() == '[') {
      if (line.back() != ']') {
        error = where + "a row name is written as [name]";
        return false;
      }
      result.rows.emplace_back();
      result.rows.back()[0] = toWindows1252(trim(line.substr(1, line.size() - 2)));
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      error = where + "expected key = text";
      return false;
    }
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    if (equalsIgnoringCase(key, "use")) {
      use = std::string(value);
      continue;
    }
    const int slot = languageSlotOf(key);
    if (slot < 0) {
      error = where + "unknown key '" + std::string(key) + "'";
      return false;
    }
    if (result.rows.empty()) {
      error = where + "texts must follow a [row name]";
      return false;
    }
    result.rows.back()[static_cast<std::size_t>(slot)] = toWindows1252(value);
  }
  if (result.rows.empty()) {
    error = "no rows: start each language with [name]";
    return false;
  }
  if (!use.empty()) {
    result.languageIndex = -1;
    const std::string wanted = toWindows1252(use);
    for (std::size_t r = 0; r < result.rows.size(); ++r)
      if (equalsIgnoringCase(result.rows[r][0], wanted)) result.languageIndex = static_cast<std::int32_t>(r);
    if (result.languageIndex < 0) {
      const bool digits = std::all_of(use.begin(), use.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (!digits || use.size() > 4 || std::stoi(use) >= static_cast<int>(result.rows.size())) {
        error = "use = " + use + ": no such row";
        return false;
      }
      result.languageIndex = std::stoi(use);
    }
  }
  table = std::move(result);
  return true;
}

bool loadLanguageFile(const std::string& path, LanguageTable& table, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::stringstream content;
  content << file.rdbuf();
  if (!parseLanguageText(content.str(), table, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

} // namespace recorder
