#include "experiment/csv.h"

namespace stemscan {
namespace {

std::string trimmed(const std::string& text) {
  const std::size_t from = text.find_first_not_of(" \t\r");
  if (from == std::string::npos) return "";
  const std::size_t to = text.find_last_not_of(" \t\r");
  return text.substr(from, to - from + 1);
}

}  // namespace

bool splitCsvLine(const std::string& line, std::vector<std::string>* fields) {
  fields->clear();
  std::string field;
  bool quoted = false;     // inside quotes
  bool wasQuoted = false;  // this field was written in quotes
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"' && trimmed(field).empty()) {
      quoted = true;
      wasQuoted = true;
      field.clear();
    } else if (c == ',') {
      fields->push_back(wasQuoted ? field : trimmed(field));
      field.clear();
      wasQuoted = false;
    } else if (!wasQuoted) {
      field += c;
    }
  }
  if (quoted) return false;
  fields->push_back(wasQuoted ? field : trimmed(field));
  return true;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos && trimmed(text) == text) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::map<std::string, std::size_t> columnsOf(const std::string& header) {
  std::vector<std::string> names;
  splitCsvLine(header, &names);
  std::map<std::string, std::size_t> columns;
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::string& name = names[k];
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    columns[name] = k;
  }
  return columns;
}

}  // namespace stemscan
