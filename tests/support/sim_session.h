#ifndef BREVON_TESTS_SUPPORT_SIM_SESSION_H_
#define BREVON_TESTS_SUPPORT_SIM_SESSION_H_

#include <windows.h>

#include <string>
#include <vector>

#include "notes/notes_api.h"
#include "scratch.h"

// A scratch data directory for the simulated server library, made the current
// directory, with the library's call log kept in it. The real binding loads
// the simulator from its build folder through the dll directory.
class SimSession {
 public:
  /// Writes notes.ini and, unless `namesNsf` is null, names.nsf.
  SimSession(const std::string& notesIni, const char* namesNsf);
  ~SimSession();

  /// Binds the API through BindNotesApi and initialises it.
  bool Start();
  /// Terminates and unbinds, as the partition run does.
  void Stop();

  std::wstring directory() const { return directory_; }
  /// The simulator's call log so far.
  std::string Log() const;

  HMODULE library = nullptr;

 private:
  std::wstring directory_;
  std::wstring previousDirectory_;
  bool started_ = false;
};

/// True when every slot of g_notes is null.
bool NotesApiIsEmpty();

/// The names of the entry points that BindNotesApi resolves, in its order.
std::vector<std::string> NotesApiEntryNames();

/// Empty when every "term" line of `log` balances every kind of object and
/// there is no "misuse" line; otherwise what is wrong.
std::string UnbalancedObjects(const std::string& log);

#endif  // BREVON_TESTS_SUPPORT_SIM_SESSION_H_
