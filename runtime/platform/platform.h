// The platform layer: the operating-system services the runtime relies on, one header each.
// Nothing outside runtime/platform/ includes SDL, X11 or POSIX headers; the runtime reaches
// the system only through these services (see service.h for how a backend is chosen).
#pragma once

#include "platform/files.h"
#include "platform/input.h"
#include "platform/joysticks.h"
#include "platform/process.h"
#include "platform/video.h"
