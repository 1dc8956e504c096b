// Engine strings: building, growth, destruction, and reading back as UTF-8.
#include <cstring>
#include <string>
#include <vector>

#include "plugin/engine/Strings.h"
#include "tests/Fixture.h"

namespace {

using EngineStrings = HostTest;

std::u16string Units(const FString& s) {
  return s.data ? std::u16string(s.data, static_cast<std::size_t>(s.count)) : std::u16string();
}

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", b);
    out += text;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

TEST_F(EngineStrings, BuildsFromNarrowText) {
  const std::string nineteen(19, 'x');
  struct Case {
    const char* text;
    std::u16string units;  // the terminating zero included
    std::int32_t count, capacity;
  } cases[] = {
      {"", u"", 0, 0},
      {"abc", std::u16string(u"abc", 4), 4, 4},
      {"\xC3\xA9", std::u16string(u"??", 3), 3, 4},  // each byte of a multi-byte character
      {"A\x7F\x80", std::u16string(u"A\x7F?", 4), 4, 4},
      {nineteen.c_str(), std::u16string(nineteen.begin(), nineteen.end()) + u'\0', 20, 43},
      {"Successfully reloaded!\n", std::u16string(u"Successfully reloaded!\n", 24), 24, 49},
      {"Couldn't reloaded!", std::u16string(u"Couldn't reloaded!", 19), 19, 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::uint64_t allocations = Sandbox::TotalAllocations();
    {
      FString s(c.text);
      EXPECT_EQ(s.count, c.count);
      EXPECT_EQ(s.capacity, c.capacity);
      EXPECT_EQ(Units(s), c.units);
      if (c.count == 0) {
        EXPECT_EQ(s.data, nullptr);
      } else {
        EXPECT_EQ(Sandbox::BlockSize(s.data), static_cast<std::uint64_t>(c.capacity) * 2);
      }
      EXPECT_EQ(Sandbox::TotalAllocations() - allocations, c.count == 0 ? 0u : 1u);
    }
    EXPECT_EQ(Sandbox::LiveBlocks(), 0);
  }
}

TEST_F(EngineStrings, NullTextGivesTheEmptyString) {
  const std::uint64_t allocations = Sandbox::TotalAllocations();
  {
    FString narrow(static_cast<const char*>(nullptr));
    FString wide(static_cast<const EngineChar*>(nullptr));
    FString empty_wide(u"");
    for (const FString* s : {&narrow, &wide, &empty_wide}) {
      EXPECT_EQ(s->data, nullptr);
      EXPECT_EQ(s->count, 0);
      EXPECT_EQ(s->capacity, 0);
    }
  }
  EXPECT_EQ(Sandbox::TotalAllocations(), allocations);
}

TEST_F(EngineStrings, BuildsFromWideTextUnchanged) {
  const std::u16string text = u"ab\u00E9\U0001F600";
  FString s(text.c_str());
  EXPECT_EQ(s.count, 6);
  EXPECT_EQ(s.capacity, 24);
  EXPECT_EQ(Units(s), text + u'\0');
  FString ab(u"ab");
  EXPECT_EQ(ab.count, 3);
  EXPECT_EQ(ab.capacity, 4);
}

TEST(GrowthCapacity, FollowsTheEngineRule) {
  struct Case {
    std::int32_t count, capacity, grown;
  } cases[] = {
      {1, 0, 4},
      {4, 0, 4},
      {5, 0, 22},
      {16, 0, 38},
      {20, 0, 43},
      {23, 0, 47},
      {24, 0, 49},
      {3, 4, 20},                   // a string that has a buffer grows by the formula
      {-1, 0, 15},                  // a negative count is no small count
      {0x7FFFFFF0, 0, 0x7FFFFFFF},  // the sum wraps past the signed range
      {0x5D174637, 0, 0x7FFFFFFF},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GrowthCapacity(c.count, c.capacity), c.grown) << c.count << "/" << c.capacity;
}

TEST_F(EngineStrings, GrowMovesTheBufferThroughTheEngine) {
  FString s("abc");
  s.count = 5;
  GrowFString(s);
  EXPECT_EQ(s.capacity, 22);
  EXPECT_EQ(Sandbox::BlockSize(s.data), 44u);
  EXPECT_EQ(std::u16string(s.data, 3), u"abc");  // reallocation keeps the content
  EXPECT_EQ(Sandbox::LiveBlocks(), 1);
}

TEST_F(EngineStrings, ReadsBackAsUtf8) {
  struct Case {
    std::u16string units;
    const char* hex;
  } cases[] = {
      {u"abc", "61 62 63"},
      {u"\u00E9", "C3 A9"},
      {u"\u20AC", "E2 82 AC"},
      {u"\u07FF\u0800\uFFFF", "DF BF E0 A0 80 EF BF BF"},
      {std::u16string{0xD83D, 0xDE00}, "F0 9F 98 80"},  // a pair is one code point
      {std::u16string{0xDBFF, 0xDFFF}, "F4 8F BF BF"},
      {std::u16string{0xD83D}, "EF BF BD"},  // half a pair is no character
      {std::u16string{0xDE00, 0xD83D}, "EF BF BD EF BF BD"},
      {std::u16string{0xD83D, u'a'}, "EF BF BD 61"},
      // The edges of the surrogate ranges.
      {std::u16string{0xD7FF, 0xDC00}, "ED 9F BF EF BF BD"},
      {std::u16string{0xD800, 0xDC00}, "F0 90 80 80"},
      {std::u16string{0xDBFF, 0xE000}, "EF BF BD EE 80 80"},
      {std::u16string{0xDC00, 0xDFFF}, "EF BF BD EF BF BD"},
      {std::u16string{0xE000, 0xDC00}, "EE 80 80 EF BF BD"},
      {u"", ""},
  };
  for (const Case& c : cases) {
    FString s(c.units.c_str());
    EXPECT_EQ(Hex(FStringToUtf8(&s)), c.hex);
  }
}

TEST_F(EngineStrings, ReadingStopsAtTheFirstZeroUnit) {
  FString s(u"abcd");
  s.data[2] = 0;
  EXPECT_EQ(FStringToUtf8(&s), "ab");  // count still says five
  EXPECT_EQ(FStringToUtf8(nullptr), "");
}

TEST_F(EngineStrings, NamesComeBackAsTheirText) {
  for (const char* text : {"Mossback", "Fr\xC3\xBCh", "\xF0\x9F\x98\x80", ""}) {
    FName name = Sandbox::MakeName(text);
    {
      FString out;
      FNameToFString(&name, &out);
      EXPECT_EQ(FStringToUtf8(&out), text);
    }
    EXPECT_EQ(Sandbox::LiveBlocks(), 0);
  }
}

}  // namespace
