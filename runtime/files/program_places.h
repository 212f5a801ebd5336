// Where an installed program finds its files: read-only data under "<prefix>/share/<name>"
// when the program lies in "<prefix>/bin", and a per-user settings folder
// ("$XDG_CONFIG_HOME/<name>", by default "~/.config/<name>") for settings files whose own
// folder cannot be written. <name> is the program file's name.
#pragma once

#include "core/text_value.h"

namespace qrn {

// The program's data folder, "<prefix>/share/<name>" for a program "<prefix>/bin/<name>"
// when that folder exists; "" otherwise (a program run from its build folder has none).
RtString program_data_folder();

// True for a name that stays inside the folder it is taken in: not empty, not absolute, no
// drive letter, no "." or ".." part, no empty part. Either slash separates parts.
bool is_contained_name(const char* name);

// The per-user settings folder of this program ("$XDG_CONFIG_HOME/<name>", or
// "$HOME/.config/<name>" when XDG_CONFIG_HOME is not set to an absolute path); "" when
// neither gives one.
RtString user_settings_folder();

// For a settings file named relative to the working directory whose folder this process
// cannot write in: true, with out the same name under user_settings_folder(). False (out
// empty) when the name's own folder can be written, the name is not contained, or there is
// no settings folder.
bool settings_fallback_path(const RtString& name, RtString& out);

// Makes every missing folder on the way to the file at path (the file itself is not made).
// False when one could not be made.
bool make_folders_for(const char* path);

}  // namespace qrn
