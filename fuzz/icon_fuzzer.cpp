// The icon file reader on any bytes: what it accepts has images of 1 to 256
// pixels a side, each with its data, and the icon group made for them lists
// every image with its size and number, in order.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "image/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ImageBytes file(data, data + size);
  std::vector<IconImage> images;
  std::string why;
  if (!ReadIconFile(file, images, why)) {
    FUZZ_CHECK(!why.empty());
    return 0;
  }
  FUZZ_CHECK(!images.empty());
  for (const IconImage& image : images) {
    FUZZ_CHECK(image.Width >= 1 && image.Width <= ICON_SIZE_LIMIT);
    FUZZ_CHECK(image.Height >= 1 && image.Height <= ICON_SIZE_LIMIT);
    FUZZ_CHECK(!image.Data.empty() && image.Data.size() <= size);
  }
  std::vector<IconGroupEntry> entries;
  FUZZ_CHECK(ReadIconGroup(IconGroupResource(images, 7), entries));
  FUZZ_CHECK(entries.size() == images.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(entries[i].Width == images[i].Width && entries[i].Height == images[i].Height);
    FUZZ_CHECK(entries[i].Id == 7 + i);
  }
  return 0;
}
