// The texts of SETUP.EXE's window and boxes, which a publisher gives in
// their users' language: built-in sets (--language) and single texts
// (--text KEY=VALUE), written into SETUP.EXE's string table and read back
// by verify.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/image_bytes.h"
#include "image/version_info.h"

constexpr std::uint16_t RT_STRING_ID = 6;

// The keys, in the order of their numbers in the string table (1 to 7).
extern const char* const TEXT_KEYS[7];
// The languages with a built-in set; "de" is the preloader's own texts.
extern const char* const TEXT_LANGUAGES[7];
constexpr std::size_t TEXT_VALUE_LIMIT = 1024;

// Numbers in the string table and their texts.
using PreloaderTexts = std::vector<std::pair<std::uint16_t, std::u16string>>;

// The set of `language` (empty or "de": none, the preloader keeps its own),
// then each "KEY=VALUE" over it. A fault comes with its reason: an unknown
// language or key, one without "=", one given twice (Usage); a value that
// is no text of this system or too long (Value).
VersionFault ParseTexts(const std::string& language, const std::vector<std::string>& assignments,
                        PreloaderTexts& texts, std::string& why);

// The string table's first block (numbers 0 to 15) with `texts` put over
// those of `block` (a block as the table holds it, or empty).
ImageBytes StringBlockWith(const ImageBytes& block, const PreloaderTexts& texts);

// The keyed texts a block holds, for showing; false when it is damaged.
bool ReadTexts(const ImageBytes& block, std::vector<std::pair<std::string, std::u16string>>& texts);
