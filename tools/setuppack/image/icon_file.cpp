#include "image/icon_file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t DIRECTORY_SIZE = 6;
constexpr std::size_t FILE_ENTRY_SIZE = 16;
constexpr std::size_t GROUP_ENTRY_SIZE = 14;
constexpr std::uint32_t ICON_TYPE = 1;
constexpr std::uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t BigEndian32(const ImageBytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// A PNG image: its signature, then the IHDR chunk with the size.
bool CheckPng(IconImage& image, std::string& why) {
  const ImageBytes& d = image.Data;
  if (d.size() < 8 + 8 + 13 || std::memcmp(d.data() + 12, "IHDR", 4) != 0 || BigEndian32(d, 8) != 13) {
    why = "a PNG image without its header chunk";
    return false;
  }
  const std::uint32_t width = BigEndian32(d, 16), height = BigEndian32(d, 20);
  if (width == 0 || height == 0 || width > ICON_SIZE_LIMIT || height > ICON_SIZE_LIMIT) {
    why = "a PNG image of " + std::to_string(width) + " x " + std::to_string(height) +
          " pixels; an icon image is at most 256 x 256";
    return false;
  }
  image.Width = width;
  image.Height = height;
  image.Png = true;
  return true;
}

// A bitmap image: a BITMAPINFOHEADER twice as high as the icon (colour
// rows, then the mask's), its palette and both sets of rows.
bool CheckBitmap(IconImage& image, std::string& why) {
  const ImageBytes& d = image.Data;
  const std::uint32_t headerSize = Get32(d, 0);
  if (d.size() < 40 || headerSize < 40 || headerSize > d.size()) {
    why = "an image that is neither a bitmap nor a PNG";
    return false;
  }
  const std::int32_t width = static_cast<std::int32_t>(Get32(d, 4));
  const std::int32_t doubleHeight = static_cast<std::int32_t>(Get32(d, 8));
  const std::uint32_t planes = Get16(d, 12), bitCount = Get16(d, 14);
  const std::uint32_t compression = Get32(d, 16);
  if (width <= 0 || doubleHeight <= 0 || doubleHeight % 2 ||
      width > static_cast<std::int32_t>(ICON_SIZE_LIMIT) ||
      doubleHeight / 2 > static_cast<std::int32_t>(ICON_SIZE_LIMIT)) {
    why = "a bitmap of " + std::to_string(width) + " x " + std::to_string(doubleHeight / 2) +
          " pixels; an icon image is at most 256 x 256";
    return false;
  }
  if (planes != 1 ||
      (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
       bitCount != 32) ||
      compression != 0) {
    why = "a bitmap with " + std::to_string(bitCount) + " bits per pixel, " + std::to_string(planes) +
          " planes or compression " + std::to_string(compression) + ", which icons do not use";
    return false;
  }
  const std::uint64_t height = static_cast<std::uint64_t>(doubleHeight) / 2;
  std::uint64_t colours = Get32(d, 32);
  if (colours == 0 && bitCount <= 8) colours = 1u << bitCount;
  const std::uint64_t colourRow = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  const std::uint64_t maskRow = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t needed = headerSize + 4 * colours + (colourRow + maskRow) * height;
  if (needed > d.size()) {
    why = "a bitmap cut short: " + std::to_string(d.size()) + " bytes where its header needs " +
          std::to_string(needed);
    return false;
  }
  image.Width = static_cast<std::uint32_t>(width);
  image.Height = static_cast<std::uint32_t>(height);
  if (image.BitCount == 0) image.BitCount = static_cast<std::uint16_t>(bitCount);
  if (image.Planes == 0) image.Planes = 1;
  return true;
}

}  // namespace

