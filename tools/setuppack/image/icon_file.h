// A Windows icon file (.ico): its images, each a bitmap or a PNG, checked
// as far as Windows reads them, and the icon group that names them inside
// a program.
#pragma once

#include <string>
#include <vector>

#include "image/image_bytes.h"

// An icon file this large holds far more than a program's icon.
constexpr std::size_t ICON_FILE_LIMIT = 4 << 20;
constexpr std::uint32_t ICON_SIZE_LIMIT = 256;

struct IconImage {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint8_t ColorCount = 0;
  std::uint16_t Planes = 0;
  std::uint16_t BitCount = 0;
  bool Png = false;
  ImageBytes Data;  // the image as the file holds it: a bitmap without file header, or a PNG
};

// The images of an icon file; false with the reason when it is none, or a
// broken one, or an image in it is larger than 256 x 256.
bool ReadIconFile(const ImageBytes& file, std::vector<IconImage>& images, std::string& why);

// The icon group resource for `images`, whose icon resources are numbered
// from firstId on.
ImageBytes IconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstId);

// The sizes an icon group names ("16x16 32-bit"), and the icon numbers it
// refers to; false when the group is damaged.
struct IconGroupEntry {
  std::uint32_t Width = 0, Height = 0, BitCount = 0;
  std::uint16_t Id = 0;
};
bool ReadIconGroup(const ImageBytes& group, std::vector<IconGroupEntry>& entries);
