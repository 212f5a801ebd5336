// Keyboard and text entry: the key snapshot and the key map, key_down, the typed-character
// queue fed by the window's character messages, and line entry.
#include "input/keyboard.h"

#include <cstring>

#include "core/runtime_state.h"
#include "input/input_devices.h"
#include "platform/input.h"
#include "platform/video.h"

namespace qrn {

namespace {

// A key_down call past this many since the last refresh refreshes the snapshot itself.
constexpr int32_t KEY_QUERIES_PER_REFRESH = 128;
// Frames without typing between two turns of the line-entry cursor, less one.
constexpr int32_t CURSOR_BLINK_FRAMES = 20;

struct KeyRange {
  uint8_t first_scan;
  const char* keys;  // one platform key per scan code, from first_scan on
};

// Scan codes read through the platform key of the same letter or digit (a German layout:
// scan code 21 is read through "Z" and 44 through "Y").
constexpr KeyRange kCharacterKeys[] = {
    {2, "1234567890"}, {16, "QWERTZUIOP"}, {30, "ASDFGHJKL"}, {44, "YXCVBNM"}};

struct KeyEntry {
  uint8_t scan;
  uint16_t key;
};

constexpr KeyEntry kOtherKeys[] = {
    {0, VK_RETURN},      {1, VK_ESCAPE},       {12, VK_OEM_4},       {13, VK_OEM_6},
    {14, VK_BACK},       {15, VK_TAB},         {26, VK_OEM_1},       {27, VK_OEM_PLUS},
    {28, VK_RETURN},     {29, VK_CONTROL},     {39, VK_OEM_3},       {40, VK_OEM_7},
    {41, VK_OEM_5},      {42, VK_SHIFT},       {43, VK_OEM_2},       {51, VK_OEM_COMMA},
    {52, VK_OEM_PERIOD}, {53, VK_OEM_MINUS},   {54, VK_SHIFT},       {55, VK_MULTIPLY},
    {56, VK_MENU},       {57, VK_SPACE},       {58, 0},              {69, VK_NUMLOCK},
    {70, VK_SCROLL},     {71, VK_NUMPAD0 + 7}, {72, VK_NUMPAD0 + 8}, {73, VK_NUMPAD0 + 9},
    {74, VK_SUBTRACT},   {75, VK_NUMPAD0 + 4}, {76, VK_NUMPAD0 + 5}, {77, VK_NUMPAD0 + 6},
    {78, VK_ADD},        {79, VK_NUMPAD0 + 1}, {80, VK_NUMPAD0 + 2}, {81, VK_NUMPAD0 + 3},
    {82, VK_NUMPAD0},    {83, VK_DECIMAL},     {86, VK_OEM_102},     {87, VK_F1 + 10},
    {88, VK_F1 + 11},    {156, VK_RETURN},     {157, VK_CONTROL},    {181, VK_DIVIDE},
    {184, VK_MENU},      {199, VK_HOME},       {200, VK_UP},         {201, VK_PRIOR},
    {203, VK_LEFT},      {205, VK_RIGHT},      {207, VK_END},        {208, VK_DOWN},
    {209, VK_NEXT},      {210, VK_INSERT},     {211, VK_DELETE},     {219, VK_LWIN},
    {220, VK_RWIN},      {221, VK_APPS},
};

}  // namespace

void build_key_map(InputDevices& input) {
  if (input.keyboard_device) {
    for (int32_t i = 0; i < 256; ++i) input.key_map[i] = static_cast<uint16_t>(i);
    return;
  }
  for (uint16_t& key : input.key_map) key = VK_NONE;
  for (const KeyRange& range : kCharacterKeys) {
    for (int32_t i = 0; range.keys[i]; ++i) {
      input.key_map[range.first_scan + i] = static_cast<uint16_t>(range.keys[i]);
    }
  }
  for (int32_t f = 0; f < 10; ++f) input.key_map[59 + f] = static_cast<uint16_t>(VK_F1 + f);
  for (const KeyEntry& entry : kOtherKeys) input.key_map[entry.scan] = entry.key;
}

void refresh_keys() {
  InputDevices* input = g_runtime.input;
  if (!input) return;
  // While another window is active the snapshot keeps what it held.
  if (!os_video().window_has_focus(g_runtime.window_handle)) return;
  if (input->keyboard_device) {
    if (!os_input().acquire_keyboard_device(input->keyboard_device, g_runtime.window_handle)) {
      os_input().acquire_keyboard_device(input->keyboard_device, g_runtime.window_handle);
    }
    uint8_t snapshot[256];
    if (os_input().read_keyboard_device(input->keyboard_device, snapshot)) {
      std::memcpy(input->key_snapshot, snapshot, sizeof snapshot);
    }
  } else {
    os_input().keyboard_state(input->key_snapshot);
  }
}

int32_t key_down(int32_t code) {
  RuntimeState& rt = g_runtime;
  if (++rt.key_query_counter > KEY_QUERIES_PER_REFRESH) {
    rt.key_query_counter = 0;
    refresh_keys();
  }
  InputDevices* input = rt.input;
  if (!input) return 0;
  code &= 0xFF;
  if (input->keyboard_device) return (input->key_snapshot[code] & 0x80) ? 1 : 0;
  uint16_t key = input->key_map[code];
  if (key == 0 || key == VK_NONE) return 0;
  return os_input().virtual_key_state(key) ? 1 : 0;
}

void push_typed_char(int8_t c) {
  InputDevices* input = g_runtime.input;
  if (!input) return;
  uint8_t byte = static_cast<uint8_t>(c);
  if (byte == 0) return;
  if (byte == 13) byte = 10;
  if (byte < 32 && byte != 8 && byte != 9 && byte != 10) return;
  GrowableBuffer<int8_t>& queue = input->typed_chars;
  if (queue.count >= TYPED_CHAR_LIMIT) return;
  if (!queue.reserve(queue.count + 1)) return;
  queue.data[queue.count++] = static_cast<int8_t>(byte);
}

int8_t pop_typed_char() {
  InputDevices* input = g_runtime.input;
  if (!input || input->typed_chars.count <= 0) return 0;
  GrowableBuffer<int8_t>& queue = input->typed_chars;
  int8_t first = queue.data[0];
  std::memmove(queue.data, queue.data + 1, static_cast<size_t>(queue.count - 1));
  --queue.count;
  return first;
}

bool any_typed_char() { return pop_typed_char() != 0; }

RtString take_typed_char() {
  char c = static_cast<char>(pop_typed_char());
  if (c == 0) return RtString();
  const char text[2] = {c, 0};
  return RtString(text);
}

void edit_text_line(RtString& text, const std::function<void(const RtString& shown)>& show_frame,
                    const std::function<void()>& next_frame) {
  int32_t blink = 0;
  bool cursor_shown = false;
  for (;;) {
    next_frame();
    uint8_t c = static_cast<uint8_t>(pop_typed_char());
    if (c == 0) {
      if (++blink > CURSOR_BLINK_FRAMES) {
        blink = 0;
        cursor_shown = !cursor_shown;
      }
    } else if (c == 13 || c == 10) {
      return;
    } else if (c == 8) {
      if (!text.empty()) text.truncate_text(static_cast<int64_t>(text.length) - 1);
    } else {
      const char typed[2] = {static_cast<char>(c), 0};
      text.append(typed);
    }
    show_frame(cursor_shown ? text + "_" : text);
  }
}

}  // namespace qrn
