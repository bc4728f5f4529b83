// `medium` binds SETUP.EXE to the SETUP.TMP it writes and brands it with the
// publisher's icon and version strings; `verify` reads all of it back. The
// files are read here with the tests' own PE reader (pe_file.h).
#include <gtest/gtest.h>

#include <filesystem>

#include "memory_limit.h"
#include "pe_file.h"
#include "setuppack_runner.h"
#include "sha256.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t RT_ICON = 3, RT_STRING = 6, RT_GROUP_ICON = 14, RT_VERSION = 16;

// A bitmap icon image of size x size, 32 bits per pixel, with its mask.
Bytes BitmapImage(std::uint32_t size, std::uint8_t fill) {
  Bytes image(40 + size * size * 4 + (size + 31) / 32 * 4 * size, fill);
  const std::uint32_t header[] = {40, size, 2 * size};
  for (int f = 0; f < 3; ++f)
    for (int i = 0; i < 4; ++i) image[4 * f + i] = static_cast<std::uint8_t>(header[f] >> (8 * i));
  image[12] = 1, image[13] = 0, image[14] = 32, image[15] = 0;
  for (int i = 16; i < 40; ++i) image[i] = 0;
  return image;
}

// A PNG's signature and header chunk for width x height; enough for an icon file's check.
Bytes PngImage(std::uint32_t width, std::uint32_t height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) png.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  png.insert(png.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D'});
  return png;
}

// An .ico file of the images, each listed with its own size.
Bytes IconFile(const std::vector<std::pair<std::uint32_t, Bytes>>& images) {
  Bytes file = {0, 0, 1, 0, static_cast<std::uint8_t>(images.size()), 0};
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const auto& image : images) {
    const std::uint8_t side = static_cast<std::uint8_t>(image.first == 256 ? 0 : image.first);
    Bytes entry = {side, side, 0, 0, 1, 0, 32, 0};
    for (std::uint32_t v : {static_cast<std::uint32_t>(image.second.size()), offset})
      for (int i = 0; i < 4; ++i) entry.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    file.insert(file.end(), entry.begin(), entry.end());
    offset += static_cast<std::uint32_t>(image.second.size());
  }
  for (const auto& image : images) file.insert(file.end(), image.second.begin(), image.second.end());
  return file;
}

std::string Utf16(const std::string& ascii) {
  std::string wide;
  for (char c : ascii) wide += std::string{c, '\0'};
  return wide;
}

bool Holds(const Bytes& haystack, const std::string& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class BoundMedium : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.File("payload"));
    WriteWholeFile(dir.File("payload/INSTALL.EXE"), RandomBytes(20000, 1));
    WriteWholeFile(preloader, SmallPreloader());
  }
  RunResult Medium(std::vector<std::string> options, const std::string& target) {
    std::vector<std::string> args{"medium", "-q", "--mtime", "2020-01-02 03:04:06", "--preloader", preloader};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {target, dir.File("payload")});
    return Setuppack(args);
  }
  ScratchDir dir;
  std::string preloader = dir.File("SETUP.EXE");
  std::string out = dir.File("medium");
};

}  // namespace

