#pragma once

class fmLink;

// For the benchmarks: with LINKWELL_START_PROBE=list the program ends as soon as the window
// has painted its list (with rows, or ready and empty), with =ready once the search is ready
// too; it first prints "rows=N rss_kb=N hwm_kb=N" on standard output. Otherwise nothing.
namespace StartProbe {

void watch(fmLink &window);

} // namespace StartProbe
