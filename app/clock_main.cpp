// The clock's main routine (see clock_main.h).
#include "clock_main.h"

#include "clock_face.h"
#include "clock_menu.h"
#include "clock_state.h"
#include "day_cycle.h"
#include "quarnel.h"

namespace qrn {

namespace {

struct MediaFile {
  int32_t slot;
  const char* path;
};

const MediaFile kSprites[] = {
    {SPRITE_MENU, "Media/OV_Popup.png"},     {SPRITE_MINUTE_HAND, "Media/OV_Min.png"},
    {SPRITE_HOUR_HAND, "Media/OV_Hr.png"},    {SPRITE_MOON, "Media/OV_Moon.png"},
    {SPRITE_SUN, "Media/OV_Sun.png"},         {SPRITE_CYCLE_A, "Media/OV_Quilo.png"},
    {SPRITE_CYCLE_NIGHT, "Media/OV_Quilo1.png"}, {SPRITE_CYCLE_B, "Media/OV_Quilo2.png"},
    {SPRITE_CYCLE_PEAK, "Media/OV_Quilo3.png"}, {SPRITE_PEAK_DIAL, "Media/OV_SDial.png"},
    {SPRITE_SECOND_HAND, "Media/OV_Sec.png"}, {SPRITE_ABOUT, "Media/OV_About.png"},
};

const MediaFile kFonts[] = {
    {FONT_GRAY, "Media/Arial18BLtGray.png"}, {FONT_LIGHT_GREEN, "Media/Arial18BLtGreen.png"},
    {FONT_LIGHT_BLUE, "Media/Arial18BLtBlue.png"}, {FONT_YELLOW, "Media/Arial18BYellow.png"},
    {FONT_RED, "Media/Arial18BRed.png"},     {FONT_GREEN, "Media/Arial18BGreen.png"},
    {FONT_WHITE, "Media/Arial18BWhite.png"},
};

// The face the window shows, its background and when it was drawn.
struct ShownFace {
  FaceRecording face;
  const char* background = nullptr;
  double drawn_ms = 0.0;
};
ShownFace g_shown_face;

// The longest time a face is shown without being drawn again.
constexpr double REDRAW_MS = 1000.0;

// Two-digit field of the time text at position: 10 * tens + ones.
int32_t time_field(const RtString& time, int32_t position) {
  return 10 * digit_value(char_code_at(time, position)) + digit_value(char_code_at(time, position + 1));
}

}  // namespace

void read_current_time() {
  ClockState& c = g_clock;
  RtString time = platform_info("TIME");  // "YYYY-MM-DD hh:mm:ss"
  int32_t hour = time_field(time, 11);
  int32_t minute = time_field(time, 14);
  int32_t second = time_field(time, 17);
  if (c.test_mode) {
    c.now_hour = minute;
    c.now_minute = second;
    c.now_second = 0;
  } else {
    c.now_hour = hour;
    c.now_minute = minute;
    c.now_second = second;
  }
  if (c.now_hour > 23) c.now_hour %= 24;
}

bool clock_pass() {
  ClockState& c = g_clock;
  read_mouse(c.mouse_x, c.mouse_y, c.mouse_left, c.mouse_right);
  if (handle_click()) return true;
  read_current_time();
  compute_elapsed();
  to_12_hour(c.now_hour, c.now_hour, c.now_ampm);
  c.now_minute_text = c.now_minute <= 9 ? RtString("0") + c.now_minute : int_to_text(c.now_minute);
  const bool night = c.elapsed >= 480 && c.elapsed <= 959;
  const char* background = night ? "Media/OV_Back2.png" : "Media/OV_Back1.png";
  c.is_day = night ? 0 : 1;
  place_in_cycle();
  FaceRecording face;
  ClockCanvas* target = install_clock_canvas(&face);
  draw_clock_face();
  install_clock_canvas(target);
  const int32_t pause = c.test_mode ? FRAME_PAUSE_MS / 2 : FRAME_PAUSE_MS;
  // The same face over the same background within a second of its drawing is not drawn
  // again: the window keeps showing it and only the frame's other steps run. Once a second
  // it is drawn anew all the same, which also brings a changed background file or a
  // window uncovered since onto the screen.
  ShownFace& shown = g_shown_face;
  const double now = timer_ms();
  if (face == shown.face && background == shown.background && now - shown.drawn_ms < REDRAW_MS) {
    keep_screen();
    sleep_ms(pause);
    return false;
  }
  load_background(background);
  // load_background has drawn this pass's background into the back buffer, which is not
  // presented here: that would show the bare sky for a frame on every pass, a visible blink
  // of the face. The background is drawn without blending; the face is blended again (the
  // rest of the drawing state is as the previous show_screen reset it).
  set_alpha_mode(-1);
  face.replay(clock_canvas());
  show_screen();
  shown.face = std::move(face);
  shown.background = background;
  shown.drawn_ms = now;
  sleep_ms(pause);
  return false;
}

int32_t clock_main() {
  for (const MediaFile& sprite : kSprites) load_sprite(sprite.path, sprite.slot);
  for (const MediaFile& font : kFonts) load_font(font.path, font.slot);
  show_system_pointer(1.0);
  set_pause_enabled(0);
  set_screen_size(200, 200, 1);
  set_background_colour(0);
  set_transparent_colour(0);
  load_wake_time();
  g_clock.test_mode = 0;
  for (;;) {
    parse_wake_time();
    while (!clock_pass()) {
    }
  }
}

}  // namespace qrn
