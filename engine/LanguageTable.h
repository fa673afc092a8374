#pragma once
// Every text the viewer shows, looked up by key: a built-in German/English table whose
// column follows the system language, until the recorder sends a table of its own in a
// "LANG" item. Texts are Windows-1252 bytes, NUL-terminated.
//
// Threads: install runs on the Receiver thread; lookup and errorText on any thread. A
// recorder table is built completely and then published with one atomic pointer store, so a
// lookup sees the old table or the new one, never a mixture.
//
// Retention: a text once returned may be held by the window side (its status text) or be
// in flight in a posted message, so no recorder table is freed before destroy(). To keep
// that from growing without bound, a "LANG" item equal to a table already held republishes
// that table instead of storing a copy (a recorder that repeats its table in every reply
// costs nothing), and all held tables together stay within kRetentionBudget bytes: a table
// that would exceed it is ignored and the one in force stays.
#include "engine/GrowableArray.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class CLanguageTable {
public:
  static constexpr int kGerman = 0;  // built-in column 0
  static constexpr int kEnglish = 1; // built-in column 1
  static constexpr int kBuiltinKeys = 19;
  static constexpr int kRecorderKeySlots = 62;
  static constexpr std::size_t kRetentionBudget = 1024 * 1024;

  // builtinLanguage: kGerman, kEnglish, or -1 to follow the system language (chosen at the
  // first lookup).
  explicit CLanguageTable(int builtinLanguage = -1);
  ~CLanguageTable();
  CLanguageTable(const CLanguageTable&) = delete;
  CLanguageTable& operator=(const CLanguageTable&) = delete;

  // The text of `key` (ASCII case ignored); never null, "" when no table holds the key.
  const char* lookup(const char* key) const;
  // The text for a recorder error code (2000..2014; any other code gives "").
  const char* errorText(std::int32_t code) const;
  static const char* errorKey(std::int32_t code);

  // Takes a recorder table from a "LANG" item's data (see the layout in the .cpp). Items
  // that are too short, have negative or overflowing rows x columns, or cannot be stored
  // are ignored; the table in force stays.
  void install(const std::uint8_t* data, std::int32_t length);

  // Frees every recorder table; afterwards the built-in table is in force again. Only when
  // no other thread uses the table any more (the viewer's destruction).
  void destroy();

  // The column (built-in) or row (recorder table) in use; -1 while not chosen.
  int languageIndex() const;
  bool hasRecorderTable() const { return current_.load(std::memory_order_acquire) != nullptr; }
  std::int32_t rows() const;    // of the recorder table in force, 0 without one
  std::int32_t columns() const; // likewise
  std::int32_t retainedTables() const { return retained_.count(); }
  std::size_t retainedBytes() const { return retainedBytes_; }

  // The built-in keys in table order, and the key list a recorder table's columns follow.
  static const char* builtinKey(int row);
  static const char* builtinText(int row, int language);
  static const char* recorderKeySlot(int slot); // nullptr for an empty slot

  struct RecorderTable;

private:
  int builtinLanguage() const;
  const RecorderTable* findRetained(const RecorderTable& candidate) const;

  mutable std::atomic<int> builtinLanguage_;
  std::atomic<const RecorderTable*> current_{nullptr};
  // Owned by the installing thread (and destroy): every table ever published.
  GrowableArray<RecorderTable*> retained_;
  std::size_t retainedBytes_ = 0;
};
