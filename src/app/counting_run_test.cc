#include "app/counting_run.h"

#include <cstdio>
#include <string>

#include "app/run_partitions.h"
#include "base/stop_request.h"
#include "gtest/gtest.h"
#include "notes/library_search.h"

namespace {

const char* kBanner =
    "\nNorvell Mail Security command-line tool v" BREVON_PROJECT_VERSION " \n"
    "Copyright (C) 2019-2026 Norvell. All rights reserved.\n\n";

// A Ctrl+C the moment the handler is in place: where the report stood then.
long g_outputWhenInstalled = -1;
BOOL WINAPI InstallAndPressCtrlC(PHANDLER_ROUTINE, BOOL) {
  fflush(stdout);
  g_outputWhenInstalled = ftell(stdout);
  HandleConsoleControl(CTRL_C_EVENT);
  return TRUE;
}

TEST(CountMailboxes, StopsOnACtrlCFromBeforeTheBanner) {
  SetAddConsoleHandlerSeam(InstallAndPressCtrlC);
  char program[] = "Brevon.exe";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStdout();
  int code = CountMailboxes(1, argv, ReportOptions());
  std::string out = testing::internal::GetCapturedStdout();
  SetAddConsoleHandlerSeam(nullptr);
  ClearStopRequest();
  EXPECT_EQ(0, g_outputWhenInstalled) << "bytes of the report before the handler";
  EXPECT_EQ(std::string(kBanner) + "Error: interrupted.\n", out);
  EXPECT_EQ(kExitStopped, code);
}

// Windows without SetDefaultDllDirectories.
FARPROC NoKernelFunction(const char*) { return nullptr; }

TEST(RunPartitions, EndsWithOneWhenLibrariesCannotBeRestricted) {
  const LibrarySearchSeam old = {NoKernelFunction, LoadLibraryW};
  SetLibrarySearchSeam(&old);
  char program[] = "Brevon.exe";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStdout();
  int code = RunPartitions(1, argv, ReportOptions());
  std::string out = testing::internal::GetCapturedStdout();
  SetLibrarySearchSeam(nullptr);
  EXPECT_EQ("Error: unable to restrict where libraries are loaded from.\n", out);
  EXPECT_EQ(kExitStopped, code);
}

}  // namespace
