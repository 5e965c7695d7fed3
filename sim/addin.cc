// An extension library of the simulated server library's: it only has to
// be found.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
