// Name fields from empty to 65,535 bytes, and names announced longer than
// the file. The staging path c:\windows\temp\_Orvane3d1\ has 27 bytes, so a
// name of 228 bytes is the longest whose output path fits 256 bytes with
// its terminator.
#include "damage_fixture.h"

namespace {

constexpr std::size_t LONGEST_FITTING = 255 - 27;

class NameLength : public DamageTest {
 protected:
  // INSTALL.EXE, then README.TXT's member under `name`.
  Bytes WithName(const std::string& name) const {
    const SampleEntry& readme = sample_.Entry("README.TXT");
    Bytes container = WithField16(sample_.Content, 0, 2);
    container.resize(sample_.Entry("EMPTY.DAT").Start);
    Bytes field = {static_cast<std::uint8_t>(name.size()), static_cast<std::uint8_t>(name.size() >> 8)};
    container.insert(container.end(), field.begin(), field.end());
    container.insert(container.end(), name.begin(), name.end());
    container.insert(container.end(), sample_.Content.begin() + static_cast<std::ptrdiff_t>(readme.Member),
                     sample_.Content.end());
    return container;
  }
};

}  // namespace

TEST_F(NameLength, FromEmptyToTheLargest) {
  const Bytes& readme = sample_.Entry("README.TXT").Data;
  for (std::size_t length :
       {std::size_t{0}, std::size_t{1}, std::size_t{191}, LONGEST_FITTING, LONGEST_FITTING + 1,
        std::size_t{255}, std::size_t{256}, std::size_t{4096}, std::size_t{65534}, std::size_t{65535}}) {
    SCOPED_TRACE("name of " + std::to_string(length) + " bytes");
    std::string name(length, 'N');
    Bytes container = WithName(name);
    Expected expected = Expected::Whole({"INSTALL.EXE"});
    if (length == 0)
      expected.FailsAt(STAGING);  // the staging directory is no file
    else if (length <= LONGEST_FITTING)
      expected.With(name, readme);
    else
      expected.FailsAt(STAGING + name);  // too long for a path buffer: refused, nothing opened
    // setuppack keeps names to 191 bytes, so that they fit behind a usual
    // staging path, in every command alike.
    int judged = length >= 1 && length <= 191 ? 0 : 1;
    Check(container, expected, {judged, judged, judged, length == 0 ? "empty" : "the name has"}, false);
    if (HasFailure()) return;
  }
}

TEST_F(NameLength, AnnouncedLongerThanTheFile) {
  // The name runs to the end of the file and stops at its first zero byte,
  // the magic's last; the member behind it is gone with it. The magic's
  // 0x13 makes it a name with a control character: refused, nothing opened.
  for (std::uint16_t announced : {200, 65535}) {
    SCOPED_TRACE(announced);
    Bytes container = WithName("README.TXT");
    std::size_t at = sample_.Entry("EMPTY.DAT").Start;
    container = WithField16(container, at, announced);
    std::string name = "README.TXT\x57\x74\x13";
    Check(container, Expected::Whole({"INSTALL.EXE"}).FailsAt(STAGING + name),
          {1, 1, 1, "cut short inside the name"});
  }
}
