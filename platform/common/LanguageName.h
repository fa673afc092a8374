#pragma once
// Maps a language or locale name to a primary language id, shared by both systems.

namespace platform::detail {

// "de", "de_DE.UTF-8", "Deutsch" ... give the German id; any other non-empty name the
// English one. Null or empty gives 0 (no choice: ask the next source).
int languageFromName(const char* name);

} // namespace platform::detail
