// The refined fit on abrs_flight, a real light-grown plate: tops and collars against the marks
// made by eye (tests/data/abrs_flight/tracks.csv), one table.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace stemscan::benchmark {

// Runs StemScan (through `run`, which returns the exit status) on the photographs in `data`
// with the marked seedlings selected at their first tops, in `folder`, and prints the table;
// returns the number of runs that failed. Says so and returns 0 where `data` holds no
// photographs.
int lightGrownPlate(const std::string& data, const std::string& marksPath,
                    const std::string& folder,
                    const std::function<int(const std::vector<std::string>&)>& run);

}  // namespace stemscan::benchmark
