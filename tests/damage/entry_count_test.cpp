// Entry counts that disagree with the entries the sample SETUP.TMP holds.
#include "damage_fixture.h"

namespace {

class EntryCount : public DamageTest {
 protected:
  Bytes WithCount(std::uint16_t count) const { return WithField16(sample_.Content, 0, count); }
};

}  // namespace

TEST_F(EntryCount, MoreThanPresent) {
  // The entry behind the last has no name length: an empty name, which
  // fails on the staging directory itself.
  for (std::uint16_t count : {4, 5, 32767}) {
    SCOPED_TRACE(count);
    Check(WithCount(count), Expected::Whole({"INSTALL.EXE", "EMPTY.DAT", "README.TXT"}).FailsAt(STAGING),
          {1, 1, 1, "cut short inside the name length"});
  }
}

TEST_F(EntryCount, FewerThanPresent) {
  // The preloader never reads behind the counted entries; setuppack's test
  // says that it will not, while list and extract do what the preloader does.
  Check(WithCount(2), Expected::Whole({"INSTALL.EXE", "EMPTY.DAT"}),
        {1, 0, 0, "bytes behind the last of the 2"});
  Check(WithCount(1), Expected::Whole({"INSTALL.EXE"}), {1, 0, 0, "bytes behind the last of the 1"});
  Check(WithCount(0), Expected::Whole({}), {1, 0, 0, "bytes behind the last of the 0"});
}

TEST_F(EntryCount, TopBitSetMeansNone) {
  for (std::uint16_t count : {0x8000, 0x8003, 0xFFFD, 0xFFFF}) {
    SCOPED_TRACE(count);
    Check(WithCount(count), Expected::Whole({}), {1, 1, 1, "top bit set"});
  }
}
