// The video service on SDL2: video, windows with an OpenGL compatibility context (Mesa's
// llvmpipe where there is no GPU), buffer swaps, GL entry points, the warning box and beep,
// the screen saver, and SDL's events mapped to the runtime's window messages.
#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

#include "platform/desktop_dialog.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

constexpr int32_t kMousePointerId = 1;  // the mouse as a pointer
constexpr int32_t kFirstFingerId = 2;
// SDL has one queue for every window; messages of a window nobody pumps are dropped once the
// translated queue is this long.
constexpr size_t kPendingLimit = 4096;

SDL_Window* sdl(WindowHandle window) { return static_cast<SDL_Window*>(window); }
WindowHandle window_of(Uint32 window_id) { return SDL_GetWindowFromID(window_id); }

// Character of Enter, Backspace, Tab and Escape, 0 for every other key.
int32_t control_character(SDL_Keycode key) {
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_ESCAPE: return 27;
    default: return 0;
  }
}

// The X11 display of a window, when SDL runs on X11.
void* x11_display() {
  SDL_Window* any = SDL_GetKeyboardFocus();
  if (!any) any = SDL_GetMouseFocus();
  if (!any) return nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(any, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  return info.info.x11.display;
}

class SdlVideo final : public VideoService {
 public:
  bool video_init() override {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // The runtime keeps the screen saver off itself while its window has the focus.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      remember_sdl_error("no display");
      return false;
    }
    // Without a display SDL falls back to drivers that show nothing (offscreen, dummy); a
    // program would then run unseen for ever. They serve only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);  // the hint, else the environment
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && !(asked && SDL_strcasestr(asked, driver))) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      const char* x_display = SDL_getenv("DISPLAY");
      video_error_ = x_display && *x_display ? std::string("no display: cannot open the X display ") + x_display
                                             : std::string("no display: DISPLAY is not set");
      return false;
    }
    return true;
  }

  void video_quit() override {
    if (context_) {
      if (SDL_GL_GetCurrentContext() == context_) glFinish();  // as in destroy_window
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
    }
    window_count_ = 0;  // SDL destroys the windows still open
    pending_.clear();
    finger_ids_.clear();
    pointer_positions_.clear();
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  ScreenRect display_bounds() override {
    SDL_Rect r{0, 0, 0, 0};
    if (!video_init() || SDL_GetDisplayBounds(0, &r) != 0) return VideoService::display_bounds();
    return {r.x, r.y, r.w, r.h};
  }

  ScreenRect display_usable_bounds() override {
    SDL_Rect r{0, 0, 0, 0};
    if (!video_init() || SDL_GetDisplayUsableBounds(0, &r) != 0) return display_bounds();
    return {r.x, r.y, r.w, r.h};
  }

  int32_t display_bits_per_pixel() override {
    SDL_DisplayMode mode;
    if (!video_init() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 24;
    return static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
  }

  bool display_has_mode(int32_t width, int32_t height, int32_t bits) override {
    if (!video_init()) return false;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
      if (mode.w != width || mode.h != height) continue;
      if (bits == 0 || static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format)) == bits) return true;
    }
    return false;
  }

  // Known only while video is running.
  int32_t display_dpi() override {
    float horizontal = 0.0f;
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDisplayDPI(0, nullptr, &horizontal, nullptr) != 0) return 0;
    return static_cast<int32_t>(horizontal + 0.5f);
  }

  std::string video_error() override { return video_error_; }

  WindowHandle create_window(const WindowRequest& request) override {
    if (!video_init()) return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    int colour = request.colour_bits > 24 ? 24 : request.colour_bits;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colour / 3);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colour / 3);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colour / 3);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.alpha_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.stencil_bits);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, request.samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, request.samples > 0 ? request.samples : 0);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_Window* window = SDL_CreateWindow(request.title ? request.title : "", 0, 0, request.width,
                                          request.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
      remember_sdl_error("no window");
      return nullptr;
    }
    // The context is made once and survives window re-creation, keeping every texture.
    if (context_ && SDL_GL_MakeCurrent(window, context_) == 0) {
      ++window_count_;
      return window;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
      remember_sdl_error("no OpenGL context");
      SDL_DestroyWindow(window);
      return nullptr;
    }
    if (context_) SDL_GL_DeleteContext(context_);
    context_ = context;
    ++window_count_;
    return window;
  }

  // The context goes with the last window, and only once the renderer is idle. SDL unloads
  // its GL driver data with the last GL window, after which deleting the context does
  // nothing; the context and its queued drawing would then be torn down inside the display's
  // close, where llvmpipe can stop one of its rasterizer threads while another is already
  // taking up the last queued frame, and the close waits for that thread for ever.
  void destroy_window(WindowHandle window) override {
    if (!window) return;
    bool last = window_count_ <= 1;
    if (last && context_ && SDL_GL_MakeCurrent(sdl(window), context_) == 0) glFinish();
    if (SDL_GL_GetCurrentWindow() == sdl(window)) SDL_GL_MakeCurrent(sdl(window), nullptr);
    if (last && context_) {
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
    }
    for (auto it = pending_.begin(); it != pending_.end();) {
      it = it->window == window ? pending_.erase(it) : it + 1;
    }
    SDL_DestroyWindow(sdl(window));
    if (window_count_ > 0) --window_count_;
  }

  void set_window_title(WindowHandle window, const char* title) override {
    if (window) SDL_SetWindowTitle(sdl(window), title ? title : "");
  }

  std::string window_title(WindowHandle window) override { return window ? SDL_GetWindowTitle(sdl(window)) : ""; }

  void show_window(WindowHandle window, bool shown) override {
    if (!window) return;
    if (shown) {
      SDL_ShowWindow(sdl(window));
    } else {
      SDL_HideWindow(sdl(window));
    }
  }

  void raise_window(WindowHandle window) override {
    if (window) SDL_RaiseWindow(sdl(window));
  }

  void set_window_decorated(WindowHandle window, bool decorated) override {
    if (!window) return;
    SDL_SetWindowBordered(sdl(window), decorated ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(sdl(window), SDL_FALSE);
  }

  // Full screen takes the display mode of exactly the window's size.
  void set_window_fullscreen(WindowHandle window, bool on) override {
    if (!window) return;
    if (!on) {
      SDL_SetWindowFullscreen(sdl(window), 0);
      return;
    }
    SDL_DisplayMode wanted{};
    SDL_GetWindowSize(sdl(window), &wanted.w, &wanted.h);
    SDL_DisplayMode closest;
    if (SDL_GetClosestDisplayMode(0, &wanted, &closest)) SDL_SetWindowDisplayMode(sdl(window), &closest);
    SDL_SetWindowFullscreen(sdl(window), SDL_WINDOW_FULLSCREEN);
  }

  void set_window_position(WindowHandle window, int32_t x, int32_t y) override {
    if (window) SDL_SetWindowPosition(sdl(window), x, y);
  }

  void set_window_size(WindowHandle window, int32_t width, int32_t height) override {
    if (window) SDL_SetWindowSize(sdl(window), width, height);
  }

  ScreenRect window_client_rect(WindowHandle window) override {
    ScreenRect r;
    if (!window) return r;
    SDL_GetWindowPosition(sdl(window), &r.x, &r.y);
    SDL_GetWindowSize(sdl(window), &r.width, &r.height);
    return r;
  }

  ScreenRect window_outer_rect(WindowHandle window) override {
    ScreenRect r = window_client_rect(window);
    int top = 0, left = 0, bottom = 0, right = 0;
    if (window && SDL_GetWindowBordersSize(sdl(window), &top, &left, &bottom, &right) == 0) {
      r.x -= left;
      r.y -= top;
      r.width += left + right;
      r.height += top + bottom;
    }
    return r;
  }

  bool window_has_focus(WindowHandle window) override {
    return window && (SDL_GetWindowFlags(sdl(window)) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }

  void swap_buffers(WindowHandle window) override {
    if (window) SDL_GL_SwapWindow(sdl(window));
  }

  bool set_swap_interval(int32_t interval) override { return SDL_GL_SetSwapInterval(interval) == 0; }

  void* gl_proc_address(const char* name) override {
    return name && video_init() ? SDL_GL_GetProcAddress(name) : nullptr;
  }

  void* current_gl_context() override { return SDL_GL_GetCurrentContext(); }

  // The X server's bell; SDL has none, so the call is looked up in the X library SDL loaded.
  void beep() override {
    void* display = x11_display();
    if (!display) return;
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!x11) return;
    using BellFn = int (*)(void*, int);
    using FlushFn = int (*)(void*);
    auto bell = reinterpret_cast<BellFn>(dlsym(x11, "XBell"));
    auto flush = reinterpret_cast<FlushFn>(dlsym(x11, "XFlush"));
    if (bell) bell(display, 0);
    if (flush) flush(display);
    dlclose(x11);
  }

  // In an unattended run nobody can answer the box: its text goes to standard error instead.
  void message_box(const char* title, const char* text) override {
    title = title ? title : "";
    text = text ? text : "";
    if (!unattended_run() && video_init() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title, text, nullptr) == 0) {
      return;
    }
    std::string line = std::string(title) + ": " + text + "\n";
    os_process().write_stderr(line.data(), line.size());
  }

  void allow_screen_saver(bool allowed) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    if (allowed) {
      SDL_EnableScreenSaver();
    } else {
      SDL_DisableScreenSaver();
    }
  }

  bool file_dialog(bool open, const FileFilters& filters, const std::string& start_dir,
                   std::string& chosen) override {
    return run_file_dialog(open, filters, start_dir, chosen);
  }

  bool next_message(WindowHandle window, WindowMessage& message) override {
    if (!peek_message(window, message)) return false;
    pending_.erase(pending_.begin() + find_pending(window));
    return true;
  }

  bool peek_message(WindowHandle window, WindowMessage& message) override {
    long at = find_pending(window);
    if (at < 0) {
      drain_sdl_queue();
      at = find_pending(window);
      if (at < 0) return false;
    }
    message = pending_[static_cast<size_t>(at)];
    if (!message.window) message.window = window;  // a quit request is the window's close request
    return true;
  }

  bool set_mouse_pointer_messages(bool on) override {
    mouse_pointer_messages_ = on;
    return true;
  }

  bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) override {
    auto found = pointer_positions_.find(pointer_id);
    if (found == pointer_positions_.end()) return false;
    x = found->second.first;
    y = found->second.second;
    return true;
  }

 private:
  void remember_sdl_error(const char* what) {
    const char* reason = SDL_GetError();
    video_error_ = std::string(what) + ((reason && *reason) ? std::string(": ") + reason : std::string());
  }

  void queue(MessageKind kind, WindowHandle window, int32_t code = 0, int32_t x = 0, int32_t y = 0) {
    if (pending_.size() >= kPendingLimit) pending_.pop_front();
    WindowMessage message;
    message.kind = kind;
    message.window = window;
    message.code = code;
    message.x = x;
    message.y = y;
    pending_.push_back(message);
  }

  void queue_pointer(MessageKind kind, WindowHandle window, int32_t id, int32_t x, int32_t y) {
    int32_t wx = 0, wy = 0;
    if (window) SDL_GetWindowPosition(sdl(window), &wx, &wy);
    pointer_positions_[id] = {wx + x, wy + y};
    queue(kind, window, id, x, y);
  }

  // A finger's pointer id: the one it got when it went down, else the smallest free one.
  int32_t finger_pointer_id(SDL_FingerID finger, bool claim) {
    auto found = finger_ids_.find(finger);
    if (found != finger_ids_.end()) return found->second;
    if (!claim) return 0;
    int32_t id = kFirstFingerId;
    for (bool taken = true; taken;) {
      taken = false;
      for (const auto& entry : finger_ids_) {
        if (entry.second == id) {
          taken = true;
          ++id;
          break;
        }
      }
    }
    finger_ids_[finger] = id;
    return id;
  }

  void translate_window_event(const SDL_WindowEvent& event) {
    WindowHandle window = window_of(event.windowID);
    switch (event.event) {
      case SDL_WINDOWEVENT_CLOSE: queue(MessageKind::close_request, window); break;
      case SDL_WINDOWEVENT_FOCUS_GAINED: queue(MessageKind::activate, window, ACTIVATED_BY_KEYBOARD); break;
      case SDL_WINDOWEVENT_FOCUS_LOST: queue(MessageKind::deactivate, window); break;
      case SDL_WINDOWEVENT_EXPOSED: queue(MessageKind::expose, window); break;
      default: break;
    }
  }

  void translate_finger(const SDL_TouchFingerEvent& event) {
    // Touch coordinates are relative to the window that has the touch focus.
    WindowHandle window = SDL_GetKeyboardFocus();
    if (!window) window = SDL_GetMouseFocus();
    int32_t w = 0, h = 0;
    if (window) SDL_GetWindowSize(sdl(window), &w, &h);
    int32_t x = static_cast<int32_t>(event.x * static_cast<float>(w));
    int32_t y = static_cast<int32_t>(event.y * static_cast<float>(h));
    if (event.type == SDL_FINGERDOWN) {
      queue_pointer(MessageKind::pointer_down, window, finger_pointer_id(event.fingerId, true), x, y);
    } else if (event.type == SDL_FINGERMOTION) {
      int32_t id = finger_pointer_id(event.fingerId, false);
      if (id) queue_pointer(MessageKind::pointer_update, window, id, x, y);
    } else {
      int32_t id = finger_pointer_id(event.fingerId, false);
      if (id) queue_pointer(MessageKind::pointer_up, window, id, x, y);
      finger_ids_.erase(event.fingerId);
    }
  }

  // Typed text arrives as UTF-8; the runtime's texts are 8-bit, so each character becomes
  // one byte (see typed_text_bytes).
  void queue_typed_text(WindowHandle window, const char* text) {
    for (unsigned char byte : typed_text_bytes(text)) queue(MessageKind::character, window, byte);
  }

  void translate(const SDL_Event& event) {
    switch (event.type) {
      case SDL_QUIT: queue(MessageKind::close_request, nullptr); break;
      case SDL_WINDOWEVENT: translate_window_event(event.window); break;
      case SDL_TEXTINPUT: queue_typed_text(window_of(event.text.windowID), event.text.text); break;
      case SDL_KEYDOWN: {
        WindowHandle window = window_of(event.key.windowID);
        queue(MessageKind::key_down, window, sdl_key_code(event.key.keysym.scancode));
        // Keys whose key-down is translated into a character although SDL sends no text.
        int32_t control = control_character(event.key.keysym.sym);
        if (control) queue(MessageKind::character, window, control);
        break;
      }
      case SDL_KEYUP: {
        SDL_Scancode code = event.key.keysym.scancode;
        bool system = code == SDL_SCANCODE_LALT || code == SDL_SCANCODE_RALT || code == SDL_SCANCODE_F10;
        queue(system ? MessageKind::system_key_up : MessageKind::key_up, window_of(event.key.windowID),
              sdl_key_code(code));
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (mouse_pointer_messages_ && event.button.which != SDL_TOUCH_MOUSEID &&
            event.button.button == SDL_BUTTON_LEFT) {
          queue_pointer(event.type == SDL_MOUSEBUTTONDOWN ? MessageKind::pointer_down : MessageKind::pointer_up,
                        window_of(event.button.windowID), kMousePointerId, event.button.x, event.button.y);
        }
        break;
      case SDL_MOUSEMOTION:
        if (mouse_pointer_messages_ && event.motion.which != SDL_TOUCH_MOUSEID) {
          queue_pointer(MessageKind::pointer_update, window_of(event.motion.windowID), kMousePointerId,
                        event.motion.x, event.motion.y);
        }
        break;
      case SDL_FINGERDOWN:
      case SDL_FINGERMOTION:
      case SDL_FINGERUP: translate_finger(event.tfinger); break;
      default: break;
    }
  }

  // Moves everything SDL has queued into the translated queue.
  void drain_sdl_queue() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
  }

  // Index in the pending queue of the next message for window (a quit request belongs to
  // every window); -1 when none.
  long find_pending(WindowHandle window) const {
    for (size_t i = 0; i < pending_.size(); ++i) {
      if (pending_[i].window == window || pending_[i].window == nullptr) return static_cast<long>(i);
    }
    return -1;
  }

  SDL_GLContext context_ = nullptr;  // one context for the process; it outlives windows
  int window_count_ = 0;             // windows made by create_window and not yet destroyed
  std::string video_error_;
  bool mouse_pointer_messages_ = false;
  // Messages already taken from SDL's queue and translated, waiting for their window's pump.
  std::deque<WindowMessage> pending_;
  // Touch and pen pointers: the id each finger got, and the last screen position of each id.
  std::map<SDL_FingerID, int32_t> finger_ids_;
  std::map<int32_t, std::pair<int32_t, int32_t>> pointer_positions_;
};

}  // namespace

template <>
VideoService& real_service<VideoService>() {
  // Never destroyed: process-exit handlers may still ask for it.
  static VideoService* backend = new SdlVideo();
  return *backend;
}

std::string typed_text_bytes(const char* utf8) {
  std::string bytes;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
  while (*at) {
    uint32_t lead = *at++;
    uint32_t code = '?';
    int extra = 0;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xF0) {
      code = lead & 0x07u;
      extra = 3;
    } else if (lead >= 0xE0) {
      code = lead & 0x0Fu;
      extra = 2;
    } else if (lead >= 0xC0) {
      code = lead & 0x1Fu;
      extra = 1;
    }  // else a stray continuation byte: "?"
    for (; extra > 0 && (*at & 0xC0) == 0x80; --extra) code = (code << 6) | (*at++ & 0x3Fu);
    if (extra > 0) code = '?';  // a sequence cut short
    bytes += static_cast<char>(code < 256 ? code : '?');
  }
  return bytes;
}

}  // namespace qrn
