// SimAllocationsFailFrom: the program's heap runs out while the library is
// initialised. The C runtime functions that the program imports to allocate
// (malloc, calloc, realloc of msvcrt.dll) are replaced in its import table,
// so that everything the program allocates, its C++ runtime included, goes
// through a counter; the library's own allocations do not.

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

typedef void*(__cdecl* Malloc)(size_t);
typedef void*(__cdecl* Calloc)(size_t, size_t);
typedef void*(__cdecl* Realloc)(void*, size_t);

Malloc g_malloc = nullptr;
Calloc g_calloc = nullptr;
Realloc g_realloc = nullptr;
uint64_t g_failFrom = 0;  // 1-based; 0 while nothing is replaced
uint64_t g_allocations = 0;

bool Fails() { return ++g_allocations >= g_failFrom; }

void* __cdecl CountedMalloc(size_t size) { return Fails() ? nullptr : g_malloc(size); }
void* __cdecl CountedCalloc(size_t count, size_t size) {
  return Fails() ? nullptr : g_calloc(count, size);
}
// A failing realloc leaves the block as it was; one that frees is no
// allocation.
void* __cdecl CountedRealloc(void* block, size_t size) {
  if (size != 0 && Fails()) return nullptr;
  return g_realloc(block, size);
}

void Swap(ULONG_PTR* slot, ULONG_PTR value) {
  DWORD protection;
  if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) return;
  *slot = value;
  VirtualProtect(slot, sizeof(*slot), protection, &protection);
}

// Calls `visit(name, slot)` for each function the program imports from
// msvcrt.dll by name.
template <typename Visit>
void ForEachRuntimeImport(Visit visit) {
  auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "msvcrt.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      visit(reinterpret_cast<const char*>(byName->Name), &slots->u1.Function);
    }
  }
}

}  // namespace

void FailAllocationsFrom(uint64_t first) {
  if (g_failFrom != 0 || first == 0) return;
  g_failFrom = first;
  g_allocations = 0;
  ForEachRuntimeImport([](const char* name, ULONG_PTR* slot) {
    if (strcmp(name, "malloc") == 0) {
      g_malloc = reinterpret_cast<Malloc>(*slot);
      Swap(slot, reinterpret_cast<ULONG_PTR>(CountedMalloc));
    } else if (strcmp(name, "calloc") == 0) {
      g_calloc = reinterpret_cast<Calloc>(*slot);
      Swap(slot, reinterpret_cast<ULONG_PTR>(CountedCalloc));
    } else if (strcmp(name, "realloc") == 0) {
      g_realloc = reinterpret_cast<Realloc>(*slot);
      Swap(slot, reinterpret_cast<ULONG_PTR>(CountedRealloc));
    }
  });
}

bool StopFailingAllocations(uint64_t* allocations) {
  if (g_failFrom == 0) return false;
  ForEachRuntimeImport([](const char* name, ULONG_PTR* slot) {
    if (strcmp(name, "malloc") == 0 && g_malloc) Swap(slot, reinterpret_cast<ULONG_PTR>(g_malloc));
    if (strcmp(name, "calloc") == 0 && g_calloc) Swap(slot, reinterpret_cast<ULONG_PTR>(g_calloc));
    if (strcmp(name, "realloc") == 0 && g_realloc) {
      Swap(slot, reinterpret_cast<ULONG_PTR>(g_realloc));
    }
  });
  g_failFrom = 0;
  *allocations = g_allocations;
  return true;
}

}  // namespace sim
