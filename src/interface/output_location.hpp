// Where a context's report files are written: a directory and a prefix for
// their names.
#pragma once

#include "interface/context.hpp"

namespace kestro {

// The answer to a change of the location; the values are those of the C entry.
enum class OutputChange : int {
  kTaken = 0,
  kNoContext = 1,    // no context was given
  kFilesOpen = 2,    // report files of the context are open
  kNoDirectory = 3,  // the directory is not an existing directory
  kBadName = 4,      // the prefix has a '/', or a path would be too long
  kNoMemory = 5,
};

// Sets the directory (null or "" for the current one) and the prefix (null
// or "" for none) of the context's report files; nothing changes unless the
// answer is kTaken.
OutputChange set_output_location(Context& context, const char* directory, const char* prefix);

}  // namespace kestro
