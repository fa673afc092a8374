#include "engine/LanguageTable.h"

#include "base/LittleEndian.h"
#include "platform/Language.h"

#include <cstring>
#include <limits>
#include <new>

// "LANG" item data, int32 little-endian, offsets from the first data byte:
//   0 language index (the row to use), 4 rows, 8 columns,
//   12 rows x columns text offsets, row-major: entry (r, c) at 12 + 4 * (r * columns + c),
//   then NUL-terminated texts anywhere in the item.
// Only row `language index` and its first 62 columns can ever be looked up, so only those
// texts are kept: a table costs at most 62 pointers plus its texts, whatever rows and
// columns claim.
struct CLanguageTable::RecorderTable {
  std::int32_t languageIndex = 0;
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  std::int32_t slotCount = 0; // min(columns, 62)
  const char* texts[kRecorderKeySlots] = {};
  char* storage = nullptr; // the texts, back to back
  std::size_t bytes = 0;   // what this table counts against the retention budget

  ~RecorderTable() { delete[] storage; }
};

namespace {

constexpr std::int32_t kLangHeaderSize = 12;
const char kEmptyText[] = "";

bool equalsIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a);
    unsigned char cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

bool sameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

} // namespace

CLanguageTable::CLanguageTable(int builtinLanguage)
    : builtinLanguage_(builtinLanguage == kGerman || builtinLanguage == kEnglish ? builtinLanguage : -1) {}

CLanguageTable::~CLanguageTable() { destroy(); }

int CLanguageTable::builtinLanguage() const {
  int language = builtinLanguage_.load(std::memory_order_acquire);
  if (language < 0) {
    const int chosen = platform::systemPrimaryLanguage() == platform::kLanguageGerman ? kGerman : kEnglish;
    // Several threads may choose at once; they all choose the same, the first store wins.
    builtinLanguage_.compare_exchange_strong(language, chosen, std::memory_order_acq_rel);
    language = builtinLanguage_.load(std::memory_order_acquire);
  }
  return language;
}

int CLanguageTable::languageIndex() const {
  if (const RecorderTable* table = current_.load(std::memory_order_acquire)) return table->languageIndex;
  return builtinLanguage_.load(std::memory_order_acquire);
}

std::int32_t CLanguageTable::rows() const {
  const RecorderTable* table = current_.load(std::memory_order_acquire);
  return table ? table->rows : 0;
}

std::int32_t CLanguageTable::columns() const {
  const RecorderTable* table = current_.load(std::memory_order_acquire);
  return table ? table->columns : 0;
}

const char* CLanguageTable::lookup(const char* key) const {
  if (!key) return kEmptyText;
  const RecorderTable* table = current_.load(std::memory_order_acquire);
  if (!table) {
    const int language = builtinLanguage();
    for (int row = 0; row < kBuiltinKeys; ++row) {
      if (equalsIgnoringAsciiCase(builtinKey(row), key)) return builtinText(row, language);
    }
    return kEmptyText;
  }
  for (int slot = 0; slot < table->slotCount; ++slot) {
    const char* slotKey = recorderKeySlot(slot);
    if (slotKey && equalsIgnoringAsciiCase(slotKey, key)) {
      return table->texts[slot] ? table->texts[slot] : kEmptyText;
    }
  }
  return kEmptyText;
}

const char* CLanguageTable::errorText(std::int32_t code) const { return lookup(errorKey(code)); }

const CLanguageTable::RecorderTable* CLanguageTable::findRetained(const RecorderTable& candidate) const {
  for (std::int32_t i = 0; i < retained_.count(); ++i) {
    const RecorderTable& held = *retained_[i];
    if (held.languageIndex != candidate.languageIndex || held.rows != candidate.rows ||
        held.columns != candidate.columns || held.slotCount != candidate.slotCount)
      continue;
    bool same = true;
    for (int slot = 0; slot < candidate.slotCount && same; ++slot)
      same = sameText(held.texts[slot], candidate.texts[slot]);
    if (same) return &held;
  }
  return nullptr;
}

void CLanguageTable::install(const std::uint8_t* data, std::int32_t length) {
  if (!data || length < kLangHeaderSize) return;
  RecorderTable candidate;
  candidate.languageIndex = le::readI32(data);
  candidate.rows = le::readI32(data + 4);
  candidate.columns = le::readI32(data + 8);
  if (candidate.rows < 0 || candidate.columns < 0) return;
  const std::int64_t entries = std::int64_t(candidate.rows) * candidate.columns;
  if (entries > (std::numeric_limits<std::int32_t>::max() - kLangHeaderSize) / 4) return;
  candidate.slotCount = candidate.columns < kRecorderKeySlots ? candidate.columns : kRecorderKeySlots;

  // Find the row's texts inside the item; entries and texts that do not lie wholly inside
  // it stay empty. The candidate points into the item until the texts are copied.
  std::size_t textBytes = 0;
  const bool rowExists = candidate.languageIndex >= 0 && candidate.languageIndex < candidate.rows;
  for (int slot = 0; rowExists && slot < candidate.slotCount; ++slot) {
    const std::int64_t entry = kLangHeaderSize + 4 * (std::int64_t(candidate.languageIndex) * candidate.columns + slot);
    if (entry + 4 > length) continue;
    const std::int32_t offset = le::readI32(data + entry);
    if (offset < 0 || offset >= length) continue;
    const void* terminator = std::memchr(data + offset, 0, std::size_t(length - offset));
    if (!terminator) continue;
    candidate.texts[slot] = reinterpret_cast<const char*>(data + offset);
    textBytes += std::size_t(static_cast<const std::uint8_t*>(terminator) - (data + offset)) + 1;
  }

  if (const RecorderTable* held = findRetained(candidate)) {
    current_.store(held, std::memory_order_release);
    return;
  }

  const std::size_t cost = sizeof(RecorderTable) + textBytes;
  if (retainedBytes_ + cost > kRetentionBudget) return;

  auto* table = new (std::nothrow) RecorderTable;
  if (!table) return;
  table->languageIndex = candidate.languageIndex;
  table->rows = candidate.rows;
  table->columns = candidate.columns;
  table->slotCount = candidate.slotCount;
  table->bytes = cost;
  if (textBytes > 0) {
    table->storage = new (std::nothrow) char[textBytes];
    if (!table->storage) {
      delete table;
      return;
    }
  }
  char* out = table->storage;
  for (int slot = 0; slot < candidate.slotCount; ++slot) {
    if (!candidate.texts[slot]) continue;
    const std::size_t size = std::strlen(candidate.texts[slot]) + 1;
    std::memcpy(out, candidate.texts[slot], size);
    table->texts[slot] = out;
    out += size;
  }
  if (!retained_.append(table)) {
    delete table;
    return;
  }
  retainedBytes_ += cost;
  current_.store(table, std::memory_order_release);
}

void CLanguageTable::destroy() {
  current_.store(nullptr, std::memory_order_release);
  for (std::int32_t i = 0; i < retained_.count(); ++i) delete retained_[i];
  retained_.clear();
  retainedBytes_ = 0;
}
