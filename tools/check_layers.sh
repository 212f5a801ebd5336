#!/usr/bin/env bash
# Checks the runtime's layering on its #include lines: a layer includes headers of its own
# layer and of the layers below it only, and nothing outside runtime/platform/ includes
# SDL, X11, GStreamer or operating-system headers. Prints every offending line; exit 1 if any.
# The link side is checked by the build (qrn_layer_check_<layer>, runtime/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/../runtime"

# The layers each layer may include, its own included.
declare -A allowed=(
  [platform]="platform"
  [core]="core platform"
  [files]="files core platform"
  [gfx]="gfx files core platform"
  [input]="input files core platform"
  [host]="host gfx input files core platform"
  [sound]="sound host gfx input files core platform"
  [net]="net host gfx input files core platform"
  [3d]="3d host gfx input files core platform"
  [path]="path core platform"
)
# System headers that only the platform layer may use.
system_headers='^#include <(SDL|X11/|gst/|glib|unistd\.h|fcntl\.h|dlfcn\.h|pthread\.h|poll\.h|dirent\.h|pwd\.h|spawn\.h|signal\.h|netdb\.h|netinet/|arpa/|sys/)'

bad=0
for layer in "${!allowed[@]}"; do
  [ -d "$layer" ] || continue
  while IFS= read -r -d '' file; do
    while IFS= read -r hit; do
      line=${hit%%:*}
      text=${hit#*:}
      target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$text")
      if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
        echo "runtime/$file:$line: layer $layer includes $target: $text"
        bad=1
      fi
    done < <(grep -n -E '^#include "[^/"]+/' "$file" || true)
    if [ "$layer" != platform ]; then
      while IFS= read -r hit; do
        echo "runtime/$file:${hit%%:*}: a system header outside the platform layer: ${hit#*:}"
        bad=1
      done < <(grep -n -E "$system_headers" "$file" || true)
    fi
  done < <(find "$layer" -name '*.cpp' -print0 -o -name '*.h' -print0)
done
if [ "$bad" -eq 0 ]; then echo "check_layers: every include follows the layers"; fi
exit "$bad"
