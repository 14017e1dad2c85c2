// ResultTables: the four tables of a ResultStore on disk (<base>_len.txt, _or.txt, _seg.txt,
// _tip.txt), kept current image by image without ever leaving a torn table behind (see
// AppendableFile). A new group of columns or another orientation parameter rewrites a table
// whole.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "result_store/appendable_file.h"
#include "result_store/result_store.h"

namespace stemscan {

class ResultTables {
 public:
  static constexpr int kTables = 4;

  explicit ResultTables(const std::string& base);
  ResultTables(const ResultTables&) = delete;
  ResultTables& operator=(const ResultTables&) = delete;

  // Creates and removes a scratch file in the tables' folder; tables already there are not
  // touched. False, with the reason in `why`, where no file can be created.
  bool checkWritable(std::string* why) const;

  // Brings every table up to the store, appending where the lines on disk still hold.
  void update(const ResultStore& store, float orientationParameter);
  // Rewrites every table whole.
  void rewrite(const ResultStore& store, float orientationParameter);

  // The table files, in the order _len, _or, _seg, _tip.
  static std::array<std::string, kTables> tableNames(const std::string& base);
  const std::array<std::string, kTables>& names() const { return names_; }
  // Tables whose last writing failed (and so do not hold the store's content).
  std::vector<std::string> failedNames() const;

 private:
  std::string render(int table, const ResultStore& store, float orientationParameter, unsigned from,
                     unsigned to) const;
  void write(int table, const ResultStore& store, float orientationParameter, bool whole);

  std::string base_;
  std::array<std::string, kTables> names_;
  std::vector<std::unique_ptr<AppendableFile>> files_;
};

}  // namespace stemscan
