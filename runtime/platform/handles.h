// Opaque handles that cross the platform boundary. Null always means "none".
#pragma once

namespace qrn {

// A platform window.
using WindowHandle = void*;
// A loaded program or library module.
using ModuleHandle = void*;
// An open file.
using FileHandle = void*;
// An input system or device (mouse, keyboard).
using InputHandle = void*;

}  // namespace qrn
