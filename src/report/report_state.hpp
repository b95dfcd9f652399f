// Saved state of the reporting entry, kept from one call to the next.
#pragma once

namespace kestro::report {

struct ReportState {};

}  // namespace kestro::report
