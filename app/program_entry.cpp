// Program entry (see program_entry.h).
#include "program_entry.h"

#include "clock_main.h"
#include "platform/process.h"
#include "project_settings.h"

namespace qrn {

namespace {
const char* skip_blanks(const char* at) {
  while (*at == ' ' || *at == '\t') ++at;
  return at;
}
}  // namespace

const char* command_text_of(const char* line) {
  const char* at = skip_blanks(line ? line : "");
  if (*at == '"') {
    ++at;
    while (*at && *at != '"') ++at;
    if (*at == '"') ++at;
  } else {
    while (*at && *at != ' ' && *at != '\t') ++at;
  }
  return skip_blanks(at);
}

int command_line_entry(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  std::string line = os_process().command_line();
  RtString command_text = command_text_of(line.c_str());
  int32_t show = 10;  // show in the default way unless the start-up information says otherwise
  os_process().startup_show_command(show);
  return program_entry(os_process().program_module(), 0, command_text.data, show);
}

int32_t program_entry(ModuleHandle module, int32_t /*previous_instance*/, const char* /*command_text*/,
                      int32_t show_command) {
  RuntimeState& rt = g_runtime;
  rt.command_line = os_process().command_line().c_str();
  apply_project_settings();
  start_runtime(module, show_command, project_title().data);
  rt.error_code = 0;
  rt.error_line = 0;
  rt.source_line = 0;
  int32_t result = clock_main();
  if (find_callback("QRN_ON_LOOP")) run_by_name("QRN_ON_LOOP");
  end_program();
  return result;
}

}  // namespace qrn