TEST_F(BoundMedium, CarriesTheDigestOfItsContainerAndVerifiesOnlyWithIt) {
  ASSERT_EQ(Medium({}, out).Code, 0);
  const Bytes built = SmallPreloader(), bound = ReadWholeFile(out + "/SETUP.EXE");
  PeView view(bound);
  ASSERT_TRUE(view.Valid());
  // The record bound, the digest that of every byte of SETUP.TMP; the rest
  // of the program as built but the checksum, which is right.
  Sha256 hash;
  const Bytes container = ReadWholeFile(out + "/SETUP.TMP");
  hash.Update(container.data(), container.size());
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash.Final(digest);
  Bytes record = view.SectionBytes(".bind");
  ASSERT_GE(record.size(), 48u);
  EXPECT_EQ(Le32(record, 12), 1u);
  EXPECT_TRUE(std::equal(digest, digest + 32, record.begin() + 16));
  EXPECT_EQ(view.Checksum, view.ComputedChecksum());
  Bytes rest = bound;
  const std::size_t at = view.Sections.at(".bind").RawOffset;
  std::copy(built.begin() + at, built.begin() + at + 48, rest.begin() + at);
  std::copy(built.begin() + view.ChecksumAt, built.begin() + view.ChecksumAt + 4,
            rest.begin() + view.ChecksumAt);
  EXPECT_TRUE(rest == built);

  RunResult ok = Setuppack({"verify", out});
  EXPECT_EQ(ok.Code, 0) << ok.Err;
  std::string hex;
  for (std::uint8_t b : digest) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  EXPECT_NE(ok.Out.find("binding:   SETUP.TMP with SHA-256 " + hex), std::string::npos) << ok.Out;
  EXPECT_NE(ok.Out.find("icon:      16x16"), std::string::npos) << ok.Out;
  EXPECT_NE(ok.Out.find("signature: none"), std::string::npos) << ok.Out;

  // Another container, one byte changed, one appended: refused by verify.
  Bytes changed = container;
  changed[changed.size() / 2] ^= 1;
  Bytes appended = container;
  appended.push_back(0);
  for (const Bytes& other : {changed, appended}) {
    WriteWholeFile(out + "/SETUP.TMP", other);
    RunResult refused = Setuppack({"verify", out});
    EXPECT_EQ(refused.Code, 1);
    EXPECT_NE(refused.Err.find("not the container SETUP.EXE is bound to"), std::string::npos) << refused.Err;
  }
  // The same inputs give the same medium.
  ASSERT_EQ(Medium({}, dir.File("again")).Code, 0);
  EXPECT_EQ(ReadWholeFile(dir.File("again/SETUP.EXE")), bound);

  ASSERT_EQ(Medium({"--unbound"}, dir.File("unbound")).Code, 0);
  EXPECT_EQ(ReadWholeFile(dir.File("unbound/SETUP.EXE")), built);
  RunResult unbound = Setuppack({"verify", dir.File("unbound")});
  EXPECT_EQ(unbound.Code, 1);
  EXPECT_NE(unbound.Err.find("not bound"), std::string::npos) << unbound.Err;
  EXPECT_EQ(Setuppack({"verify"}).Code, 2);
  EXPECT_EQ(Setuppack({"verify", dir.File("nothing-here")}).Code, 1);
}

TEST_F(BoundMedium, ASignedPreloaderIsOnlyCopied) {
  Bytes signedPreloader = SmallPreloader();
  PeView view(signedPreloader);
  const std::size_t security = view.ChecksumAt + 32 + 8 * 4;  // the certificate table's entry
  signedPreloader[security] = 0x00, signedPreloader[security + 1] = 0x10, signedPreloader[security + 4] = 8;
  WriteWholeFile(preloader, signedPreloader);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--unbound", "--version-info", "ProductName=X"}}) {
    RunResult refused = Medium(options, out);
    EXPECT_EQ(refused.Code, 1);
    EXPECT_NE(refused.Err.find("sign"), std::string::npos) << refused.Err;
    EXPECT_NE(refused.Err.find("after setuppack medium"), std::string::npos) << refused.Err;
    EXPECT_FALSE(fs::exists(out));
  }
  ASSERT_EQ(Medium({"--unbound"}, out).Code, 0);
  EXPECT_EQ(ReadWholeFile(out + "/SETUP.EXE"), signedPreloader);
}

