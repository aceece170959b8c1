// Subdirectory lists, a unique directory name under the temporary path,
// deleting files by mask and removing a directory tree.
#pragma once

#include "platform/types.h"
#include "runtime/string_list.h"

namespace tarnwick {

// Appends "directory/name" for each subdirectory, in the file system's order,
// each followed by its own subdirectories when recursing; gives the number
// appended.  A link is no subdirectory, so the recursion never leaves the
// tree.  A directory that cannot be read contributes nothing.
Integer ListSubDirs(const string& directory, rtl::TStringList& list, bool recurse);

// A directory path that does not exist yet: an absolute base itself, else
// the temporary directory with the base below it; then "/name", or failing
// that "/name0", "/name1", ...  Nothing is created.  An empty name gives the
// directory itself.
string UniqueTempDir(const string& base, const string& name);

// Deletes the entries of the directory that match the mask and are not
// directories (a link is deleted as a link), from the last found to the
// first, and gives the number found.  "*" and "*.*" match every name, other
// masks as rtl::MatchesMask (a malformed one raises rtl::EMaskError before
// anything is deleted).  Failures are ignored; an empty directory name
// deletes nothing.
Integer DeleteFilesByMask(const string& directory, const string& mask);

// Removes the directory with everything in it; true when the directory is
// gone.  No link is followed: a link given as the directory removes nothing
// and answers false, a link inside is removed as a link.  A subdirectory of
// the caller's gets its owner write and search permission so that it can be
// emptied.  What cannot be removed stays.
bool RemoveDirTree(const string& directory);

}  // namespace tarnwick
