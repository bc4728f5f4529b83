// The sample SETUP.TMP cut to every length from 0 to its full size.
#include "damage_fixture.h"

namespace {

std::uint32_t FieldAvailable(const Bytes& content, std::size_t at, std::size_t cut) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && at + i < cut; ++i)
    value |= static_cast<std::uint32_t>(content[at + i]) << (8 * i);
  return value;
}

// What the preloader makes of the first `cut` bytes: the count, a name
// length or a header field cut short reads as if the missing bytes were 0,
// and a name cut short ends where the file does.
Expected AfterCut(const SampleContainer& sample, std::size_t cut) {
  Expected expected;
  if (cut < 2) return expected;  // no count: no entries
  for (std::size_t i = 0; i < sample.Entries.size(); ++i) {
    const SampleEntry& entry = sample.Entries[i];
    if (cut >= entry.End) {
      expected.Files[entry.Name] = entry.Data;
      continue;
    }
    if (cut < entry.Member) {
      // No name length, or a name cut short: the empty name fails on the
      // staging directory itself; a shorter name gets an empty file.
      std::string name = cut < entry.NameAt() ? "" : entry.Name.substr(0, cut - entry.NameAt());
      if (!name.empty()) expected.Files[name] = {};
      return expected.FailsAt(STAGING + name);
    }
    std::size_t have = cut - entry.Member;
    if (have < 3) return expected.With(entry.Name, {}).FailsAt(STAGING + entry.Name);  // no magic
    if (FieldAvailable(sample.Content, entry.Field(UNPACKED_SIZE), cut) == 0) {
      // Taken as an empty member; a later entry then has no name length.
      expected.Files[entry.Name] = {};
      if (i + 1 < sample.Entries.size()) expected.FailsAt(STAGING);
      return expected;
    }
    if (cut <= entry.Tokens) return expected.With(entry.Name, {}).FailsAt(STAGING + entry.Name);
    return expected.LooseFile(entry.Name, Expected::PREFIX, entry.Data).FailsAt(STAGING + entry.Name);
  }
  return expected;
}

class Truncation : public DamageTest {};

}  // namespace

TEST_F(Truncation, EveryLength) {
  const Bytes& whole = sample_.Content;
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    SCOPED_TRACE("cut to " + std::to_string(cut) + " of " + std::to_string(whole.size()) + " bytes");
    Bytes container(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    bool complete = cut == whole.size();
    int code = complete ? 0 : 1;
    Check(container, AfterCut(sample_, cut), {code, code, code, "cut short"});
    if (HasFatalFailure() || HasFailure()) break;  // one broken length tells enough
  }
}
