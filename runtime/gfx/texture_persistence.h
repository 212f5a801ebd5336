// Texture persistence: every sprite's pixels moved into a file in the temporary folder and
// back, so that sprites survive when the GL context has to be made anew.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// restore 0: writes every sprite (ids 0..65535, font textures included) into the
// persistence file. Otherwise: makes every sprite of the file again and deletes the file.
// False when the file cannot be written whole, cannot be opened, or a record is refused.
bool persist_textures(int32_t restore);
// The persistence file: "qrntxs<number>.bin" in the temporary folder, the number fixed for
// the process and different in every process running at the same time.
RtString persistence_file_name();

}  // namespace qrn
