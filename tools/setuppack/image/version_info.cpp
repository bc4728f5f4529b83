#include "image/version_info.h"

#include <functional>

#include "base/code_page.h"

const char* const VERSION_KEYS[8] = {"CompanyName",    "FileDescription",  "FileVersion", "InternalName",
                                     "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};

namespace {

constexpr std::uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
constexpr std::uint32_t FIXED_STRUCTURE_VERSION = 0x00010000;
constexpr std::uint32_t FIXED_FLAGS_MASK = 0x3F;
constexpr std::uint32_t OS_NT_WINDOWS32 = 0x00040004;
constexpr std::uint32_t TYPE_APPLICATION = 1;
constexpr std::size_t FIXED_SIZE = 52;
constexpr std::uint16_t LANGUAGE_US_ENGLISH = 0x0409;
constexpr std::uint16_t CODE_PAGE_UTF16 = 1200;
constexpr std::uint32_t TYPE_BINARY = 0, TYPE_TEXT = 1;

std::u16string Utf16Of(const char* ascii) {
  return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii));
}

// Up to four dotted numbers at the start of `value` as the two 32-bit
// halves of a fixed version; false when a number exceeds 65535.
bool DottedVersion(const std::u16string& value, std::uint32_t& high, std::uint32_t& low) {
  std::uint32_t parts[4] = {0, 0, 0, 0};
  std::size_t part = 0, at = 0;
  bool digits = false;
  while (at < value.size() && part < 4) {
    char16_t c = value[at];
    if (c >= u'0' && c <= u'9') {
      parts[part] = parts[part] * 10 + static_cast<std::uint32_t>(c - u'0');
      if (parts[part] > 0xFFFF) return false;
      digits = true;
    } else if (c == u'.' && digits && at + 1 < value.size() && value[at + 1] >= u'0' &&
               value[at + 1] <= u'9') {
      ++part;
      digits = false;
    } else {
      break;
    }
    ++at;
  }
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}

// One node: its length, value length and type, its key, padding, its
// value, padding, then its children; the length is filled in at the end.
void Node(ImageBytes& out, const std::u16string& key, std::uint32_t valueLength, std::uint32_t type,
          const std::function<void()>& value, const std::function<void()>& children) {
  const std::size_t start = out.size();
  Append16(out, 0);
  Append16(out, valueLength);
  Append16(out, type);
  for (char16_t c : key) Append16(out, c);
  Append16(out, 0);
  PadTo(out, 4);
  if (value) value();
  if (children) {
    PadTo(out, 4);
    children();
  }
  Put16(out, start, static_cast<std::uint32_t>(out.size() - start));
}

}  // namespace

VersionFault ParseAssignments(const std::string& option, const std::vector<std::string>& keys,
                              std::size_t limit, const std::vector<std::string>& assignments,
                              VersionStrings& strings, std::string& why) {
  strings.clear();
  std::vector<std::pair<std::string, std::u16string>> given(keys.size());
  std::vector<bool> set(keys.size(), false);
  for (const std::string& assignment : assignments) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
      why = option + " " + assignment + ": no \"=\"; give KEY=VALUE";
      return VersionFault::Usage;
    }
    const std::string key = assignment.substr(0, equals);
    std::size_t index = 0;
    while (index < keys.size() && key != keys[index]) ++index;
    if (index == keys.size()) {
      std::string known;
      for (const std::string& k : keys) known += (known.empty() ? "" : ", ") + k;
      why = option + ": unknown key \"" + key + "\"; the keys are " + known;
      return VersionFault::Usage;
    }
    if (set[index]) {
      why = option + ": " + key + " given twice";
      return VersionFault::Usage;
    }
    std::u16string value;
    if (!SystemTextToUtf16(assignment.substr(equals + 1), value)) {
      why = option + " " + key + ": the value is no text of this system";
      return VersionFault::Value;
    }
    if (value.size() > limit) {
      why = option + " " + key + ": " + std::to_string(value.size()) + " characters, more than the " +
            std::to_string(limit) + " it may have";
      return VersionFault::Value;
    }
    given[index] = {key, value};
    set[index] = true;
  }
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (set[i]) strings.push_back(given[i]);
  return VersionFault::None;
}

