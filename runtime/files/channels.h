// File channels: eight numbered files that programs read and write.
#pragma once

namespace qrn {

// Closes every channel (the program's end).
void close_all_channels();

}  // namespace qrn
