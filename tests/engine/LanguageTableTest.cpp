#include "engine/LanguageTable.h"
#include "tests/support/ProtocolMessages.h"

#include <gtest/gtest.h>

#include <string>

using namespace testsupport;

namespace {

void install(CLanguageTable& table, const Bytes& item) { table.install(item.data(), std::int32_t(item.size())); }

// Column of a built-in key in a recorder table.
constexpr int kSlotCamera = 20;
constexpr int kSlotWaitConnect = 30;
constexpr int kSlotEmptyTrack = 32;
constexpr int kSlotLast = 38;

} // namespace

TEST(LanguageTableBuiltin, GermanAndEnglishTexts) {
  CLanguageTable german(CLanguageTable::kGerman);
  CLanguageTable english(CLanguageTable::kEnglish);
  EXPECT_STREQ(german.lookup("waitconnect"), "Verbindungsaufbau...");
  EXPECT_STREQ(english.lookup("waitconnect"), "Connecting...");
  EXPECT_STREQ(german.lookup("picture"), "Bild");
  EXPECT_STREQ(english.lookup("picture"), "Frame");
  // Windows-1252 single bytes for the umlauts.
  EXPECT_STREQ(german.lookup("err_thread"), "Fehler w\xE4hrend der Initialisierung!");
  EXPECT_STREQ(german.lookup("zemerr_intern"), "Interner Ger\xE4tefehler!");
  EXPECT_STREQ(german.lookup("zemerr_trackerase"), "Die Spur wurde gel\xF6scht!");
  EXPECT_EQ(std::string(german.lookup("zemerr_lostpic")),
            std::string("Das Bild wurde ") + char(0xFC) + "berschrieben!");
  EXPECT_STREQ(english.lookup("zemerr_intern"), english.lookup("err_unknown"));
  EXPECT_STREQ(english.lookup("decompresserror"), "The decompression failed unexpected. Code:");
  EXPECT_EQ(german.languageIndex(), 0);
  EXPECT_EQ(english.languageIndex(), 1);
}

TEST(LanguageTableBuiltin, EveryKeyHasBothTexts) {
  CLanguageTable german(CLanguageTable::kGerman);
  CLanguageTable english(CLanguageTable::kEnglish);
  for (int row = 0; row < CLanguageTable::kBuiltinKeys; ++row) {
    const char* key = CLanguageTable::builtinKey(row);
    ASSERT_NE(key, nullptr);
    EXPECT_STRNE(german.lookup(key), "") << key;
    EXPECT_STRNE(english.lookup(key), "") << key;
    // The recorder key list puts the built-in keys in slots 20..38, in table order.
    EXPECT_STREQ(CLanguageTable::recorderKeySlot(20 + row), key);
  }
  EXPECT_STREQ(CLanguageTable::recorderKeySlot(0), "language");
  EXPECT_EQ(CLanguageTable::recorderKeySlot(1), nullptr);
  EXPECT_EQ(CLanguageTable::recorderKeySlot(39), nullptr);
}

TEST(LanguageTableBuiltin, KeysIgnoreCaseAndUnknownKeysAreEmpty) {
  CLanguageTable english(CLanguageTable::kEnglish);
  EXPECT_STREQ(english.lookup("CAMERA"), "Camera");
  EXPECT_STREQ(english.lookup("Err_Mem"), "No memory!");
  EXPECT_STREQ(english.lookup("zemerr_unknown"), "");
  EXPECT_STREQ(english.lookup("no such key"), "");
  EXPECT_STREQ(english.lookup("camer"), "");
  EXPECT_STREQ(english.lookup(nullptr), "");
}

TEST(LanguageTableBuiltin, SystemLanguageChosenOnFirstLookup) {
  CLanguageTable table;
  EXPECT_EQ(table.languageIndex(), -1);
  const std::string text = table.lookup("waitconnect");
  EXPECT_TRUE(text == "Connecting..." || text == "Verbindungsaufbau...");
  EXPECT_TRUE(table.languageIndex() == 0 || table.languageIndex() == 1);
}

