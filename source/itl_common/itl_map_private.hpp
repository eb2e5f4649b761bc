// itl_map_private.hpp: what the sources of the name maps share.
#ifndef ITL_MAP_PRIVATE_HPP
#define ITL_MAP_PRIVATE_HPP

#include <cstdint>
#include <iosfwd>

#include "cos_filename.hpp"

class ItlClMapABase;

// The magic at offset 0 of a map file, 16 bytes, no terminator.
constexpr char ITL_MAP_MAGIC[] = "ITL-MAPFILE-1.00";
constexpr uint32_t ITL_MAP_MAGIC_SIZE = 16;
// Origin of the file failures of a map.
constexpr char ITL_MAP_FILE_ORIGIN[] = "source/itl_common/itl_map_abase:473";
constexpr unsigned ITL_MAP_FILE_LINE = 473;

// Writes the name (up to its NUL, at most `length` bytes) to `out`.
void itlMapWriteName(std::ostream& out, char const* name, uint32_t length);
// "<index directory>/<index name>.<map name>~": where a commit across file
// systems copies the shadow before renaming it over the map file.
CosClFilename itlMapCommitCopyName(ItlClMapABase const& map);
// Raises `reason` (17 or 18) for file `name` with the map's file origin:
// context = the file name.
[[noreturn]] void itlMapRaiseFileError(int reason, char const* name);

#endif  // ITL_MAP_PRIVATE_HPP
