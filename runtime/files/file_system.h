// File-system operations: the working directory, deleting, creating and copying, directory
// listings with a wildcard pattern, and the process environment. Paths use "/".
#pragma once

#include <cstdint>

#include "core/arrays.h"
#include "core/text_value.h"

namespace qrn {

// The working directory, ending with "/".
RtString get_current_directory();
// 1 on success; 0 and error 3 otherwise.
int32_t set_current_directory(const RtString& path);
// Removes an empty directory or deletes a file; nonzero on success.
int32_t delete_file(const RtString& path);
// Creates one directory (its parent must exist); 1 on success.
int32_t create_directory(const RtString& path);
// 1 when the path exists and is a directory.
int32_t is_directory(const RtString& path);
// Copies a file (a file of the resource archive too), replacing the destination; error 3
// when either cannot be opened. A copy that fails part way deletes the destination.
void copy_file(const RtString& source, const RtString& destination);
// "*" matches any run of bytes, "?" any one byte but ".", letters match either case;
// "*.*" matches every name. 1 on a match.
int32_t wildcard_match(const RtString& pattern, const RtString& name);
// Lists the working directory into target: its directories (all of them, "." and ".."
// included) then the files matching pattern, each group sorted ignoring case. Returns
// directories * 65536 + files.
int32_t list_directory(const RtString& pattern, RtArray<RtString>& target);
// A variable's value ("" when not set); the empty name gives every "name=value" entry,
// each followed by "\n".
RtString get_environment(const RtString& name);
// Sets a variable; an empty value removes it.
void set_environment(const RtString& name, const RtString& value);
// Every backslash becomes "/" (in place).
void slash_path(RtString& text);

}  // namespace qrn
