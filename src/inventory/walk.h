#ifndef BREVON_INVENTORY_WALK_H_
#define BREVON_INVENTORY_WALK_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/listing_lines.h"

/// Deepest level that is searched; the data directory is level 1.
constexpr uint16_t kMaxWalkDepth = 6;

/// Appends to `lines` the UTF-8 paths of the ".nsf" and ".box" files under
/// `directory`, depth-first, following ".dir" link files and leaving out the
/// server's web folders. A directory's own databases come after everything
/// that its subdirectories and links gave, each directory's in the order of
/// the search. Each directory is entered at most once per call, whatever
/// links, junctions or spellings lead to it: met again at a smaller depth,
/// it is searched for its subdirectories and links only, so that nothing
/// within the depth limit is lost and nothing is listed twice. A directory
/// that cannot be searched, or a `depth` over kMaxWalkDepth, adds nothing; a
/// path or a subtree that finds no memory is left out, noted as a loss of
/// `lines` (ListingLines::lost). A link that names another machine, a drive
/// mapped to a share or a device is not followed; a link file names the
/// folder on its first line, whatever follows. A stop that is asked meanwhile
/// (StopRequested) ends the walk before its next folder or batch of entries:
/// the result is then false, and what it added is not to be printed. Also
/// false when `directory` is null.
bool WalkDirectory(uint16_t depth, const wchar_t* directory, ListingLines& lines);

#endif  // BREVON_INVENTORY_WALK_H_
