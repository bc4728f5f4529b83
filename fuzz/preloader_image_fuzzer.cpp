// What setuppack reads from a SETUP.EXE it did not make, on any bytes: its
// headers, binding record and resources are read without fault; resources
// that read back are written anew and read back the same; and a program
// that can be branded reads back as a program with the new icon group.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "image/preloader_image.h"
#include "image/resource_tree.h"

namespace {

bool SameTree(const ResourceTree& a, const ResourceTree& b) {
  if (a.size() != b.size()) return false;
  for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
    if (i->first < j->first || j->first < i->first || i->second.size() != j->second.size()) return false;
    for (auto n = i->second.begin(), m = j->second.begin(); n != i->second.end(); ++n, ++m) {
      if (n->first < m->first || m->first < n->first || n->second.size() != m->second.size()) return false;
      for (auto l = n->second.begin(), k = m->second.begin(); l != n->second.end(); ++l, ++k)
        if (l->first != k->first || l->second.Bytes != k->second.Bytes ||
            l->second.CodePage != k->second.CodePage)
          return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ImageBytes file(data, data + size);
  std::string why;
  PreloaderFacts facts;
  ReadPreloaderFacts(file, facts, why);

  // The bytes as a resource section.
  ResourceTree tree, again;
  if (ReadResourceTree(file, 0x3000, tree, why)) {
    const ImageBytes written = WriteResourceTree(tree, 0x3000);
    FUZZ_CHECK(ReadResourceTree(written, 0x3000, again, why));
    FUZZ_CHECK(SameTree(tree, again));
  }

  // The bytes as a preloader to brand.
  Branding branding;
  IconImage image;
  image.Width = image.Height = 16;
  image.BitCount = 32;
  image.Planes = 1;
  image.Data.assign(40 + 16 * 16 * 4 + 64, 0);
  branding.Icon.push_back(image);
  branding.Version = {{"ProductName", u"Fuzz"}};
  if (Brand(file, branding, why)) {
    PreloaderFacts branded;
    FUZZ_CHECK(ReadPreloaderFacts(file, branded, why));
    FUZZ_CHECK(branded.Icon.size() == 1 && branded.Icon[0].Width == 16);
    FUZZ_CHECK(branded.Version.size() == 1);
  }
  return 0;
}
