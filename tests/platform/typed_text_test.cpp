// Typed text from the system arrives as UTF-8 and becomes the runtime's 8-bit characters.
#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(TypedText, Utf8BecomesLatin1BytesAndEverythingElseAQuestionMark) {
  struct Case {
    const char* utf8;
    std::string bytes;
  } cases[] = {
      {"abc", "abc"},
      {"\xc3\xa9", "\xe9"},              // é
      {"\xc2\xa3" "5", "\xa3" "5"},      // £5
      {"\xe2\x82\xac", "?"},             // € is above 255
      {"\xf0\x9f\x98\x80!", "?!"},       // an emoji
      {"\x80x", "?x"},                   // a stray continuation byte
      {"\xc3", "?"},                     // cut short at the end
      {"\xe2\x82" "a", "?a"},            // cut short in the middle
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(qrn::typed_text_bytes(c.utf8), c.bytes) << c.utf8;
  EXPECT_EQ(qrn::typed_text_bytes(nullptr), "");
}
