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
// The same for files whose mark stands further in (a PDF's creator, a PNG's text chunk): true
// when nothing is at `path`, or a regular file that starts with `prefix` and holds `mark`.
bool mayReplaceHolding(const std::string& path, const std::string& prefix, const std::string& mark);

// True when `a` and `b` name the same file (or would, once created).
bool samePath(const std::string& a, const std::string& b);

}  // namespace stemscan
