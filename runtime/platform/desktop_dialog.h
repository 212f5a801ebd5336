// File dialogs shown by the desktop's dialog program (zenity, a Debian-packaged GTK dialog
// tool), for the video service.
#pragma once

#include <string>

#include "platform/video.h"

namespace qrn {

// Runs the dialog and gives the chosen path; false when cancelled, unattended, without a
// display or without the dialog program.
bool run_file_dialog(bool open, const FileFilters& filters, const std::string& start_dir, std::string& chosen);

}  // namespace qrn
