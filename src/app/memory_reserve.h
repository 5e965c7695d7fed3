#ifndef BREVON_APP_MEMORY_RESERVE_H_
#define BREVON_APP_MEMORY_RESERVE_H_

/// Readies the process for running out of memory, before anything else:
/// the run must be able to throw std::bad_alloc, catch it, say so and give
/// the server library back when not a byte more can be allocated. A process
/// that uses the server library and dies without NotesTerm can make the
/// server panic and restart.
void PrepareForMemoryExhaustion();

#endif  // BREVON_APP_MEMORY_RESERVE_H_
