#ifndef BREVON_BASE_REPORT_OPTIONS_H_
#define BREVON_BASE_REPORT_OPTIONS_H_

struct CsvFile;

/// What the report lists besides the counts, as the switches set it.
struct ReportOptions {
  bool names = false;    // "/names": a basic line per person
  bool details = false;  // "/details": a detailed line per person, and the databases
  // "/csv:FILE": the open file that gets a row per person, as each is read
  CsvFile* personList = nullptr;
};

#endif  // BREVON_BASE_REPORT_OPTIONS_H_
