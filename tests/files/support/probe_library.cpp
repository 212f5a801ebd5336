// A library the foreign-call tests load: two functions, and a finaliser that appends
// "fini\n" to the file QRN_PROBE_MARK names when the library is finalised.
#include <cstdio>
#include <cstdlib>

extern "C" int qrn_probe_answer() { return 42; }
extern "C" int qrn_probe_twice(int value) { return 2 * value; }

__attribute__((destructor)) static void probe_finalised() {
  if (const char* mark = std::getenv("QRN_PROBE_MARK")) {
    if (FILE* f = std::fopen(mark, "ab")) {
      std::fputs("fini\n", f);
      std::fclose(f);
    }
  }
}
