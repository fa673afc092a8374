// The built-in status and label texts, the key list of recorder tables, and the recorder's
// error codes. Windows-1252 bytes; umlauts are written as escapes (split from the following
// letters so they cannot run into a longer escape).
#include "engine/LanguageTable.h"

namespace {

struct BuiltinRow {
  const char* key;
  const char* german;
  const char* english;
};

constexpr BuiltinRow kBuiltinRows[CLanguageTable::kBuiltinKeys] = {
    {"camera", "Kamera", "Camera"},
    {"date", "Datum", "Date"},
    {"time", "Zeit", "Time"},
    {"picture", "Bild", "Frame"},
    {"decompresserror",
     "Die Dekompression ist unerwartet gescheitert. Code:", "The decompression failed unexpected. Code:"},
    {"err_unknown", "Interner Fehler!", "Internal error!"},
    {"err_commclosed", "Die Kommunikation wurde vom Server beendet!", "Communications closed by server!"},
    {"err_socket", "Die Socketverbindung wurde wegen eines Fehlers beendet!",
     "The socket connection was closed due to an error!"},
    {"err_mem", "Kein Speicher!", "No memory!"},
    {"err_thread",
     "Fehler w\xE4"
     "hrend der Initialisierung!",
     "Error while initializing!"},
    {"waitconnect", "Verbindungsaufbau...", "Connecting..."},
    {"info_establish", "Die Verbindung wurde aufgebaut.", "Connection established."},
    {"zemerr_emptytrack", "Die Spur ist leer!", "The track is empty!"},
    {"zemerr_intern",
     "Interner Ger\xE4"
     "tefehler!",
     "Internal error!"},
    {"zemerr_notfound", "Bild konnte nicht gefunden werden!", "Picture could not be found!"},
    {"zemerr_trackerase",
     "Die Spur wurde gel\xF6"
     "scht!",
     "The track was erased!"},
    {"zemerr_lostpic",
     "Das Bild wurde \xFC"
     "berschrieben!",
     "The picture has been overwritten!"},
    {"zemerr_first", "Das erste Bild der Spur wurde erreicht!", "The first picture has been reached!"},
    {"zemerr_last", "Das letzte Bild der Spur wurde erreicht!", "The last picture has been reached!"},
};

// Columns of a recorder table follow these slots; slot 0 names the language and the
// built-in keys occupy slots 20 to 38.
constexpr int kFirstBuiltinSlot = 20;

} // namespace

const char* CLanguageTable::builtinKey(int row) {
  return row >= 0 && row < kBuiltinKeys ? kBuiltinRows[row].key : nullptr;
}

const char* CLanguageTable::builtinText(int row, int language) {
  if (row < 0 || row >= kBuiltinKeys) return nullptr;
  return language == kGerman ? kBuiltinRows[row].german : kBuiltinRows[row].english;
}

const char* CLanguageTable::recorderKeySlot(int slot) {
  if (slot == 0) return "language";
  if (slot >= kFirstBuiltinSlot && slot < kFirstBuiltinSlot + kBuiltinKeys)
    return kBuiltinRows[slot - kFirstBuiltinSlot].key;
  return nullptr;
}

const char* CLanguageTable::errorKey(std::int32_t code) {
  switch (code) {
  case 2000:
    return "zemerr_emptytrack";
  case 2004:
    return "zemerr_notfound";
  case 2005:
    return "zemerr_trackerase";
  case 2006:
    return "zemerr_lostpic";
  case 2012:
    return "zemerr_first";
  case 2013:
    return "zemerr_last";
  case 2001:
  case 2002:
  case 2003:
  case 2007:
  case 2008:
  case 2009:
  case 2010:
  case 2011:
  case 2014:
    return "zemerr_intern";
  default:
    return "zemerr_unknown";
  }
}
