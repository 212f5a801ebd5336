// Quarnel: a 2D runtime of free commands over one process-wide state record.
// A program includes only this header and links the quarnel library.
#pragma once

// Text values and commands, errors, callbacks
#include "core/errors.h"
#include "core/named_callbacks.h"
#include "core/text_commands.h"
#include "core/text_value.h"

// Host: runtime state, start-up, frame loop
#include "host/build_info.h"
#include "host/frame_loop.h"
#include "host/runtime_state.h"
#include "host/startup.h"

// Platform layer (for programs that need a platform service directly)
#include "platform/platform.h"
