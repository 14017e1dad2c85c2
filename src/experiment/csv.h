// The little CSV this program reads and writes: comma-separated fields, a field that holds a
// comma, a quote or a line break written between double quotes with its quotes doubled.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace stemscan {

// Splits one line into its fields, blanks around unquoted fields trimmed. False for a quote
// left open.
bool splitCsvLine(const std::string& line, std::vector<std::string>* fields);

// The position of each column of a header line, by its name (blanks around it trimmed).
std::map<std::string, std::size_t> columnsOf(const std::string& header);

// The field as written in a CSV file: quoted where it must be.
std::string csvField(const std::string& text);

}  // namespace stemscan
