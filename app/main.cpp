// Process entry of the Orvela clock.
#include "program_entry.h"

int main(int argc, char** argv, char** envp) { return qrn::command_line_entry(argc, argv, envp); }
