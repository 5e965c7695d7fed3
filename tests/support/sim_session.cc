#include "sim_session.h"

#include <cstdio>
#include <sstream>

#include "notes/library_search.h"
#include "test_env.h"

SimSession::SimSession(const std::string& notesIni, const char* namesNsf) {
  directory_ = MakeScratchDirectory(L"brevon-sim");
  WriteFileBytes(directory_ + L"\\notes.ini", notesIni);
  if (namesNsf != nullptr) WriteFileBytes(directory_ + L"\\names.nsf", namesNsf);
  SetEnvironmentVariableW(L"NNOTES_SIM_LOG", (directory_ + L"\\calls.log").c_str());
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  previousDirectory_ = current;
  SetCurrentDirectoryW(directory_.c_str());
  UseProgramDirectory(SimulatorDirectory());
}

SimSession::~SimSession() {
  if (started_) Stop();
  SetCurrentDirectoryW(previousDirectory_.c_str());
  UseProgramDirectory(L"");
  SetEnvironmentVariableW(L"NNOTES_SIM_LOG", nullptr);
  RemoveTree(directory_);
}

bool SimSession::Start() {
  library = nullptr;
  if (!BindNotesApi(library)) return false;
  char program[] = "Brevon.exe";
  char* argv[] = {program, nullptr};
  if (g_notes.NotesInitExtended(1, argv) != kNotesNoError) return false;
  started_ = true;
  return true;
}

void SimSession::Stop() {
  UnbindNotesApi(library);
  started_ = false;
}

std::string SimSession::Log() const {
  std::string log;
  FILE* file = _wfopen((directory_ + L"\\calls.log").c_str(), L"rb");
  if (file == nullptr) return log;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) log.append(chunk, got);
  fclose(file);
  return log;
}

bool NotesApiIsEmpty() {
  bool empty = true;
#define NOTES_API_SLOT_IS_NULL(name, result, parameters) \
  if (g_notes.name != nullptr) empty = false;
  NOTES_API_ENTRY_POINTS(NOTES_API_SLOT_IS_NULL)
#undef NOTES_API_SLOT_IS_NULL
  return empty;
}

std::vector<std::string> NotesApiEntryNames() {
  return {
#define NOTES_API_NAME(name, result, parameters) #name,
      NOTES_API_ENTRY_POINTS(NOTES_API_NAME)
#undef NOTES_API_NAME
  };
}

std::string UnbalancedObjects(const std::string& log) {
  std::istringstream lines(log);
  std::string line;
  std::string problems;
  int terms = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("misuse", 0) == 0) problems += line + "\n";
    if (line.rfind("term ", 0) != 0) continue;
    ++terms;
    std::istringstream fields(line.substr(5));
    std::string kind, counts;
    while (fields >> kind >> counts) {
      size_t slash = counts.find('/');
      if (slash == std::string::npos || counts.substr(0, slash) != counts.substr(slash + 1)) {
        problems += kind + " " + counts + " in \"" + line + "\"\n";
      }
    }
  }
  if (terms == 0) problems += "no term line in the call log:\n" + log;
  return problems;
}