TEST(LanguageTableErrors, CodesMapToKeys) {
  CLanguageTable english(CLanguageTable::kEnglish);
  EXPECT_STREQ(english.errorText(2000), "The track is empty!");
  EXPECT_STREQ(english.errorText(2004), "Picture could not be found!");
  EXPECT_STREQ(english.errorText(2005), "The track was erased!");
  EXPECT_STREQ(english.errorText(2006), "The picture has been overwritten!");
  EXPECT_STREQ(english.errorText(2012), "The first picture has been reached!");
  EXPECT_STREQ(english.errorText(2013), "The last picture has been reached!");
  for (int code : {2001, 2002, 2003, 2007, 2008, 2009, 2010, 2011, 2014})
    EXPECT_STREQ(CLanguageTable::errorKey(code), "zemerr_intern") << code;
  EXPECT_STREQ(english.errorText(2010), english.errorText(2001));
  for (int code : {1999, 2015, 0, -1, 12}) EXPECT_STREQ(english.errorText(code), "") << code;
}

TEST(LanguageTableRecorder, ThirtyNineColumnExample) {
  CLanguageTable table(CLanguageTable::kGerman);
  install(table,
          langItem(1, 2, 39, {{{1, kSlotWaitConnect}, "Recorder: connecting"}, {{0, kSlotWaitConnect}, "row 0"}}));
  ASSERT_TRUE(table.hasRecorderTable());
  EXPECT_EQ(table.languageIndex(), 1);
  EXPECT_EQ(table.rows(), 2);
  EXPECT_EQ(table.columns(), 39);
  EXPECT_STREQ(table.lookup("waitconnect"), "Recorder: connecting");
  EXPECT_STREQ(table.lookup("WAITCONNECT"), "Recorder: connecting");
  // Keys the recorder left empty are empty, not the built-in text.
  EXPECT_STREQ(table.lookup("camera"), "");
  EXPECT_STREQ(table.errorText(2000), "");
}

TEST(LanguageTableRecorder, HundredColumnsOnlyFirstSixtyTwoReachable) {
  CLanguageTable table(CLanguageTable::kEnglish);
  install(table, langItem(0, 1, 100,
                          {{{0, kSlotCamera}, "Cam"}, {{0, kSlotLast}, "Last!"}, {{0, 70}, "beyond"}, {{0, 0}, "de"}}));
  ASSERT_TRUE(table.hasRecorderTable());
  EXPECT_EQ(table.columns(), 100);
  EXPECT_STREQ(table.lookup("camera"), "Cam");
  EXPECT_STREQ(table.lookup("zemerr_last"), "Last!");
  EXPECT_STREQ(table.lookup("language"), "de");
  EXPECT_STREQ(table.errorText(2013), "Last!");
}

TEST(LanguageTableRecorder, FewColumnsHideLaterKeys) {
  CLanguageTable table(CLanguageTable::kEnglish);
  // 21 columns reach "camera" (slot 20) but not "waitconnect" (slot 30).
  install(table, langItem(0, 1, 21, {{{0, kSlotCamera}, "K"}}));
  EXPECT_STREQ(table.lookup("camera"), "K");
  EXPECT_STREQ(table.lookup("waitconnect"), "");
}

TEST(LanguageTableRecorder, LanguageIndexOutsideRowsGivesEmptyTexts) {
  CLanguageTable table(CLanguageTable::kEnglish);
  install(table, langItem(2, 2, 39, {{{0, kSlotCamera}, "a"}, {{1, kSlotCamera}, "b"}}));
  ASSERT_TRUE(table.hasRecorderTable());
  EXPECT_STREQ(table.lookup("camera"), "");
  install(table, langItem(-1, 2, 39, {{{0, kSlotCamera}, "a"}}));
  EXPECT_STREQ(table.lookup("camera"), "");
}

TEST(LanguageTableRecorder, BadOffsetsAndUnterminatedTextsStayEmpty) {
  CLanguageTable table(CLanguageTable::kEnglish);
  Bytes item = langItem(0, 1, 39, {{{0, kSlotCamera}, "ok"}});
  item.push_back('x'); // an unterminated text at the end of the item
  const std::int32_t length = std::int32_t(item.size());
  auto setEntry = [&](int column, std::int32_t offset) {
    Bytes word;
    appendInt32(word, offset);
    std::copy(word.begin(), word.end(), item.begin() + 12 + 4 * column);
  };
  setEntry(21, length);     // just past the item
  setEntry(22, -4);         // negative
  setEntry(23, length - 3); // inside "ok": the text "k"
  setEntry(24, length - 1); // the unterminated 'x'
  install(table, item);
  EXPECT_STREQ(table.lookup("camera"), "ok");
  EXPECT_STREQ(table.lookup("date"), "");
  EXPECT_STREQ(table.lookup("time"), "");
  EXPECT_STREQ(table.lookup("picture"), "k");
  EXPECT_STREQ(table.lookup("decompresserror"), "");
}

