// Runs one program and reports what it cost, so that tool and floor are
// measured the same way under Wine.
//
//   measure.exe OUTPUT_FILE PROGRAM [ARGUMENT...]
//
// The child's standard output goes to OUTPUT_FILE (standard error is
// inherited). Prints one line on standard output:
//   seconds S peak-working-set-mib W peak-pagefile-mib P exit-code E
// where S is the wall time from process creation to its end.

#include <windows.h>
#include <shellapi.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Quotes one argument the way CommandLineToArgvW reads it back.
void AppendQuoted(std::wstring& line, const wchar_t* argument) {
  line.push_back(L'"');
  size_t backslashes = 0;
  for (const wchar_t* p = argument; *p; ++p) {
    if (*p == L'\\') {
      ++backslashes;
      continue;
    }
    if (*p == L'"') line.append(backslashes * 2 + 1, L'\\');
    else line.append(backslashes, L'\\');
    backslashes = 0;
    line.push_back(*p);
  }
  line.append(backslashes * 2, L'\\');
  line.push_back(L'"');
}

double Mib(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count < 3) {
    fprintf(stderr, "usage: measure OUTPUT_FILE PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE output = CreateFileW(args[1], GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "measure: cannot create %ls\n", args[1]);
    return 2;
  }
  std::wstring line;
  for (int i = 2; i < count; ++i) {
    if (i > 2) line.push_back(L' ');
    AppendQuoted(line, args[i]);
  }

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof(process));

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(args[2], &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    fprintf(stderr, "measure: cannot start %ls (%lu)\n", args[2], GetLastError());
    return 2;
  }
  // Peak figures are sampled while the child runs as well: some systems
  // report nothing for a process that has ended.
  PROCESS_MEMORY_COUNTERS peak;
  ZeroMemory(&peak, sizeof(peak));
  for (;;) {
    DWORD waited = WaitForSingleObject(process.hProcess, 1);
    PROCESS_MEMORY_COUNTERS now;
    ZeroMemory(&now, sizeof(now));
    now.cb = sizeof(now);
    if (GetProcessMemoryInfo(process.hProcess, &now, sizeof(now))) {
      if (now.PeakWorkingSetSize > peak.PeakWorkingSetSize)
        peak.PeakWorkingSetSize = now.PeakWorkingSetSize;
      if (now.WorkingSetSize > peak.PeakWorkingSetSize) peak.PeakWorkingSetSize = now.WorkingSetSize;
      if (now.PeakPagefileUsage > peak.PeakPagefileUsage)
        peak.PeakPagefileUsage = now.PeakPagefileUsage;
      if (now.PagefileUsage > peak.PeakPagefileUsage) peak.PeakPagefileUsage = now.PagefileUsage;
    }
    if (waited != WAIT_TIMEOUT) break;
  }
  QueryPerformanceCounter(&end);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(output);

  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) /
                   static_cast<double>(frequency.QuadPart);
  printf("seconds %.6f peak-working-set-mib %.3f peak-pagefile-mib %.3f exit-code %lu\n", seconds,
         Mib(peak.PeakWorkingSetSize), Mib(peak.PeakPagefileUsage), exitCode);
  return 0;
}
