#include "app/options.h"

#include <cstdio>
#include <cstring>

#include "version.h"

const char kProductDescription[] = BREVON_PRODUCT_DESCRIPTION;
const char kVersion[] = BREVON_VERSION_TEXT " ";
const char kRightsLine[] = BREVON_RIGHTS;
const char kExecutableName[] = BREVON_EXECUTABLE;

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

void PrintBanner() {
  printf("\n%s v%s\n", kProductDescription, kVersion);
  printf("%s\n\n", kRightsLine);
}

void PrintUsage() {
  printf("Usage: %s [Options]\n", kExecutableName);
  printf("Options:\n");
  printf("\t/names    List basic information\n");
  printf("\t/details  List detailed information\n");
  printf("\t/help     Print this help\n");
}
