// The medium's own SETUP.EXE made from the preloader: bound to its SETUP.TMP
// (the binding record filled in), branded with the publisher's icon and
// version resource, its checksum made right. Signing comes after this;
// verify reads all of it back.
#pragma once

#include <string>
#include <vector>

#include "image/icon_file.h"
#include "image/image_bytes.h"
#include "medium_binding.h"
#include "image/pe_image.h"
#include "image/preloader_texts.h"
#include "image/version_info.h"

// The window class loads the icon group by this name.
constexpr char16_t APP_ICON_GROUP[] = u"IDI_SDIAPPLICATION";

struct Branding {
  std::vector<IconImage> Icon;  // empty: the preloader's own
  VersionStrings Version;       // empty: the preloader's own
  PreloaderTexts Texts;         // empty: the preloader's own
  bool Empty() const { return Icon.empty() && Version.empty() && Texts.empty(); }
};

// Why `preloader` cannot be bound (empty when it can): it carries a
// signature, which changing it would break, or has no binding record.
std::string BindingProblem(const ImageBytes& preloader, const PeImage& image);

// Puts the publisher's icon, version resource and texts into the preloader;
// false with the reason when its resources cannot be rewritten.
bool Brand(ImageBytes& preloader, const Branding& branding, std::string& why);

// Fills in the binding record with the SHA-256 of the medium's SETUP.TMP.
bool Bind(ImageBytes& preloader, const std::uint8_t digest[SHA256_DIGEST_SIZE], std::string& why);

// Sets the checksum field to the file's checksum.
void SetChecksum(ImageBytes& preloader);

// What a medium's SETUP.EXE says of itself, for verify.
struct PreloaderFacts {
  bool HasRecord = false;
  bool Bound = false;
  std::uint8_t Digest[SHA256_DIGEST_SIZE] = {};
  std::vector<IconGroupEntry> Icon;
  std::vector<std::pair<std::u16string, std::u16string>> Version;
  std::vector<std::pair<std::string, std::u16string>> Texts;  // by key
  bool Signed = false;
  std::uint32_t SignatureSize = 0;
  bool ChecksumRight = false;  // zero counts as right: Windows checks it for drivers only
};
bool ReadPreloaderFacts(const ImageBytes& preloader, PreloaderFacts& facts, std::string& why);
