// The runtime put together (see runtime.h). The lower layers run the steps of the layers
// above them (sound and music, the network game, the 3D engine) through RuntimeState::hooks;
// this file, the only one that sees every layer, installs those steps.
#include "runtime.h"

#include "3d/engine_3d.h"
#include "core/runtime_state.h"
#include "files/file_names.h"
#include "files/files_state.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "host/frame_loop.h"
#include "host/screen.h"
#include "host/startup.h"
#include "input/input_devices.h"
#include "net/net_game.h"
#include "platform/process.h"
#include "sound/music.h"
#include "sound/sound_device.h"

namespace qrn {

namespace {

void install_layer_hooks() {
  LayerHooks& hooks = g_runtime.hooks;
  hooks.shutdown = shutdown_runtime;
  hooks.start_network = [] { g_runtime.network = create_net_game(); };
  hooks.start_engine_3d = [] { g_runtime.engine_3d = new Zodidoze3D(g_runtime.device); };
  hooks.start_sound = [] {
    RuntimeState& rt = g_runtime;
    rt.sound = create_sound_device();
    rt.sound_channels = create_sound_slots();
    open_sound_device(rt.window_handle);
    bind_sound_window(rt.window_handle);
  };
  hooks.engine_frame = [] {
    if (g_runtime.engine_3d) g_runtime.engine_3d->frame_step();
  };
  hooks.engine_reset = [] {  // the engine's defaults switch the shaders off too
    if (g_runtime.engine_3d) g_runtime.engine_3d->reset_frame_settings();
  };
  hooks.reset_viewport = [] { set_viewport(0, 0, 0, 0); };
  hooks.engine_viewport = [](int32_t x, int32_t y, int32_t width, int32_t height) {
    if (g_runtime.engine_3d) g_runtime.engine_3d->viewport_changed(x, y, width, height);
  };
  hooks.restart_music = restart_music_if_due;
  hooks.rebind_sound = [] { bind_sound_window(g_runtime.window_handle); };
  hooks.window_mode = [] {
    if (g_runtime.device) g_runtime.device->enter_window_mode();
  };
  hooks.stop_music = stop_music;
  hooks.shutdown_network = shutdown_network;
  hooks.release_sound = release_sound;
  hooks.destroy_engine_3d = [] {
    delete g_runtime.engine_3d;
    g_runtime.engine_3d = nullptr;
  };
}

}  // namespace

void start_runtime(ModuleHandle module, int32_t show_command, const char* caption) {
  install_layer_hooks();
  start_runtime_steps(module ? module : os_process().program_module(), show_command, caption);
}

void reset_runtime_state() {
  RuntimeState& rt = g_runtime;
  if (rt.network) shutdown_network();
  if (rt.input) release_input();
  if (rt.sound || rt.sound_channels) release_sound();
  stop_music();
  if (rt.device) rt.device->release_all();
  delete rt.device;
  rt.device = nullptr;
  delete rt.engine_3d;
  rt.engine_3d = nullptr;
  for (ResourceArchive*& archive : rt.resource_archives) {
    if (archive) release_resource_archive(archive);
    archive = nullptr;
  }
  release_files_state();
  release_gl_state();
  rt = RuntimeState();
  install_layer_hooks();
}

}  // namespace qrn
