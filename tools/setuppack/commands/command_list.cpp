#include <cstdio>
#include <vector>

#include "commands/commands.h"
#include "container/open_container.h"
#include "container/container_reader.h"
#include "container/member_names.h"
#include "container/member_time_text.h"

namespace {

struct Totals {
  std::uint64_t Size = 0;
  std::uint64_t Packed = 0;
};

std::uint64_t PackedBytes(const StoredEntry& entry) {
  return MEMBER_HEADER_SIZE + static_cast<std::uint64_t>(entry.Header.PackedSize);
}

std::string RatioText(std::uint64_t packed, std::uint64_t size) {
  if (size == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(size));
  return text;
}

std::string RatioJson(std::uint64_t packed, std::uint64_t size) {
  if (size == 0) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(packed) / static_cast<double>(size));
  return text;
}

// UTF-8 text as a JSON string: control characters escaped, the rest as it
// is.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c >= 0x20 && c != 0x7F) {
      json += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    }
  }
  return json + "\"";
}

// A stored name as Unicode text; a byte the code page does not define
// becomes U+FFFD (the stored bytes are given beside it).
std::string NameText(const std::string& stored, const CodePage& page) {
  std::string text;
  if (page.ToUtf8(stored, text)) return text;
  text.clear();
  for (unsigned char c : stored)
    text += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\xEF\xBF\xBD");
  return text;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// A stored name as this system shows it, control characters escaped; a
// name with a byte the code page does not define shows every byte above
// 0x7F escaped.
std::string ShownName(const std::string& stored, const CodePage& page) {
  std::string name;
  return page.ToSystem(stored, name) ? PrintablePath(name) : PrintableName(stored);
}

std::string Row(const std::string& size, const std::string& packed, const std::string& ratio,
                const std::string& when, const std::string& name) {
  char text[128];
  std::snprintf(text, sizeof text, "%12s %12s %7s  %-19s  ", size.c_str(), packed.c_str(), ratio.c_str(),
                when.c_str());
  return text + name;
}

void PrintText(const Console& console, const std::vector<StoredEntry>& entries, const Totals& totals,
               const CodePage& page) {
  console.Out << Row("Size", "Packed", "Ratio", "Modified", "Name") << '\n';
  for (const StoredEntry& e : entries)
    console.Out << Row(std::to_string(e.Header.UnpackedSize), std::to_string(PackedBytes(e)),
                       RatioText(PackedBytes(e), e.Header.UnpackedSize),
                       MemberDate(e.Header) + " " + MemberTime(e.Header), ShownName(e.Name, page))
                << '\n';
  console.Out << Row(std::to_string(totals.Size), std::to_string(totals.Packed),
                     RatioText(totals.Packed, totals.Size), "",
                     std::to_string(entries.size()) + (entries.size() == 1 ? " entry" : " entries"))
              << '\n';
}

void PrintJson(const Console& console, const std::string& container, const std::vector<StoredEntry>& entries,
               const Totals& totals, std::uint64_t fileSize, const ContainerDamage* damage,
               const CodePage& page) {
  std::ostream& out = console.Out;
  out << "{\n  \"container\": " << JsonString(container) << ",\n  \"code_page\": " << page.Number()
      << ",\n  \"entries\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const StoredEntry& e = entries[i];
    out << (i ? ",\n" : "\n") << "    {\"index\": " << e.Index
        << ", \"name\": " << JsonString(NameText(e.Name, page)) << ", \"name_bytes\": \"" << Hex(e.Name)
        << "\""
        << ", \"size\": " << e.Header.UnpackedSize << ", \"packed\": " << PackedBytes(e)
        << ", \"ratio\": " << RatioJson(PackedBytes(e), e.Header.UnpackedSize) << ", \"modified\": \""
        << MemberDate(e.Header) << "T" << MemberTime(e.Header) << "\"}";
  }
  out << (entries.empty() ? "]" : "\n  ]") << ",\n  \"total\": {\"entries\": " << entries.size()
      << ", \"size\": " << totals.Size << ", \"packed\": " << totals.Packed
      << ", \"ratio\": " << RatioJson(totals.Packed, totals.Size) << ", \"container_bytes\": " << fileSize
      << "}";
  if (damage) out << ",\n  \"error\": " << JsonString(damage->Describe());
  out << "\n}\n";
}

}  // namespace

int RunList(const std::string& container, bool json, const CodePage& page, const Console& console) {
  ContainerReader reader;
  ContainerDamage damage;
  bool damaged = false;
  if (!OpenContainer(reader, container, console, damage, damaged)) return EXIT_BAD_DATA;
  std::vector<StoredEntry> entries;
  Totals totals;
  StoredEntry entry;
  // Every entry that reads is shown; the first name that test and extract
  // would refuse makes the listing fail all the same.
  EntryNameRule names(page);
  ContainerDamage nameFault;
  bool nameRefused = false;
  while (!damaged) {
    ContainerReader::Step step = reader.Next(entry, damage);
    if (step == ContainerReader::Step::End) break;
    if (step == ContainerReader::Step::Damaged) {
      damaged = true;
      break;
    }
    if (!nameRefused) {
      nameFault = {entry.Index, entry.Name, entry.Offset, names.Problem(entry.Index, entry.Name)};
      nameRefused = !nameFault.What.empty();
    }
    totals.Size += entry.Header.UnpackedSize;
    totals.Packed += PackedBytes(entry);
    entries.push_back(entry);
  }
  // A refused name comes before any damage met later: the first fault in
  // the container's order is the one told, as test tells it.
  if (nameRefused) {
    damage = nameFault;
    damaged = true;
  }
  if (json)
    PrintJson(console, container, entries, totals, reader.FileSize(), damaged ? &damage : nullptr, page);
  else
    PrintText(console, entries, totals, page);
  if (damaged) {
    console.Error(container, damage.Describe());
    return EXIT_BAD_DATA;
  }
  return EXIT_OK;
}
