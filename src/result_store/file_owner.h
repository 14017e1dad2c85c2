// Whether a run may replace what stands at an output's path: nothing, or a file that StemScan
// wrote there before. A file is recognised as StemScan's by how it begins (a table's header),
// so that a user's file that happens to bear an output's name is never replaced.
#pragma once

#include <string>
#include <vector>

namespace stemscan {

// True when nothing is at `path`, or a regular file whose first bytes start with one of
// `signatures`; false for a user's file, a folder or a symbolic link.
bool mayReplace(const std::string& path, const std::vector<std::string>& signatures);

// True when `a` and `b` name the same file (or would, once created).
bool samePath(const std::string& a, const std::string& b);

}  // namespace stemscan
