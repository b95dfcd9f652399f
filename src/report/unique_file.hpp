// Files created exclusively under a fresh name: the temporary files that are
// written whole and then renamed over their final name.
#pragma once

#include <string>

namespace kestro::report {

// Creates a new file `prefix`.XXXXXX (six characters chosen here) for
// writing, with O_EXCL and O_NOFOLLOW: never an existing file and never
// through a symbolic link. Its mode is 0666 less the umask, its descriptor
// close-on-exec. Returns the descriptor and sets `name`, or returns -1.
int create_unique_file(const std::string& prefix, std::string* name);

}  // namespace kestro::report
