#ifndef BREVON_NOTES_LIBRARY_SEARCH_H_
#define BREVON_NOTES_LIBRARY_SEARCH_H_

// Where the server library and its program directory are found.

/// Puts `directory` in front of the process's own PATH (quoted when it holds
/// a ";"), or makes it the whole PATH when there is none. The server library
/// finds its program directory through the folder of argv[0], and failing
/// that through PATH; the tool may be started from any folder. Nothing is
/// changed for an empty `directory`, or when the new value cannot be built.
void PutFirstInPath(const wchar_t* directory);

#endif  // BREVON_NOTES_LIBRARY_SEARCH_H_