TEST(LanguageTableRecorder, EntriesBeyondTheItemStayEmpty) {
  CLanguageTable table(CLanguageTable::kEnglish);
  // Rows and columns claim far more entries than the item holds: accepted, but only entries
  // inside the item count, and nothing near rows x columns is allocated.
  Bytes item;
  appendInt32(item, 0);
  appendInt32(item, 1000);
  appendInt32(item, 1000);
  install(table, item);
  ASSERT_TRUE(table.hasRecorderTable());
  EXPECT_EQ(table.rows(), 1000);
  EXPECT_STREQ(table.lookup("camera"), "");
  EXPECT_LT(table.retainedBytes(), 4096u);
}

TEST(LanguageTableRecorder, MalformedItemsAreIgnored) {
  CLanguageTable table(CLanguageTable::kEnglish);
  install(table, langItem(0, 1, 39, {{{0, kSlotCamera}, "kept"}}));
  const auto header = [](std::int32_t index, std::int32_t rows, std::int32_t columns) {
    Bytes item;
    appendInt32(item, index);
    appendInt32(item, rows);
    appendInt32(item, columns);
    return item;
  };
  install(table, header(0, -1, 39));
  install(table, header(0, 1, -39));
  install(table, header(0, 0x10000, 0x10000)); // rows x columns overflows 32 bits
  install(table, header(0, 0x7FFFFFFF, 2));
  install(table, header(0, 0x1FFFFFFF, 1)); // 4 x entries + 12 overflows 32 bits
  Bytes shortItem = header(0, 1, 1);
  shortItem.resize(11);
  install(table, shortItem);
  table.install(nullptr, 100);
  EXPECT_STREQ(table.lookup("camera"), "kept");
  EXPECT_EQ(table.retainedTables(), 1);
}

TEST(LanguageTableRetention, RepeatedTablesAreHeldOnce) {
  CLanguageTable table(CLanguageTable::kEnglish);
  const Bytes german = langItem(0, 2, 39, {{{0, kSlotEmptyTrack}, "Spur leer"}, {{1, kSlotEmptyTrack}, "Empty"}});
  const Bytes english = langItem(1, 2, 39, {{{0, kSlotEmptyTrack}, "Spur leer"}, {{1, kSlotEmptyTrack}, "Empty"}});
  install(table, german);
  const char* posted = table.errorText(2000);
  for (int i = 0; i < 1000; ++i) install(table, i % 2 ? german : english);
  EXPECT_EQ(table.retainedTables(), 2);
  EXPECT_STREQ(table.errorText(2000), "Spur leer");
  // The text handed out first is still the same, still readable.
  EXPECT_EQ(table.errorText(2000), posted);
  EXPECT_STREQ(posted, "Spur leer");
}

TEST(LanguageTableRetention, DistinctTablesStopAtTheBudgetAndOldTextsStayValid) {
  CLanguageTable table(CLanguageTable::kEnglish);
  std::vector<const char*> handedOut;
  const std::string filler(8000, 'x');
  int accepted = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string text = std::to_string(i) + filler;
    install(table, langItem(0, 1, 39, {{{0, kSlotCamera}, text}}));
    const char* now = table.lookup("camera");
    if (std::string(now) == text) {
      ++accepted;
      handedOut.push_back(now);
    }
  }
  EXPECT_GT(accepted, 50);
  EXPECT_LT(accepted, 400); // the budget stopped it
  EXPECT_LE(table.retainedBytes(), CLanguageTable::kRetentionBudget);
  // The last accepted table stays in force; every text handed out is intact.
  EXPECT_EQ(std::string(table.lookup("camera")), std::to_string(accepted - 1) + filler);
  for (std::size_t i = 0; i < handedOut.size(); ++i) ASSERT_EQ(std::string(handedOut[i]), std::to_string(i) + filler);
}

TEST(LanguageTableRetention, DestroyReturnsToTheBuiltinTable) {
  CLanguageTable table(CLanguageTable::kEnglish);
  install(table, langItem(0, 1, 39, {{{0, kSlotCamera}, "C"}}));
  table.destroy();
  EXPECT_FALSE(table.hasRecorderTable());
  EXPECT_EQ(table.retainedTables(), 0);
  EXPECT_STREQ(table.lookup("camera"), "Camera");
}
