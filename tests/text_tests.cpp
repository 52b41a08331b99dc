#include <gtest/gtest.h>

#include <string>

#include "text/text.h"
#include "tests/support.h"

namespace {

TEST(FileName, IsTheLastComponentUnlessItEndsInABackslash) {
  const struct {
    std::string path;
    std::string name;
  } cases[] = {
      {"C:\\Tools\\app.exe", "app.exe"},
      {"C:\\Tools\\archive.tar.gz", "archive.tar.gz"},
      {"app.exe", "app.exe"},
      {"C:\\Tools\\", ""},
      {"", ""},
      // 0x95 0x5C is one character, so its second byte separates nothing...
      {"C:\\Tools\\\x95\x5C" "app.exe", "\x95\x5C" "app.exe"},
      // ...but a name whose last byte is 0x5C is still refused.
      {"C:\\Tools\\app\x95\x5C", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(AsBytes(c.path)));
    EXPECT_EQ(FileNameFromPath(AsText(c.path)), AsText(c.name));
  }
}

Bytes ViaWideToText(const Bytes& wide) {
  Text text = WideToText(wide);
  return Bytes(text.c_str(), text.size());
}

TEST(CodePage, ConvertsUpToTheFirstZeroAndTerminatesOnlyWideResults) {
  const struct {
    const char* what;
    Bytes (*convert)(const Bytes&);
    const char* in;
    const char* out;
  } cases[] = {
      {"AnsiToWide", AnsiToWide, "61 62 63", "61 00 62 00 63 00 00 00"},
      {"AnsiToWide", AnsiToWide, "61 00 62", "61 00 00 00"},
      {"AnsiToWide", AnsiToWide, "", ""},
      {"AnsiToWide", AnsiToWide, "00 61", ""},
      {"AnsiToWide", AnsiToWide, "D6 D0 CE C4", "2D 4E 87 65 00 00"},
      {"WideToAnsi", WideToAnsi, "2D 4E 87 65", "D6 D0 CE C4"},
      {"WideToAnsi", WideToAnsi, "00 00 41 00", ""},
      {"WideToAnsi", WideToAnsi, "", ""},
      {"WideToAnsi, a character 936 lacks", WideToAnsi, "01 0E 41 00", "3F 41"},
      {"WideToText", ViaWideToText, "61 00 62 00 00 00 63 00", "61 62"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " of " + c.in);
    EXPECT_EQ(Hex(c.convert(FromHex(c.in))), c.out);
  }
}

std::wstring PlatformShortPath(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return std::wstring(shortPath, n < MAX_PATH ? n : 0);
}

TEST(ShortPath, IsThePlatformsShortFormOrEmpty) {
  TempFolder temp;
  std::wstring folder = temp.path() + L"\\长文件夹 with a long name";
  std::wstring file = folder + L"\\KeepFresh 配置 file.txt";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);

  std::wstring expected = PlatformShortPath(file);
  ASSERT_NE(expected.find(L'~'), std::wstring::npos) << "the platform gave no 8.3 form";
  EXPECT_EQ(ShortPathOf(AsText(To936(file))), AsText(To936(expected)));
  EXPECT_EQ(ShortPathOf(AsText(To936(folder + L"\\missing file.txt"))), Text());
  EXPECT_EQ(ShortPathOf(Text()), Text());
}

}  // namespace
