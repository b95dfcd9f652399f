#include "interface/output_location.hpp"

#include <sys/stat.h>

#include <new>
#include <string_view>

namespace kestro {

OutputChange set_output_location(Context& context, const char* directory, const char* prefix) {
  const std::string_view dir = directory != nullptr ? directory : "";
  const std::string_view pre = prefix != nullptr ? prefix : "";
  report::OutputUnits& units = context.report.units;
  if (units.any_file_open()) return OutputChange::kFilesOpen;
  if (pre.find('/') != std::string_view::npos) return OutputChange::kBadName;
  if (dir.size() >= report::kMaxReportPath) return OutputChange::kBadName;
  if (!dir.empty()) {
    struct stat info {};
    if (::stat(directory, &info) != 0 || !S_ISDIR(info.st_mode)) return OutputChange::kNoDirectory;
  }
  try {
    if (!units.set_location(dir, pre)) return OutputChange::kBadName;
  } catch (const std::bad_alloc&) {
    return OutputChange::kNoMemory;
  }
  return OutputChange::kTaken;
}

}  // namespace kestro
