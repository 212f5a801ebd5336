// A program the process-launch tests start. It writes its arguments (argv[1] on, each
// followed by a NUL) to the file QRN_PROBE_OUT names, then one line with its open
// descriptors and the disposition of SIGPIPE to QRN_PROBE_INFO, sleeps QRN_PROBE_SLEEP_MS,
// and ends by the signal QRN_PROBE_SIGNAL or with the exit status QRN_PROBE_EXIT.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static int env_number(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : 0;
}

int main(int argc, char** argv) {
  if (const char* out = std::getenv("QRN_PROBE_OUT")) {
    std::string args;
    for (int i = 1; i < argc; ++i) args.append(argv[i]).push_back('\0');
    if (FILE* f = std::fopen(out, "wb")) {
      std::fwrite(args.data(), 1, args.size(), f);
      std::fclose(f);
    }
  }
  if (const char* info = std::getenv("QRN_PROBE_INFO")) {
    std::string fds;
    if (DIR* dir = opendir("/proc/self/fd")) {
      while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir)) fds += std::string(entry->d_name) + " ";
      }
      closedir(dir);
    }
    struct sigaction pipe_action {};
    sigaction(SIGPIPE, nullptr, &pipe_action);
    if (FILE* f = std::fopen(info, "wb")) {
      std::fprintf(f, "fds %ssigpipe %s", fds.c_str(), pipe_action.sa_handler == SIG_DFL ? "default" : "changed");
      std::fclose(f);
    }
  }
  if (int ms = env_number("QRN_PROBE_SLEEP_MS")) usleep(static_cast<useconds_t>(ms) * 1000);
  if (int sig = env_number("QRN_PROBE_SIGNAL")) raise(sig);
  return env_number("QRN_PROBE_EXIT");
}
