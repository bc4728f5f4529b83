#include "base/code_page.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <locale.h>
#include <wctype.h>
#endif

namespace {

#ifdef _WIN32

bool ToWide(UINT page, const std::string& in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  int length =
      MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (length <= 0) return false;
  out.resize(static_cast<std::size_t>(length));
  return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), &out[0],
                             length) == length;
}

bool FromWide(UINT page, const std::wstring& in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  // UTF-8 takes no default character; a code page does, and one used means
  // a character it cannot hold (no best fit: "ü" never becomes "u").
  DWORD flags = page == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = page == CP_UTF8 ? nullptr : &usedDefault;
  int length =
      WideCharToMultiByte(page, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, used);
  if (length <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(length));
  return WideCharToMultiByte(page, flags, in.data(), static_cast<int>(in.size()), &out[0], length, nullptr,
                             used) == length &&
         !usedDefault;
}

bool Convert(UINT from, UINT to, const std::string& in, std::string& out) {
  std::wstring wide;
  return ToWide(from, in, wide) && FromWide(to, wide, out);
}

#else

std::string IconvName(unsigned page) { return "CP" + std::to_string(page); }

// The whole of `in`, strictly: a character without a counterpart, or bytes
// that are no character, fail the conversion.
bool Convert(const std::string& from, const std::string& to, const std::string& in, std::string& out) {
  out.clear();
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> input(in.begin(), in.end());
  std::vector<char> output(in.size() * 4 + 16);
  char* inPointer = input.data();
  std::size_t inLeft = input.size();
  char* outPointer = output.data();
  std::size_t outLeft = output.size();
  std::size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  bool whole = result != static_cast<std::size_t>(-1) && inLeft == 0 &&
               iconv(converter, nullptr, nullptr, &outPointer, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (whole) out.assign(output.data(), output.size() - outLeft);
  return whole;
}

#endif

// Upper-cases UTF-8 text as Windows compares names: one character at a
// time, by the simple Unicode mapping.
std::string UpperUtf8(const std::string& text) {
#ifdef _WIN32
  std::wstring wide;
  if (!ToWide(CP_UTF8, text, wide)) return text;
  if (!wide.empty()) CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  std::string upper;
  return FromWide(CP_UTF8, wide, upper) ? upper : text;
#else
  std::string utf32;
  if (!Convert("UTF-8", "UTF-32LE", text, utf32)) return text;
  static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  for (std::size_t i = 0; unicode && i + 4 <= utf32.size(); i += 4) {
    auto byte = [&utf32, i](int k) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(utf32[i + k]));
    };
    std::uint32_t c = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    std::uint32_t u = static_cast<std::uint32_t>(towupper_l(static_cast<wint_t>(c), unicode));
    for (int k = 0; k < 4; ++k)
      utf32[i + static_cast<std::size_t>(k)] = static_cast<char>((u >> (8 * k)) & 0xFF);
  }
  std::string upper;
  return Convert("UTF-32LE", "UTF-8", utf32, upper) ? upper : text;
#endif
}

}  // namespace

bool CodePage::IsKnown(unsigned number) {
  switch (number) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
      return true;
    default:
      return number >= 1250 && number <= 1258;
  }
}

std::string CodePage::Problem(const std::string& text) {
  char* end = nullptr;
  unsigned long number = std::strtoul(text.c_str(), &end, 10);
  if (!text.empty() && end && *end == '\0' && number <= 65535 && IsKnown(static_cast<unsigned>(number)))
    return {};
  return "not a Windows ANSI code page that setuppack knows: " + text +
         " (874, 932, 936, 949, 950, 1250 to 1258)";
}

bool CodePage::FromSystem(const std::string& name, std::string& stored) const {
#ifdef _WIN32
  return Convert(CP_ACP, number_, name, stored);
#else
  return Convert("UTF-8", IconvName(number_), name, stored);
#endif
}

bool CodePage::ToSystem(const std::string& stored, std::string& name) const {
#ifdef _WIN32
  return Convert(number_, CP_ACP, stored, name);
#else
  return Convert(IconvName(number_), "UTF-8", stored, name);
#endif
}

bool CodePage::ToUtf8(const std::string& stored, std::string& text) const {
#ifdef _WIN32
  return Convert(number_, CP_UTF8, stored, text);
#else
  return Convert(IconvName(number_), "UTF-8", stored, text);
#endif
}

std::string CodePage::UpperKey(const std::string& stored) const {
  std::string text;
  if (!ToUtf8(stored, text)) return stored;
  return UpperUtf8(text);
}

bool SystemTextToUtf16(const std::string& text, std::u16string& wide) {
  wide.clear();
#ifdef _WIN32
  std::wstring converted;
  if (!ToWide(CP_ACP, text, converted)) return false;
  wide.assign(converted.begin(), converted.end());
  return true;
#else
  std::string bytes;
  if (!Convert("UTF-8", "UTF-16LE", text, bytes)) return false;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  return true;
#endif
}

std::string Utf16ToSystemText(const std::u16string& wide) {
  std::string text;
#ifdef _WIN32
  if (!FromWide(CP_ACP, std::wstring(wide.begin(), wide.end()), text)) text = "?";
#else
  std::string bytes;
  for (char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  if (!Convert("UTF-16LE", "UTF-8", bytes, text)) text = "?";
#endif
  return text;
}