bool ReadIconFile(const ImageBytes& file, std::vector<IconImage>& images, std::string& why) {
  images.clear();
  if (file.size() > ICON_FILE_LIMIT) {
    why = std::to_string(file.size()) + " bytes, more than the 4 MiB an icon file may have";
    return false;
  }
  const std::size_t count = Get16(file, 4);
  if (file.size() < DIRECTORY_SIZE || Get16(file, 0) != 0 || Get16(file, 2) != ICON_TYPE) {
    why = "not an icon file: it does not begin with an icon directory";
    return false;
  }
  if (count == 0 || DIRECTORY_SIZE + FILE_ENTRY_SIZE * count > file.size()) {
    why = count == 0 ? "an icon file without images" : "an icon file whose directory is cut short";
    return false;
  }
  // Each image is copied: images that share bytes (one bitmap listed
  // 65,535 times) would make an icon of gigabytes from a file of some.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // offset, size
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = DIRECTORY_SIZE + FILE_ENTRY_SIZE * i;
    extents.push_back({Get32(file, entry + 12), Get32(file, entry + 8)});
  }
  std::sort(extents.begin(), extents.end());
  for (std::size_t i = 1; i < extents.size(); ++i)
    if (static_cast<std::uint64_t>(extents[i - 1].first) + extents[i - 1].second > extents[i].first) {
      why = "an icon file whose images share their bytes";
      return false;
    }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = DIRECTORY_SIZE + FILE_ENTRY_SIZE * i;
    IconImage image;
    image.ColorCount = file[entry + 2];
    image.Planes = static_cast<std::uint16_t>(Get16(file, entry + 4));
    image.BitCount = static_cast<std::uint16_t>(Get16(file, entry + 6));
    const std::uint32_t size = Get32(file, entry + 8), offset = Get32(file, entry + 12);
    if (size == 0 || offset < DIRECTORY_SIZE || !Inside(file, offset, size)) {
      why = "image " + std::to_string(i + 1) + " lies outside the file";
      return false;
    }
    image.Data.assign(file.begin() + offset, file.begin() + offset + size);
    const bool png = size >= 8 && std::memcmp(image.Data.data(), PNG_SIGNATURE, 8) == 0;
    if (!(png ? CheckPng(image, why) : CheckBitmap(image, why))) {
      why = "image " + std::to_string(i + 1) + ": " + why;
      return false;
    }
    // The directory's own sizes (0 meaning 256) must be the image's.
    const std::uint32_t listedWidth = file[entry] ? file[entry] : 256,
                        listedHeight = file[entry + 1] ? file[entry + 1] : 256;
    if (listedWidth != image.Width || listedHeight != image.Height) {
      why = "image " + std::to_string(i + 1) + " is listed as " + std::to_string(listedWidth) + " x " +
            std::to_string(listedHeight) + " but is " + std::to_string(image.Width) + " x " +
            std::to_string(image.Height);
      return false;
    }
    images.push_back(std::move(image));
  }
  return true;
}

ImageBytes IconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstId) {
  ImageBytes group;
  Append16(group, 0);
  Append16(group, ICON_TYPE);
  Append16(group, static_cast<std::uint32_t>(images.size()));
  std::uint16_t id = firstId;
  for (const IconImage& image : images) {
    group.push_back(static_cast<std::uint8_t>(image.Width == 256 ? 0 : image.Width));
    group.push_back(static_cast<std::uint8_t>(image.Height == 256 ? 0 : image.Height));
    group.push_back(image.ColorCount);
    group.push_back(0);
    Append16(group, image.Planes);
    Append16(group, image.BitCount);
    Append32(group, static_cast<std::uint32_t>(image.Data.size()));
    Append16(group, id++);
  }
  return group;
}

bool ReadIconGroup(const ImageBytes& group, std::vector<IconGroupEntry>& entries) {
  entries.clear();
  const std::size_t count = Get16(group, 4);
  if (group.size() < DIRECTORY_SIZE + GROUP_ENTRY_SIZE * count || Get16(group, 2) != ICON_TYPE) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = DIRECTORY_SIZE + GROUP_ENTRY_SIZE * i;
    IconGroupEntry e;
    e.Width = group[at] ? group[at] : 256;
    e.Height = group[at + 1] ? group[at + 1] : 256;
    e.BitCount = Get16(group, at + 6);
    e.Id = static_cast<std::uint16_t>(Get16(group, at + 12));
    entries.push_back(e);
  }
  return true;
}
