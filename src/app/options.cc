#include "app/options.h"

#include <cstring>

void ParseArguments(int argc, char** argv, ReportOptions* options, bool* help) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) continue;
    if (strcmp(argument, "/names") == 0) options->names = true;
    if (strcmp(argument, "/details") == 0) options->details = true;
    if (strcmp(argument, "/help") == 0) *help = true;
    if (strcmp(argument, "/?") == 0) *help = true;
  }
}
