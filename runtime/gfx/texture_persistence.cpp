// Texture persistence (see texture_persistence.h and texture_persistence_internal.h).
//
// The file lies in the shared temporary folder under a name others can guess, so it is made
// only as a new file of this user's (mode 0600, never through a link someone placed there)
// and read back only from a regular file this user owns. Every record is checked against the
// bytes left in the file before anything is allocated or read for it.
#include "gfx/texture_persistence.h"

#include <cstdio>
#include <random>
#include <string>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "gfx/texture_persistence_internal.h"
#include "platform/platform.h"

namespace qrn {

namespace {

// The file's number, chosen once: the process id in the low 22 bits (no two processes
// running at a time share it; Linux ids stay below 2^22) and random bits above it.
uint32_t process_number() {
  const uint32_t pid = static_cast<uint32_t>(os_process().process_id()) & 0x3FFFFFu;
  std::random_device random;
  return (static_cast<uint32_t>(random()) << 22) | pid;
}

}  // namespace

// ---- The file ------------------------------------------------------------------------------

RtString persistence_file_name() {
  static std::string name;  // one name for the whole process
  if (name.empty()) {
    std::string folder = os_process().temp_folder();
    if (folder.empty()) folder = "/tmp";
    for (char& c : folder) {
      if (c == '\\') c = '/';
    }
    if (folder.back() != '/') folder += '/';
    char file[32];
    std::snprintf(file, sizeof file, "qrntxs%x.bin", process_number());
    name = folder + file;
  }
  return RtString(name.c_str());
}

void delete_persistence_file() {
  char path[MAX_PATH_BYTES + 1];
  RtString name = persistence_file_name();
  if (platform_path(name.data, path)) os_files().remove_file(path);
}

bool OpenGLZodidoze::save_textures() {
  RtString name = persistence_file_name();
  std::string line = "move textures from mem to temp file\n   \"" + std::string(name.data) + "\"\n";
  log_write(line.c_str());
  FileStream file;
  if (!stream_open_private_write(file, name.data)) return false;
  bool whole = true;
  Image image;
  std::vector<uint8_t> record;
  for (int32_t id = 0; id <= PERSISTED_MAX_ID && whole; ++id) {
    if (sprites[id].width < 1) continue;
    // A sprite whose pixels cannot be read is left out rather than written as an empty
    // record, which would end the restore there.
    if (!read_sprite_pixels(id, image)) {
      whole = false;
      continue;
    }
    record.clear();
    append_texture_record(record, id, image);
    whole = stream_write(file, record.data(), record.size()) != 0;
  }
  stream_close(file);
  log_write("   ...done\n");
  return whole;
}

bool OpenGLZodidoze::restore_textures() {
  log_write("restoring textures from temp file\n");
  RtString name = persistence_file_name();
  FileStream file;
  if (!stream_open_owned_read(file, name.data)) return false;
  const bool all = read_texture_records(file, [this](int32_t id, Image& image) {
    return create_sprite_from_image(id, image, false);
  });
  stream_close(file);
  delete_persistence_file();
  log_write("   ...done\n");
  return all;
}

bool OpenGLZodidoze::restore_textures_in_new_context() {
  // The old context's texture and framebuffer names mean nothing here (or, where the new
  // context shares its textures, are released here). The screens keep their sprites so that
  // the restore builds their framebuffers again.
  int32_t screen_sprites[OFFSCREEN_COUNT];
  for (int32_t s = 0; s < OFFSCREEN_COUNT; ++s) screen_sprites[s] = offscreen[s].width ? offscreen[s].sprite : -1;
  invalidate_gl_state();
  gl_forget_context_objects();
  delete_all_images();
  for (int32_t s = 0; s < OFFSCREEN_COUNT; ++s) offscreen[s].sprite = screen_sprites[s];
  const bool all = restore_textures();
  for (OffscreenScreen& r : offscreen) {
    if (r.width == 0) r.sprite = -1;  // its sprite did not come back
  }
  return all;
}

bool persist_textures(int32_t restore) {
  OpenGLZodidoze* device = g_runtime.device;
  if (!device) return false;
  return restore ? device->restore_textures() : device->save_textures();
}

}  // namespace qrn