VersionFault ParseVersionAssignments(const std::vector<std::string>& assignments, VersionStrings& strings,
                                     std::string& why) {
  const VersionFault fault =
      ParseAssignments("--version-info", std::vector<std::string>(VERSION_KEYS, VERSION_KEYS + 8),
                       VERSION_VALUE_LIMIT, assignments, strings, why);
  if (fault != VersionFault::None) return fault;
  for (const auto& s : strings) {
    std::uint32_t high, low;
    if ((s.first == "FileVersion" || s.first == "ProductVersion") && !DottedVersion(s.second, high, low)) {
      why =
          "--version-info " + s.first + ": a number above 65535; a version holds four numbers of 0 to 65535";
      return VersionFault::Value;
    }
  }
  return VersionFault::None;
}

ImageBytes VersionResource(const VersionStrings& strings) {
  std::uint32_t fileHigh = 0, fileLow = 0, productHigh = 0, productLow = 0;
  for (const auto& s : strings) {
    if (s.first == "FileVersion") DottedVersion(s.second, fileHigh, fileLow);
    if (s.first == "ProductVersion") DottedVersion(s.second, productHigh, productLow);
  }
  ImageBytes out;
  Node(
      out, u"VS_VERSION_INFO", FIXED_SIZE, TYPE_BINARY,
      [&] {
        for (std::uint32_t field :
             {FIXED_SIGNATURE, FIXED_STRUCTURE_VERSION, fileHigh, fileLow, productHigh, productLow,
              FIXED_FLAGS_MASK, 0u, OS_NT_WINDOWS32, TYPE_APPLICATION, 0u, 0u, 0u})
          Append32(out, field);
      },
      [&] {
        Node(out, u"StringFileInfo", 0, TYPE_TEXT, nullptr, [&] {
          Node(out, u"040904B0", 0, TYPE_TEXT, nullptr, [&] {
            for (const auto& s : strings) {
              PadTo(out, 4);
              Node(
                  out, Utf16Of(s.first.c_str()), static_cast<std::uint32_t>(s.second.size() + 1), TYPE_TEXT,
                  [&] {
                    for (char16_t c : s.second) Append16(out, c);
                    Append16(out, 0);
                  },
                  nullptr);
            }
          });
        });
        PadTo(out, 4);
        Node(out, u"VarFileInfo", 0, TYPE_TEXT, nullptr, [&] {
          Node(
              out, u"Translation", 4, TYPE_BINARY,
              [&] {
                Append16(out, LANGUAGE_US_ENGLISH);
                Append16(out, CODE_PAGE_UTF16);
              },
              nullptr);
        });
      });
  return out;
}

namespace {

struct VersionNode {
  std::size_t Start = 0, End = 0, ValueAt = 0, ChildrenAt = 0;
  std::uint32_t ValueLength = 0;
  std::u16string Key;
};

bool ReadNode(const ImageBytes& b, std::size_t at, std::size_t limit, VersionNode& node) {
  const std::size_t length = Get16(b, at);
  if (length < 6 || at + length > limit) return false;
  node.Start = at;
  node.End = at + length;
  node.ValueLength = Get16(b, at + 2);
  node.Key.clear();
  std::size_t p = at + 6;
  for (; p + 2 <= node.End && Get16(b, p) != 0; p += 2)
    node.Key.push_back(static_cast<char16_t>(Get16(b, p)));
  p += 2;
  node.ValueAt = (p + 3) / 4 * 4;
  return node.ValueAt <= node.End;
}

}  // namespace

bool ReadVersionStrings(const ImageBytes& resource,
                        std::vector<std::pair<std::u16string, std::u16string>>& strings) {
  strings.clear();
  VersionNode root;
  if (!ReadNode(resource, 0, resource.size(), root) || root.Key != u"VS_VERSION_INFO") return false;
  std::size_t at = (root.ValueAt + root.ValueLength + 3) / 4 * 4;
  while (at < root.End) {
    VersionNode info;
    if (!ReadNode(resource, at, root.End, info)) return false;
    if (info.Key == u"StringFileInfo") {
      for (std::size_t t = info.ValueAt; t < info.End;) {
        VersionNode table;
        if (!ReadNode(resource, t, info.End, table)) return false;
        for (std::size_t s = table.ValueAt; s < table.End;) {
          VersionNode string;
          if (!ReadNode(resource, s, table.End, string)) return false;
          std::u16string value;
          for (std::size_t v = string.ValueAt; v + 2 <= string.End && Get16(resource, v) != 0; v += 2)
            value.push_back(static_cast<char16_t>(Get16(resource, v)));
          strings.push_back({string.Key, value});
          s = (string.End + 3) / 4 * 4;
        }
        t = (table.End + 3) / 4 * 4;
      }
    }
    at = (info.End + 3) / 4 * 4;
  }
  return true;
}
