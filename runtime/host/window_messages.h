// Window messages and dialogs: the window procedure that turns focus changes into the pause
// state, ends the program on a close request, keeps the screen saver away while the program
// has the focus and hands pointer messages to input; the caption, console and file dialogs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

// The suffix the title carries while the program is paused.
constexpr const char* PAUSE_SUFFIX = " <pause>";

// Handles one message of the device window; the result is the platform's answer
// (1 for an erase-background request, else 0).
int32_t window_procedure(const WindowMessage& message);
// The message being pumped, for the program's "QRN_WIN32_MSG" hook.
const WindowMessage& current_window_message();
void set_current_window_message(const WindowMessage& message);

// The window title as the program set it (without the pause suffix).
RtString get_caption();
// Sets the window title and remembers it as the caption.
void set_caption(const char* caption);
// Connects standard input and output to a console the user can see.
void open_console();
// Shows the open (open non-zero) or save dialog with a "description|pattern|..." filter;
// the chosen path with "/" separators, or "NO_FILE".
RtString file_dialog(int32_t open, const RtString& filter);
// A filter text "description|pattern|description|pattern" as its (description, pattern)
// pairs; a description without a pattern is dropped.
std::vector<std::pair<std::string, std::string>> split_dialog_filter(const RtString& filter);

}  // namespace qrn
