// The name field: ReadArchiveName on the container's input, and the
// unbuffered pair ReadArchiveNameFromHandle and WriteArchiveName.
#include "container.h"
#include "container_input.h"
#include "extract.h"
#include "standin_fixture.h"

namespace {

class ArchiveName : public StandinTest {
 protected:
  // Reads one name, and what follows it, from the container input of a
  // file holding `bytes`.
  std::pair<std::string, int> ReadFromStream(const Bytes& bytes) {
    MakeFile("c:\\work\\names.bin", bytes);
    WorkerThread worker;
    ContainerInput input(worker, false);
    EXPECT_TRUE(input.Open("c:\\work\\names.bin"));
    TString name = "previous";
    ReadArchiveName(input, name);
    std::uint8_t next = 0;
    return {name.c_str(), input.Read(&next, 1) == 1 ? next : EOF};
  }
  std::string ReadFromHandle(const Bytes& bytes) {
    MakeFile("c:\\work\\names.bin", bytes);
    HANDLE h = CreateFileA("c:\\work\\names.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    TString name = "previous";
    ReadArchiveNameFromHandle(h, name);
    CloseHandle(h);
    return name.c_str();
  }
  Bytes Write(const std::string& name) {
    HANDLE h = CreateFileA("c:\\work\\out.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    WriteArchiveName(h, TString(name.c_str()));
    CloseHandle(h);
    return Read("c:\\work\\out.bin");
  }
};

}  // namespace

TEST_F(ArchiveName, ReadsLengthThenBytesAndStopsBehindThem) {
  auto got = ReadFromStream({0x05, 0x00, 'A', '.', 'T', 'X', 'T', 'Z'});
  EXPECT_EQ(got.first, "A.TXT");
  EXPECT_EQ(got.second, 'Z');
}

TEST_F(ArchiveName, AZeroByteCutsTheNameButAllBytesAreConsumed) {
  auto got = ReadFromStream({0x04, 0x00, 'A', 0, 'B', 'C', 'Z'});
  EXPECT_EQ(got.first, "A");
  EXPECT_EQ(got.second, 'Z');
}

TEST_F(ArchiveName, LengthZeroIsTheEmptyName) {
  auto got = ReadFromStream({0x00, 0x00, 'Z'});
  EXPECT_EQ(got.first, "");
  EXPECT_EQ(got.second, 'Z');
}

TEST_F(ArchiveName, LengthIsUnsigned16Bit) {
  std::string name(0x8001, 'n');
  Bytes bytes = ArchiveNameField(name);
  ASSERT_EQ(bytes[1], 0x80);
  EXPECT_EQ(ReadFromStream(bytes).first, name);
}

// Mended: a cut-short field reads as defined values.
TEST_F(ArchiveName, CutShortFields) {
  EXPECT_EQ(ReadFromStream({}).first, "");
  EXPECT_EQ(ReadFromStream({0x05}).first, "");
  EXPECT_EQ(ReadFromStream({0x05, 0x00, 'A', 'B'}).first, "AB");
  EXPECT_EQ(ReadFromHandle({}), "");
  EXPECT_EQ(ReadFromHandle({0x05}), "");
  EXPECT_EQ(ReadFromHandle({0x05, 0x00, 'A', 'B'}), "AB");
}

TEST_F(ArchiveName, WriteThenReadFromAHandle) {
  for (const std::string& name :
       {std::string("INSTALL.EXE"), std::string(""), std::string("SUB\\FILE.DAT"), std::string(300, 'x')}) {
    Bytes written = Write(name);
    EXPECT_EQ(written, ArchiveNameField(name));
    EXPECT_EQ(ReadFromHandle(written), name);
    EXPECT_EQ(ReadFromStream(written).first, name);
  }
}

TEST_F(ArchiveName, WriteTakesTheLengthAsUnsigned16Bit) {
  EXPECT_EQ(Write(std::string(65536, 'x')), (Bytes{0x00, 0x00}));
  Bytes written = Write(std::string(65537, 'y'));
  EXPECT_EQ(written, (Bytes{0x01, 0x00, 'y'}));
}
