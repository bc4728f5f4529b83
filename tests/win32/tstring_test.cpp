// TString, the staging code's string: what paths are built from.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tstring.h"

namespace {

std::string Bytes(const TString& s) { return std::string(s.c_str(), s.size()); }

}  // namespace

TEST(TString, JoinsPathsAndNumbers) {
  TString root = "c:\\temp\\";
  TString empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_STREQ(empty.c_str(), "");
  TString path = root + TString("_Orvane3d") + "";
  path.AppendDecimal(12);
  path += "\\";
  EXPECT_STREQ(path.c_str(), "c:\\temp\\_Orvane3d12\\");
  EXPECT_EQ(path.size(), 20u);
  EXPECT_STREQ(root.c_str(), "c:\\temp\\");  // the operands stay as they were

  const std::pair<std::uint32_t, const char*> numbers[] = {
      {0, "0"}, {7, "7"}, {10, "10"}, {32000, "32000"}, {4294967295u, "4294967295"}};
  for (const auto& n : numbers) {
    TString text;
    text.AppendDecimal(n.first);
    EXPECT_STREQ(text.c_str(), n.second);
  }
}

TEST(TString, GrowsFarBeyondAPathAndKeepsZeroBytes) {
  TString name;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    name += "abc";
    expected += "abc";
  }
  name.Append("x\0y", 3);
  expected.append("x\0y", 3);
  EXPECT_EQ(Bytes(name), expected);
  name.Truncate(4);
  EXPECT_STREQ(name.c_str(), "abca");
  name.Truncate(100);  // longer than the string: nothing changes
  EXPECT_STREQ(name.c_str(), "abca");
}

// A string that takes pieces of itself keeps them intact while it grows.
TEST(TString, PiecesOfItself) {
  TString s = "abcdefgh";
  s += s;
  EXPECT_STREQ(s.c_str(), "abcdefghabcdefgh");
  for (int i = 0; i < 6; ++i) s.Append(s.c_str() + 1, s.size() - 1);
  EXPECT_EQ(s.size(), 16u * 64 - 63);
  s = s.c_str() + s.size() - 3;
  EXPECT_STREQ(s.c_str(), "fgh");
  const TString& same = s;
  s = same;
  EXPECT_STREQ(s.c_str(), "fgh");
}

TEST(TString, CopiesAndMovesAreIndependent) {
  TString a = "first";
  TString b = a;
  b += "!";
  TString c = std::move(b);
  EXPECT_STREQ(a.c_str(), "first");
  EXPECT_STREQ(c.c_str(), "first!");
  EXPECT_TRUE(b.empty());  // NOLINT: a moved-from string is empty and usable
  b = "again";
  a = c;
  c = "";
  EXPECT_STREQ(a.c_str(), "first!");
  EXPECT_STREQ(b.c_str(), "again");
  EXPECT_TRUE(c.empty());
  a = nullptr;
  EXPECT_TRUE(a.empty());
}
