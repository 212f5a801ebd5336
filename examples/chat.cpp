// Network chat, two programs or more: one hosts, the others join; every line typed (Enter
// sends it) goes to everyone in the chat.
//   chat [-p PORT] host NAME [MESSAGE]
//   chat [-p PORT] join ADDRESS NAME [MESSAGE]
// The port is 27910 unless given. A MESSAGE on the command line is sent by itself once
// somebody else is there. Every line shown is also written to standard output.
#include <quarnel/quarnel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "example_frames.h"

using namespace qrn;

namespace {

constexpr int32_t kWidth = 640, kHeight = 400, kShown = 17;

RtString g_lines[kShown];
int32_t g_count = 0;

void show_line(const RtString& line) {
  print_stdout(line + "\n");
  if (g_count == kShown) {
    for (int32_t i = 1; i < kShown; ++i) g_lines[i - 1] = g_lines[i];
    --g_count;
  }
  g_lines[g_count++] = line;
}

int usage() {
  std::fprintf(stderr, "usage: chat [-p PORT] host NAME [MESSAGE]\n       chat [-p PORT] join ADDRESS NAME [MESSAGE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t port = 0;  // 0: the default port
  int at = 1;
  if (at + 1 < argc && std::strcmp(argv[at], "-p") == 0) {
    port = std::atoi(argv[at + 1]);
    at += 2;
  }
  if (at >= argc) return usage();
  const bool hosting = std::strcmp(argv[at], "host") == 0;
  if (!hosting && std::strcmp(argv[at], "join") != 0) return usage();
  ++at;
  const char* address = nullptr;
  if (!hosting) {
    if (at >= argc) return usage();
    address = argv[at++];
  }
  if (at >= argc) return usage();
  RtString name = argv[at++];
  RtString scripted = at < argc ? RtString(argv[at]) : RtString();

  example::open_window(kWidth, kHeight, hosting ? "Chat (host)" : "Chat");
  set_background_colour(0x00202820);
  set_pause_enabled(0);  // the chat goes on while another window has the focus
  if (hosting ? !net_host(port) : !net_join(address, port)) {
    print_stdout(RtString(hosting ? "cannot host: " : "cannot join: ") + socket_error_text() + "\n");
    end_program();
  }
  const int32_t me = net_create_player(name);
  show_line(RtString(hosting ? "hosting as " : "joined as ") + name + " (player " + me + ")");

  RtString typing;
  for (;;) {
    for (RtString text = net_receive_message(me); !text.empty(); text = net_receive_message(me)) {
      show_line(net_player_name(net_message_sender()) + ": " + text);
    }
    if (int32_t gone = net_player_left()) show_line(RtString("player ") + gone + " left");
    if (!scripted.empty() && net_player_count() > 1) {
      net_send_message(me, 0, scripted);  // 0: everyone but me
      show_line(name + ": " + scripted);
      scripted = RtString();
    }
    for (RtString typed = take_typed_char(); !typed.empty(); typed = take_typed_char()) {
      unsigned char c = static_cast<unsigned char>(typed.data[0]);
      if ((c == '\r' || c == '\n') && !typing.empty()) {
        net_send_message(me, 0, typing);
        show_line(name + ": " + typing);
        typing = RtString();
      } else if (c == 8 && !typing.empty()) {
        typing.truncate_text(static_cast<int64_t>(typing.length) - 1);
      } else if (c >= 32) {
        typing = typing + typed;
      }
    }
    for (int32_t i = 0; i < g_count; ++i) print_text(g_lines[i], 8, 8 + example::kLine * i, 1);
    draw_rect(0, kHeight - 32, kWidth, 32, 0x00404840);
    print_text(RtString("> ") + typing + "_", 8, kHeight - 24, 1);
    RtString here = RtString(net_player_count()) + " here";
    print_text(here, kWidth - 8 - text_width(here, 1), kHeight - 24, 1);
    example::next_frame();
  }
}
