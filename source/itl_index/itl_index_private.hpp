// itl_index_private.hpp: helpers shared by the index object's units.
#ifndef ITL_INDEX_PRIVATE_HPP
#define ITL_INDEX_PRIVATE_HPP

#include <string>

// The working directory's last component is this prefix and the index name.
constexpr char kItlIndexWorkDirPrefix[] = "TMP_";

// A create, copy or destroy mark of `name` is pending in `directory` (a
// location text ending in '/'): the index does not exist there.
bool itlIndexAdminHidesIndex(char const* directory, char const* name);
// Creates `path` with its missing parents; an existing directory is fine.
bool itlIndexMakeDirectories(std::string const& path);

#endif  // ITL_INDEX_PRIVATE_HPP
