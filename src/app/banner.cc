#include "app/banner.h"

#include "base/report_writer.h"
#include "version.h"

const char kProductDescription[] = BREVON_PRODUCT_DESCRIPTION;
const char kVersion[] = BREVON_VERSION_TEXT " ";
const char kRightsLine[] = BREVON_RIGHTS;
const char kExecutableName[] = BREVON_EXECUTABLE;

void PrintBanner() {
  WriteReport("\n%s v%s\n", kProductDescription, kVersion);
  WriteReport("%s\n\n", kRightsLine);
}

void PrintUsage() {
  WriteReport("Usage: %s [Options]\n", kExecutableName);
  WriteReport("Options:\n");
  WriteReport("\t/names    List basic information\n");
  WriteReport("\t/details  List detailed information\n");
  WriteReport("\t/csv:FILE List every person in a new CSV file\n");
  WriteReport("\t/help     Print this help\n");
}
