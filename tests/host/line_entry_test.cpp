// Line entry over the frame loop, on the scripted platform.
#include <gtest/gtest.h>

#include <string>

#include "host/line_entry.h"
#include "input/input_fixture.h"

namespace qrn::test {
namespace {

using LineEntryTest = InputTest;

// Line entry through the frame loop: the window's character messages are pumped by each
// show_screen and taken one per frame.
TEST_F(LineEntryTest, LineEntryReadsTheTypedLineAsANumber) {
  open();
  auto type = [&](const std::string& keys) {
    for (char c : keys) {
      WindowMessage message;
      message.kind = MessageKind::character;
      message.code = static_cast<uint8_t>(c);
      fake->messages.push_back(message);
    }
  };
  device->backgrounds[0].columns = 1;  // the program's background image stays its own
  device->backgrounds[0].textures[0] = 4321;
  type("12abc\r");
  int32_t whole = -1;
  read_text_line_int(whole, 10, 20, 1);
  EXPECT_EQ(whole, 12);
  EXPECT_EQ(device->backgrounds[0].textures[0], 4321u);
  EXPECT_EQ(device->backgrounds[3].columns, 0);
  device->backgrounds[0] = BackgroundImage();

  type("\r");
  read_text_line_int(whole, 0, 0, 0);
  EXPECT_EQ(whole, 0);
  type("-2.5e1\n");
  double real = 0.0;
  read_text_line_real(real, 0, 0, 0);
  EXPECT_EQ(real, -25.0);
}

}  // namespace
}  // namespace qrn::test
