// Properties checked on many generated inputs, with a fixed seed so that a
// failure repeats. Each prints the input that broke it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "app/activity_log.h"
#include "app/controls.h"
#include "app/main_window.h"
#include "platform/bindings.h"
#include "platform/override.h"
#include "text/text.h"
#include "tests/support.h"
#include "watchdog/watchdog.h"

namespace {

constexpr unsigned kSeed = 20261211;

// A random valid character of code page 936: ASCII, or a double-byte GBK
// character from a few rows that matter here (full-width forms, punctuation
// with the ideographic space and stars, hanzi, and trail bytes of 0x5C).
std::string RandomCharacter(std::mt19937& random, const std::string& ascii) {
  switch (random() % 6) {
    case 0:
    case 1:
      return std::string(1, ascii[random() % ascii.size()]);
    case 2:
      return {'\xA3', static_cast<char>(0xA1 + random() % 94)};  // full-width ASCII
    case 3: {
      const unsigned char trails[] = {0xA1, 0xAB, 0xEE, 0xEF, 0xA2, 0xB0};
      return {'\xA1', static_cast<char>(trails[random() % sizeof trails])};
    }
    case 4:
      return {static_cast<char>(0xB0 + random() % 0x28), static_cast<char>(0xA1 + random() % 94)};  // hanzi
    default:
      return {static_cast<char>(0x81 + random() % 0x7E), '\x5C'};  // GBK, trail byte 0x5C
  }
}

// Reference reading of an interval, by way of Unicode: the full-width forms
// U+FF01..U+FF5E are ASCII shifted up, and code page 936 maps two of its
// full-width bytes elsewhere (￥ and ￣).
int32_t ReferenceInteger(const std::string& bytes) {
  std::wstring wide = From936(bytes);
  std::string folded;
  for (wchar_t c : wide) {
    if (c >= 0xFF01 && c <= 0xFF5E)
      folded += static_cast<char>(c - 0xFEE0);
    else if (c == 0xFFE5)
      folded += '$';
    else if (c == 0xFFE3)
      folded += '~';
    else if (c == 0x3000)
      folded += ' ';
    else if (c == 0x2606 || c == 0x2605)
      folded += '*';
    else if (c < 0x80)
      folded += static_cast<char>(c);
    else
      folded += '\x01';  // anything else ends a number and is no blank
  }
  size_t i = folded.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return 0;
  bool negative = folded[i] == '-';
  if (folded[i] == '+' || folded[i] == '-') ++i;
  uint64_t value = 0;
  for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) value = (value * 10 + (folded[i] - '0')) % (1ull << 32);
  uint32_t low = static_cast<uint32_t>(negative ? (1ull << 32) - value : value);
  return static_cast<int32_t>(low);
}

TEST(Property, TextToIntegerAgreesWithAReferenceReading) {
  std::mt19937 random(kSeed);
  const std::string ascii = "0123456789012345678901234567890123456789+- \t\r\n.ea";
  for (int n = 0; n < 20000; ++n) {
    std::string input;
    int length = random() % 16;
    for (int i = 0; i < length; ++i) input += RandomCharacter(random, ascii);
    ASSERT_EQ(TextToInteger(AsText(input)), ReferenceInteger(input)) << Hex(AsBytes(input));
  }
}

TEST(Property, TextToIntegerDropsALeadByteAtTheEnd) {
  std::mt19937 random(kSeed);
  for (int n = 0; n < 2000; ++n) {
    std::string digits = std::to_string(random() % 100000);
    std::string input = digits + static_cast<char>(0x81 + random() % 0x7E);
    ASSERT_EQ(TextToInteger(AsText(input)), std::stoi(digits)) << Hex(AsBytes(input));
  }
}

// A random path of double-byte and ASCII components.
std::string RandomPath(std::mt19937& random) {
  const std::string ascii = "abcXYZ019 ._-\\\\\\:/";
  std::string path = random() % 2 ? "C:\\" : "";
  int length = random() % 12;
  for (int i = 0; i < length; ++i) path += RandomCharacter(random, ascii);
  return path;
}

