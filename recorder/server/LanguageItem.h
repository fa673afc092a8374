#pragma once
// The text table a recorder may send in a "LANG" item: rows of texts (one row per
// language), each row holding one text per key slot; the item's language index tells the
// viewer which row to use.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace recorder {

constexpr int kLanguageSlots = 62;

// The key of each slot: slot 0 "language", slots 20 to 38 the status and label keys; the
// other slots have no key (empty).
std::string_view languageSlotKey(int slot);
// The slot of a key (compared without regard to ASCII case), or -1.
int languageSlotOf(std::string_view key);

struct LanguageTable {
  using Row = std::array<std::string, kLanguageSlots>; // texts in Windows-1252, "" = no text
  std::int32_t languageIndex = 0;
  std::vector<Row> rows;
};

// Two rows, German (row 0) and English (row 1), with the viewer's status texts; the
// language index picks one of them.
LanguageTable builtInLanguageTable(bool german);

// The item data: language index, rows, columns (the highest used slot + 1), the offset
// table and the NUL-terminated texts. Texts equal to one already written share it.
std::vector<std::uint8_t> buildLanguageItem(const LanguageTable& table);

// Reads a table from a text file:
//   # comment
//   [Deutsch]              starts a row; its name is the text of slot "language"
//   camera = Kamera        key = text (keys as listed in --help)
//   use = Deutsch          which row the viewer shows (a row name or index; default row 0)
// Texts are UTF-8 (converted to Windows-1252, '?' for what it cannot hold) or already
// single-byte. False with a message naming the line on any error.
bool parseLanguageText(std::string_view text, LanguageTable& table, std::string& error);
bool loadLanguageFile(const std::string& path, LanguageTable& table, std::string& error);

// UTF-8 to Windows-1252; input that is not valid UTF-8 is taken as single-byte text already.
std::string toWindows1252(std::string_view text);

} // namespace recorder
