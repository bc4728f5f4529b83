// Changes to the member headers of the sample SETUP.TMP: every byte of every
// field of every member changed, and both sizes set to 0, 1 and their
// largest value.
#include <cstdint>

#include "damage_fixture.h"
#include "preloader_model.h"

namespace {

constexpr std::uint32_t LARGEST = 0xFFFFFFFFu;

class HeaderDamage : public DamageTest {
 protected:
  std::vector<std::string> NamesBefore(const SampleEntry& entry) const {
    std::vector<std::string> names;
    for (const SampleEntry& e : sample_.Entries) {
      if (&e == &entry) break;
      names.push_back(e.Name);
    }
    return names;
  }
  std::vector<std::string> AllNames() const {
    std::vector<std::string> names;
    for (const SampleEntry& e : sample_.Entries) names.push_back(e.Name);
    return names;
  }
  static std::string Path(const SampleEntry& entry) { return STAGING + entry.Name; }

  // The members before `entry` whole, then `entry` failing with this file.
  Expected FailsWith(const SampleEntry& entry, const Bytes& content) const {
    return Expected::Whole(NamesBefore(entry)).With(entry.Name, content).FailsAt(Path(entry));
  }

  // When damage makes the preloader read the next entry from inside a token
  // stream, what it does hangs on those bytes; the reading rules, applied
  // by hand to the bytes, say what it must be.
  static Expected ByTheReadingRules(const Bytes& container) {
    PreloaderOutcome outcome = ModelExtraction(container.data(), container.size(), STAGING);
    Expected expected;
    expected.Files = outcome.Files;
    if (outcome.Failed) expected.FailsAt(outcome.FailedPath);
    return expected;
  }

  bool IsLast(const SampleEntry& entry) const { return &entry == &sample_.Entries.back(); }
};

std::uint32_t FieldOf(const Bytes& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace

TEST_F(HeaderDamage, EveryByteOfEveryField) {
  for (const SampleEntry& entry : sample_.Entries) {
    for (int field = 0; field < HEADER_FIELDS; ++field) {
      for (std::size_t byte = 0; byte < 4; ++byte) {
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
          Bytes container = sample_.Content;
          container[entry.Field(field) + byte] ^= flip;
          std::uint32_t unpacked = FieldOf(container, entry.Field(UNPACKED_SIZE));
          std::uint32_t packed = FieldOf(container, entry.Field(PACKED_SIZE));
          std::uint32_t realPacked = static_cast<std::uint32_t>(entry.End - entry.Tokens);
          SCOPED_TRACE(entry.Name + " " + HeaderFieldName(field) + " byte " + std::to_string(byte) + " ^ " +
                       std::to_string(flip));
          if (field == MAGIC) {
            Check(container, FailsWith(entry, {}), {1, 1, 1, "no member here"});
          } else if (field < UNPACKED_SIZE) {
            // Only the file's time: the preloader takes what bits it needs.
            Check(container, Expected::Whole(AllNames()), {0, 0, 0});
          } else if (field == UNPACKED_SIZE) {
            ASSERT_NE(unpacked, 0u);
            // The whole token stream decodes, to a length the header does not announce.
            Check(container, FailsWith(entry, entry.Data), {1, 0, 1, "decodes to"});
          } else if (entry.Data.empty()) {
            // An empty member's PackedSize is never looked at by the preloader.
            Check(container, Expected::Whole(AllNames()), {1, 1, 1, "empty member announces"});
          } else if (packed < realPacked) {
            Check(container,
                  Expected::Whole(NamesBefore(entry))
                      .LooseFile(entry.Name, Expected::PREFIX, entry.Data)
                      .FailsAt(Path(entry)),
                  {1, DONT_CARE, 1});
          } else if (IsLast(entry)) {
            // Reading on meets the end of the file: the member is whole.
            Check(container, Expected::Whole(AllNames()), {1, 1, 1, "cut short"});
          } else {
            Check(container, ByTheReadingRules(container), {1, DONT_CARE, DONT_CARE}, false);
          }
          if (HasFailure()) return;
        }
      }
    }
  }
}

TEST_F(HeaderDamage, SizesAtZeroOneAndLargest) {
  const SampleEntry& installer = sample_.Entry("INSTALL.EXE");
  const SampleEntry& empty = sample_.Entry("EMPTY.DAT");
  const SampleEntry& readme = sample_.Entry("README.TXT");
  auto with = [&](const SampleEntry& entry, int field, std::uint32_t value) {
    return WithField32(sample_.Content, entry.Field(field), value);
  };

  for (std::uint32_t value : {1u, LARGEST}) {
    SCOPED_TRACE("UnpackedSize " + std::to_string(value));
    Check(with(installer, UNPACKED_SIZE, value), FailsWith(installer, installer.Data),
          {1, 0, 1, "decodes to"});
    Check(with(empty, UNPACKED_SIZE, value), FailsWith(empty, {}), {1, 0, 1, "decodes to 0 bytes"});
    Check(with(readme, UNPACKED_SIZE, value), FailsWith(readme, readme.Data), {1, 0, 1, "decodes to"});
  }
  {
    SCOPED_TRACE("UnpackedSize 0");
    // Taken as empty, so the next name length is read from the token stream.
    Bytes container = with(installer, UNPACKED_SIZE, 0);
    Expected expected = ByTheReadingRules(container);
    EXPECT_EQ(expected.Files.at("INSTALL.EXE"), Bytes{});
    Check(container, expected, {1, 1, 1, "empty member announces"});
    // The last member: nothing is read behind it, and it is an empty file.
    Check(with(readme, UNPACKED_SIZE, 0),
          Expected::Whole({"INSTALL.EXE", "EMPTY.DAT"}).With("README.TXT", {}),
          {1, 1, 1, "empty member announces"});
  }
  for (std::uint32_t value : {0u, 1u}) {
    SCOPED_TRACE("PackedSize " + std::to_string(value));
    Check(with(installer, PACKED_SIZE, value), FailsWith(installer, {}), {1, DONT_CARE, 1});
    Check(with(readme, PACKED_SIZE, value), FailsWith(readme, {}), {1, 0, 1});
  }
  for (std::uint32_t value : {1u, LARGEST}) {
    SCOPED_TRACE("empty member, PackedSize " + std::to_string(value));
    Check(with(empty, PACKED_SIZE, value), Expected::Whole(AllNames()), {1, 1, 1, "empty member announces"});
  }
  {
    SCOPED_TRACE("PackedSize largest");
    // Decoding reads on through the rest of the file: more bytes than the
    // member holds, beginning with all of them.
    Check(with(installer, PACKED_SIZE, LARGEST),
          Expected::Whole({})
              .LooseFile("INSTALL.EXE", Expected::EXTENSION, installer.Data)
              .FailsAt(Path(installer)),
          {1, 1, 1, "cut short"});
    Check(with(readme, PACKED_SIZE, LARGEST), Expected::Whole(AllNames()), {1, 1, 1, "cut short"});
  }
}
