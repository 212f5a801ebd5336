// Keyboard and text entry on the scripted platform: the snapshot and its refresh rule, the key
// map without a keyboard device, the typed-character queue and the line editor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_fixture.h"

namespace qrn::test {
namespace {

using KeyboardTest = InputTest;

TEST_F(KeyboardTest, SnapshotAnswersByTheLowEightBitsOfTheCode) {
  open();
  fake->keys[1] = 1;      // Escape
  fake->keys[156] = 1;    // keypad Enter
  poll_input_frame();
  EXPECT_EQ(key_down(1), 1);
  EXPECT_EQ(key_down(257), 1);
  EXPECT_EQ(key_down(-255), 1);
  EXPECT_EQ(key_down(156), 1);
  EXPECT_EQ(key_down(28), 0) << "with a device the keypad Enter is its own key";
  fake->virtual_keys[VK_RETURN] = true;
  EXPECT_EQ(key_down(0), 0);
}

TEST_F(KeyboardTest, SnapshotIsRefreshedEachFrameAndEvery129thQuery) {
  open();
  poll_input_frame();
  fake->keys[30] = 1;
  for (int32_t i = 0; i < 128; ++i) ASSERT_EQ(key_down(30), 0) << "query " << i + 1;
  EXPECT_EQ(key_down(30), 1);
  fake->keys[30] = 0;
  EXPECT_EQ(key_down(30), 1);
  poll_input_frame();
  EXPECT_EQ(key_down(30), 0);
}

TEST_F(KeyboardTest, SnapshotIsFrozenWhileAnotherWindowIsActive) {
  open();
  fake->keys[42] = 1;
  poll_input_frame();
  fake->focus_window = nullptr;
  fake->keys[42] = 0;
  int32_t reads = fake->keyboard_reads;
  poll_input_frame();
  EXPECT_EQ(key_down(42), 1);
  EXPECT_EQ(fake->keyboard_reads, reads);
}

TEST_F(KeyboardTest, KeyboardThatCannotBeAcquiredAtFirstIsRetriedOnRefresh) {
  fake->focus_window = nullptr;
  open();
  EXPECT_NE(log().find("can't aquire keyboard - first try\n"), std::string::npos);
  ASSERT_NE(input().keyboard_device, nullptr);
  EXPECT_EQ(input().key_map[200], 200) << "identity map with a device";
  fake->focus_window = window;
  fake->keys[57] = 1;
  poll_input_frame();
  EXPECT_EQ(key_down(57), 1);
}

TEST_F(KeyboardTest, WithoutAKeyboardDeviceKeysAreReadThroughTheKeyMap) {
  fake->keyboard_available = false;
  open();
  ASSERT_EQ(input().keyboard_device, nullptr);
  fake->virtual_keys[VK_RETURN] = true;
  EXPECT_EQ(key_down(28), 1);
  EXPECT_EQ(key_down(156), 1) << "the keypad Enter reads like the main Enter";
  EXPECT_EQ(key_down(0), 1);
  fake->virtual_keys[VK_RETURN] = false;

  fake->virtual_keys['Z'] = true;  // German layout: scan code 21 is read through "Z"
  EXPECT_EQ(key_down(21), 1);
  EXPECT_EQ(key_down(44), 0);
  fake->virtual_keys['Y'] = true;
  EXPECT_EQ(key_down(44), 1);
  fake->virtual_keys[VK_F1 + 3] = true;
  EXPECT_EQ(key_down(62), 1);
  fake->virtual_keys[VK_DIVIDE] = true;
  EXPECT_EQ(key_down(181), 1);

  // Caps Lock and codes outside the table never read as held.
  for (bool& key : fake->virtual_keys) key = true;
  EXPECT_EQ(key_down(58), 0);
  EXPECT_EQ(key_down(84), 0);
  EXPECT_EQ(key_down(255), 0);
}

TEST_F(KeyboardTest, TypedQueueKeepsSixteenCharactersAndDropsMostControlCharacters) {
  open();
  const std::string typed = "abcdefghijklmnopqrst";  // 20 characters between two frames
  for (char c : typed) push_typed_char(static_cast<int8_t>(c));
  std::string taken;
  for (RtString c = take_typed_char(); !c.empty(); c = take_typed_char()) taken += c.c_str();
  EXPECT_EQ(taken, typed.substr(0, 16));
  EXPECT_FALSE(any_typed_char());

  const int8_t control[] = {13, 27, 1, 0, 31, 8, 9, 10, 127, static_cast<int8_t>(0xE9)};
  for (int8_t c : control) push_typed_char(c);
  std::vector<int32_t> got;
  for (int8_t c = pop_typed_char(); c != 0; c = pop_typed_char()) got.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(got, (std::vector<int32_t>{10, 8, 9, 10, 127, 0xE9}));
  push_typed_char(static_cast<int8_t>(0xE9));
  RtString c = take_typed_char();
  ASSERT_EQ(c.length, 1u);
  EXPECT_EQ(static_cast<uint8_t>(c.data[0]), 0xE9);
}

// Runs the line editor with a script: before frame n the characters of script[n] are typed.
struct EditRun {
  std::vector<std::string> shown;  // what each frame showed
};

EditRun edit(RtString& text, const std::vector<std::string>& script) {
  EditRun run;
  size_t frame = 0;
  edit_text_line(
      text, [&](const RtString& shown) { run.shown.push_back(shown.c_str()); },
      [&] {
        if (frame < script.size()) {
          for (char c : script[frame]) push_typed_char(static_cast<int8_t>(c));
        } else if (frame > 200) {
          push_typed_char('\r');  // a runaway script still ends
        }
        ++frame;
      });
  return run;
}

TEST_F(KeyboardTest, LineEditorAppendsAndCutsUntilEnter) {
  open();
  RtString text = "ab";
  EditRun run = edit(text, {"c\b\b\r"});
  EXPECT_STREQ(text.c_str(), "a");
  EXPECT_EQ(run.shown, (std::vector<std::string>{"abc", "ab", "a"}));

  RtString empty;
  edit(empty, {"\b\bx\t\r"});
  EXPECT_STREQ(empty.c_str(), "x\t");
}

TEST_F(KeyboardTest, LineEditorCursorTurnsEvery21IdleFramesAndNotWhileTyping) {
  open();
  RtString text = "n";
  std::vector<std::string> script(60);
  script[10] = "o";  // typing in between does not count toward the blink
  script[59] = "\r";
  EditRun run = edit(text, script);
  ASSERT_EQ(run.shown.size(), 59u);
  EXPECT_EQ(run.shown[20], "no");  // 20 idle frames so far
  EXPECT_EQ(run.shown[21], "no_");  // the 21st idle frame shows the cursor
  EXPECT_EQ(run.shown[41], "no_");
  EXPECT_EQ(run.shown[42], "no");
  EXPECT_STREQ(text.c_str(), "no");
}

}  // namespace
}  // namespace qrn::test