// Offsets at which characters of a 936 text begin.
std::vector<size_t> CharacterStarts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    starts.push_back(i);
    if (static_cast<unsigned char>(text[i]) >= 0x80) ++i;
  }
  starts.push_back(text.size());
  return starts;
}

TEST(Property, FileNameIsAWholeCharacterSuffixOfThePath) {
  std::mt19937 random(kSeed);
  for (int n = 0; n < 5000; ++n) {
    std::string path = RandomPath(random);
    Text name = FileNameFromPath(AsText(path));
    std::string got(name.c_str(), name.size());
    ASSERT_LE(got.size(), path.size()) << Hex(AsBytes(path));
    ASSERT_EQ(path.compare(path.size() - got.size(), got.size(), got), 0) << Hex(AsBytes(path));
    if (got.empty()) continue;
    auto starts = CharacterStarts(path);
    EXPECT_NE(std::find(starts.begin(), starts.end(), path.size() - got.size()), starts.end())
        << "split a double-byte character: " << Hex(AsBytes(path));
    EXPECT_NE(got.back(), '\\') << Hex(AsBytes(path));
  }
}

TEST(Property, RestartBatchCarriesThePathWholeAndTheDelayUntouched) {
  std::mt19937 random(kSeed);
  const std::string placeholders[] = {"秒数", "<文件名>", "\"", "2"};
  for (int n = 0; n < 5000; ++n) {
    std::string path = RandomPath(random);
    if (random() % 3 == 0) path.insert(CharacterStarts(path)[random() % CharacterStarts(path).size()],
                                       placeholders[random() % 4]);
    Text batch = RestartBatchText(AsText(path));
    std::string expected = "@echo off \r\n@ping 127.0.0.1 -n 2 >nul\r\nstart \"\" \"" + path + "\"\r\ndel Restart.bat";
    ASSERT_EQ(std::string(batch.c_str(), batch.size()), expected) << Hex(AsBytes(path));
  }
}

// Lines the log drew on its persistent image, in order.
HDC imageDc;
std::vector<std::wstring> drawn;
BOOL WINAPI RecordTextOut(HDC dc, int, int, const wchar_t* text, int units) {
  if (dc == imageDc) drawn.emplace_back(text, units);
  return TRUE;
}

// The lines of a text: CR or LF ends one, and an LF right after either
// belongs to the same break; what follows the last break is a line too.
std::vector<std::string> ReferenceLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      lines.back() += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.emplace_back();
  }
  return lines;
}

TEST(Property, LogCutsTextIntoLinesAtEveryKindOfBreak) {
  HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
  ASSERT_NE(window, nullptr);
  CanvasState& canvas = *CanvasOf(ControlWindow(window, Control::画板1));
  imageDc = canvas.image;
  SIZE w;
  HGDIOBJ before = SelectObject(canvas.image, canvas.font);
  GetTextExtentPoint32W(canvas.image, L"W", 1, &w);
  SelectObject(canvas.image, before);
  ScopedOverride<decltype(gdi32.TextOutW)> record(gdi32.TextOutW, RecordTextOut);

  std::mt19937 random(kSeed);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\n'};
  for (int n = 0; n < 2000; ++n) {
    std::string text;
    for (int i = random() % 10; i > 0; --i) text += alphabet[random() % sizeof alphabet];
    ClearCanvas(window, 0, 0, 480, 209);
    drawn.clear();
    ScrollWriteLine(window, AsText(text));

    auto lines = ReferenceLines(text);
    std::vector<std::wstring> expected;
    for (const auto& line : lines)
      if (!line.empty()) expected.push_back(From936(line));  // empty lines take room but draw nothing
    ASSERT_EQ(drawn, expected) << Hex(AsBytes(text));
    ASSERT_EQ(canvas.y, static_cast<int>(lines.size()) * (w.cy + 2)) << Hex(AsBytes(text));
  }
  DestroyWindow(window);
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {}
}

}  // namespace
