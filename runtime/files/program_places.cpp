// Places of an installed program's files (see program_places.h).
#include "files/program_places.h"

#include <string>

#include "files/file_stream.h"
#include "platform/platform.h"

namespace qrn {

namespace {

// The program file as "/"-separated folder and name.
bool program_folder_and_name(std::string& folder, std::string& name) {
  std::string path = os_process().program_path();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 >= path.size()) return false;
  folder = path.substr(0, slash);
  name = path.substr(slash + 1);
  return true;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

RtString program_data_folder() {
  std::string folder, name;
  if (!program_folder_and_name(folder, name) || !is_contained_name(name.c_str())) return RtString();
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos || folder.compare(slash + 1, std::string::npos, "bin") != 0) return RtString();
  std::string data = folder.substr(0, slash) + "/share/" + name;
  if (os_files().path_kind(data.c_str()) != PathKind::directory) return RtString();
  return RtString(data.c_str());
}

bool is_contained_name(const char* name) {
  if (!name || !*name || *name == '/' || *name == '\\') return false;
  if (name[1] == ':') return false;  // a drive letter
  const char* part = name;
  for (const char* at = name;; ++at) {
    if (*at == '/' || *at == '\\' || *at == 0) {
      size_t length = static_cast<size_t>(at - part);
      if (length == 0) return false;
      if (part[0] == '.' && (length == 1 || (length == 2 && part[1] == '.'))) return false;
      if (*at == 0) return true;
      part = at + 1;
    }
  }
}

RtString user_settings_folder() {
  std::string folder, name;
  if (!program_folder_and_name(folder, name) || !is_contained_name(name.c_str())) return RtString();
  // A relative XDG_CONFIG_HOME is not to be used; HOME's ".config" stands in for it.
  std::string base;
  bool xdg = os_process().env_get("XDG_CONFIG_HOME", base) && !base.empty() && base[0] == '/';
  if (!xdg) {
    if (!os_process().env_get("HOME", base) || base.empty() || base[0] != '/') return RtString();
    base += "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string result = base + "/" + name;
  if (result.size() > MAX_PATH_BYTES) return RtString();
  return RtString(result.c_str());
}

bool settings_fallback_path(const RtString& name, RtString& out) {
  out = RtString();
  if (!is_contained_name(name.data)) return false;
  char own_folder[MAX_PATH_BYTES + 1];
  if (!platform_path(folder_of(name.data).c_str(), own_folder)) return false;
  if (os_files().can_write_in(own_folder)) return false;
  RtString folder = user_settings_folder();
  if (folder.empty()) return false;
  std::string path = std::string(folder.data) + "/" + name.data;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() > MAX_PATH_BYTES) return false;
  out = RtString(path.c_str());
  return true;
}

bool make_folders_for(const char* path) {
  std::string folders = folder_of(path ? path : "");
  for (size_t at = 1; at <= folders.size(); ++at) {
    if (at != folders.size() && folders[at] != '/') continue;
    std::string prefix = folders.substr(0, at);
    PathKind kind = os_files().path_kind(prefix.c_str());
    if (kind == PathKind::directory) continue;
    if (kind != PathKind::missing || !os_files().make_directory(prefix.c_str())) return false;
  }
  return true;
}

}  // namespace qrn
