// The version resource (VERSIONINFO) that Explorer and the elevation prompt
// show for a program: a fixed part with the file and product versions as
// numbers, and a table of strings.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "image/image_bytes.h"

// The keys a publisher may set, in the order they are written.
extern const char* const VERSION_KEYS[8];
// A value longer than this (in UTF-16 units) is refused: together the eight
// still fit the 64 KiB that the resource's lengths can count.
constexpr std::size_t VERSION_VALUE_LIMIT = 1024;

using VersionStrings = std::vector<std::pair<std::string, std::u16string>>;

enum class VersionFault {
  None,
  Usage,  // an unknown key (or language), one without "=", one given twice
  Value,  // a value that is no text of this system, too long, or a version above 65535
};

// The "KEY=VALUE" arguments of an option (`option`, for the messages) into
// texts in the order of `keys`, each at most `limit` UTF-16 units; a fault
// comes with its reason. The one rule for --version-info and --text.
VersionFault ParseAssignments(const std::string& option, const std::vector<std::string>& keys,
                              std::size_t limit, const std::vector<std::string>& assignments,
                              VersionStrings& strings, std::string& why);

// "KEY=VALUE" arguments into strings, in the order of VERSION_KEYS; a fault
// comes with its reason.
VersionFault ParseVersionAssignments(const std::vector<std::string>& assignments, VersionStrings& strings,
                                     std::string& why);

// The resource: the fixed part with FileVersion and ProductVersion read
// from the dotted numbers their values begin with (0 where none), and one
// string table for U.S. English in UTF-16.
ImageBytes VersionResource(const VersionStrings& strings);

// The strings of a version resource, for showing; false when it is
// damaged.
bool ReadVersionStrings(const ImageBytes& resource,
                        std::vector<std::pair<std::u16string, std::u16string>>& strings);
