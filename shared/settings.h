// The settings store: the string values of one key (always
// "Software\RyvoWin") under the current user, shared by RyvoWin and the
// installer. On Windows it is the registry; the native build keeps it in
// memory (tests) or in files (the ryvo tool).
#pragma once

inline constexpr char kSettingsKey[] = "Software\\RyvoWin";

// Copies the text of value `name` into `buffer` (`size` bytes with the
// terminating zero). Returns 0 when found, -1 when the key or the value is
// missing or the value's own text does not fit; on -1 the buffer is empty.
// The name compares case-sensitively. Values enumerated before the wanted
// one never end the lookup, whatever their size.
int ReadSetting(char* buffer, int size, const char* key, const char* name);

// Stores `text` as the REG_SZ value `name`, creating the key if missing.
// Returns 0 on success, -1 on failure.
int WriteSetting(const char* text, const char* key, const char* name);
