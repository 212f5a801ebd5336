# Sourced by the sanitizer and fuzz scripts: how the sanitized programs report. Undefined
# behaviour and memory errors end the program with a stack; leaks in the runtime are errors,
# those of the system's display, GL and audio libraries (kept until exit on purpose) are not.
# The end-to-end tests preload libfaketime: ASan need not be the first library then, and its
# allocator must not read the clock (libfaketime's clock allocates, which would deadlock it).
# QRN_DISPLAY_SANITIZER_OPTIONS are for programs on a display: Mesa and SDL leave allocations
# in driver modules they unload at exit, which no suppression can name, so leaks are not
# checked there (memory errors and undefined behaviour are).
QRN_SANITIZER_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0:allocator_release_to_os_interval_ms=-1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1}
QRN_DISPLAY_ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$QRN_SANITIZER_DIR/lsan.supp:print_suppressions=0}