TEST_F(BoundMedium, TakesThePublishersIconAndVersionStrings) {
  const Bytes small = BitmapImage(16, 0x11), large = PngImage(256, 256);
  WriteWholeFile(dir.File("publisher.ico"), IconFile({{16, small}, {256, large}}));
  RunResult run =
      Medium({"--icon", dir.File("publisher.ico"), "--version-info", "ProductName=Beispiel", "--version-info",
              "FileVersion=2.5.0.17 (final)", "--version-info", "CompanyName=Beispiel GmbH"},
             out);
  ASSERT_EQ(run.Code, 0) << run.Err;
  const Bytes branded = ReadWholeFile(out + "/SETUP.EXE");
  PeView view(branded);
  ASSERT_TRUE(view.Valid());

  // The group by its name lists both images, which replace the old icon.
  const Bytes group = view.Resource(RT_GROUP_ICON, "IDI_SDIAPPLICATION");
  ASSERT_EQ(group.size(), 6u + 2 * 14);
  EXPECT_EQ(Le16(group, 4), 2);
  EXPECT_EQ(group[6], 16);
  EXPECT_EQ(group[20], 0);  // 256
  EXPECT_EQ(view.ResourceIds(RT_ICON), (std::vector<std::uint16_t>{Le16(group, 18), Le16(group, 32)}));
  EXPECT_EQ(view.Resource(RT_ICON, std::to_string(Le16(group, 18))), small);
  EXPECT_EQ(view.Resource(RT_ICON, std::to_string(Le16(group, 32))), large);

  // The version resource: the strings, and 2.5.0.17 in the fixed part.
  const Bytes version = view.Resource(RT_VERSION, "1");
  EXPECT_TRUE(Holds(version, Utf16("Beispiel GmbH")));
  EXPECT_TRUE(Holds(version, Utf16("2.5.0.17 (final)")));
  const std::size_t fixed = 40;  // behind "VS_VERSION_INFO" and its padding
  EXPECT_EQ(Le32(version, fixed), 0xFEEF04BDu);
  EXPECT_EQ(Le32(version, fixed + 8), 0x00020005u);
  EXPECT_EQ(Le32(version, fixed + 12), 0x00000011u);

  // The relocations moved behind the grown resources; the image adds up.
  const PeSectionView rsrc = view.Sections.at(".rsrc"), reloc = view.Sections.at(".reloc");
  EXPECT_EQ(view.Directory(2), std::make_pair(rsrc.VirtualAddress, rsrc.VirtualSize));
  EXPECT_EQ(view.Directory(5).first, reloc.VirtualAddress);
  EXPECT_GE(reloc.VirtualAddress, rsrc.VirtualAddress + rsrc.VirtualSize);
  EXPECT_EQ(reloc.RawOffset, rsrc.RawOffset + rsrc.RawSize);
  EXPECT_EQ(view.SizeOfImage, reloc.VirtualAddress + 0x1000);
  EXPECT_EQ(view.SectionBytes(".reloc"), PeView(SmallPreloader()).SectionBytes(".reloc"));
  EXPECT_EQ(view.Checksum, view.ComputedChecksum());

  RunResult shown = Setuppack({"verify", out});
  EXPECT_EQ(shown.Code, 0) << shown.Err;
  EXPECT_NE(shown.Out.find("icon:      16x16 32-bit, 256x256 32-bit"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("    ProductName: Beispiel\n"), std::string::npos) << shown.Out;
  EXPECT_NE(shown.Out.find("  texts:     none (the German ones built in)\n"), std::string::npos) << shown.Out;
}

// The texts of the window and the boxes: a built-in set, one text over it,
// in the string table's first block (numbers 1 to 7), which verify shows.
TEST_F(BoundMedium, TakesThePublishersTexts) {
  RunResult run = Medium({"--language", "en", "--text", "FailedTitle=Beispiel cannot be installed"}, out);
  ASSERT_EQ(run.Code, 0) << run.Err;
  const Bytes block = PeView(ReadWholeFile(out + "/SETUP.EXE")).Resource(RT_STRING, "1");
  const std::vector<std::string> expected = {"", "Please wait. Preparing the installation...",
                                             "Beispiel cannot be installed", "Error while decoding!",
                                             "The installation data was not found:"};
  std::size_t at = 0;
  for (const std::string& text : expected) {
    ASSERT_LE(at + 2 + 2 * text.size(), block.size());
    EXPECT_EQ(Le16(block, at), text.size());
    EXPECT_TRUE(
        std::equal(block.begin() + at + 2, block.begin() + at + 2 + 2 * text.size(), Utf16(text).begin()))
        << text;
    at += 2 + 2 * text.size();
  }
  RunResult shown = Setuppack({"verify", out});
  EXPECT_NE(shown.Out.find("    FailedTitle: Beispiel cannot be installed\n"), std::string::npos)
      << shown.Out;
  EXPECT_NE(shown.Out.find("    InstallerNotStarted: The installation program could not be started:\n"),
            std::string::npos)
      << shown.Out;
}

// A resource section whose one directory lists 131,070 entries, all with
// the same name of 65,535 characters: 1.2 MB that would be 17 GB of names.
Bytes ResourcesRepeatingOneName() {
  const std::uint32_t entries = 2 * 0xFFFF, name = 16 + 8 * entries;
  Bytes section(name + 2 + 2 * 0xFFFF, 'n');
  for (std::size_t i = 0; i < 16; ++i) section[i] = 0;
  section[12] = section[13] = section[14] = section[15] = 0xFF;  // named and numbered counts
  for (std::uint32_t i = 0; i < entries; ++i)
    for (int b = 0; b < 8; ++b)
      section[16 + 8 * i + b] =
          static_cast<std::uint8_t>((b < 4 ? (name | 0x80000000u) : 0x80000000u) >> (8 * (b % 4)));
  section[name] = section[name + 1] = 0xFF;
  return section;
}

// An .ico file that lists one bitmap 65,535 times: 1 MB that would be
// hundreds of megabytes of images.
Bytes IconRepeatingOneImage() {
  const Bytes image = BitmapImage(32, 1);
  const std::uint32_t count = 0xFFFF, offset = 6 + 16 * count;
  Bytes file = {0, 0, 1, 0, 0xFF, 0xFF};
  for (std::uint32_t i = 0; i < count; ++i) {
    file.insert(file.end(), {32, 32, 0, 0, 1, 0, 32, 0});
    for (std::uint32_t v : {static_cast<std::uint32_t>(image.size()), offset})
      for (int b = 0; b < 4; ++b) file.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
  }
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

// Mended: hostile preloaders and icons end with exit 1 and their reason, in
// a bounded amount of memory, and nothing is written.
TEST_F(BoundMedium, RefusesBadBrandingAndWritesNothing) {
  Bytes cut = BitmapImage(32, 1);
  cut.resize(cut.size() - 1);
  Bytes farHeader = SmallPreloader();
  for (int b = 0; b < 4; ++b) farHeader[0x3C + b] = 0xFF;  // e_lfanew 0xFFFFFFFF wraps a 32-bit size_t
  const struct {
    std::vector<std::pair<std::uint32_t, Bytes>> Icon;
    std::vector<std::string> Options;
    int Code;
    std::string Reason;
    Bytes Preloader = {};  // the tests' small one when empty
    Bytes IconFile = {};   // written as it is, in place of Icon's images
  } cases[] = {
      {{},
       {"--version-info", "ProductName=X"},
       1,
       "repeat the same name or data over and over",
       SmallPreloader(ResourcesRepeatingOneName()),
       {}},
      {{}, {}, 1, "not a Windows program", farHeader, {}},
      {{}, {}, 1, "an icon file whose images share their bytes", {}, IconRepeatingOneImage()},
      {{}, {"--version-info", "Product=X"}, 2, "unknown key \"Product\""},
      {{}, {"--version-info", "ProductName"}, 2, "no \"=\""},
      {{}, {"--version-info", "ProductName=" + std::string(1025, 'x')}, 1, "1025 characters"},
      {{}, {"--version-info", "FileVersion=1.70000"}, 1, "above 65535"},
      {{}, {"--language", "de-AT"}, 2, "no such set"},
      {{}, {"--text", "Title=X"}, 2, "--text: unknown key \"Title\""},
      {{}, {"--text", "FailedTitle"}, 2, "no \"=\""},
      {{}, {"--text", "FailedTitle=A", "--text", "FailedTitle=B"}, 2, "FailedTitle given twice"},
      {{}, {"--text", "DecodeError=" + std::string(1025, 'x')}, 1, "1025 characters"},
      {{{32, cut}}, {}, 1, "image 1: a bitmap cut short"},
      {{{0, PngImage(512, 512)}}, {}, 1, "512 x 512 pixels"},
      {{{16, BitmapImage(32, 1)}}, {}, 1, "listed as 16 x 16 but is 32 x 32"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> options = c.Options;
    if (!c.Icon.empty() || !c.IconFile.empty()) {
      WriteWholeFile(dir.File("bad.ico"), c.IconFile.empty() ? IconFile(c.Icon) : c.IconFile);
      options.insert(options.end(), {"--icon", dir.File("bad.ico")});
    }
    WriteWholeFile(preloader, c.Preloader.empty() ? SmallPreloader() : c.Preloader);
    ScopedMemoryLimit limit(64 << 20);
    RunResult run = Medium(options, out);
    EXPECT_EQ(run.Code, c.Code) << c.Reason;
    EXPECT_NE(run.Err.find(c.Reason), std::string::npos) << c.Reason << ": " << run.Err;
    EXPECT_FALSE(fs::exists(out)) << c.Reason;
    if (c.Preloader.empty()) continue;
    // verify reads SETUP.EXE the same way, beside any SETUP.TMP.
    fs::create_directories(dir.File("hostile"));
    WriteWholeFile(dir.File("hostile/SETUP.EXE"), c.Preloader);
    WriteWholeFile(dir.File("hostile/SETUP.TMP"), BytesOf("\0\0"));
    RunResult verified = Setuppack({"verify", dir.File("hostile")});
    EXPECT_EQ(verified.Code, 1) << c.Reason;
    EXPECT_NE(verified.Err.find(c.Reason), std::string::npos) << verified.Err;
  }
  WriteWholeFile(preloader, SmallPreloader());
  WriteWholeFile(dir.File("bad.ico"), BytesOf("GIF89a"));
  RunResult notIcon = Medium({"--icon", dir.File("bad.ico")}, out);
  EXPECT_EQ(notIcon.Code, 1);
  EXPECT_NE(notIcon.Err.find("not an icon file"), std::string::npos) << notIcon.Err;
  EXPECT_FALSE(fs::exists(out));
}
