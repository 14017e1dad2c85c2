// ResultTables: the four tables of a ResultStore on disk (<base>_len.txt, _or.txt, _seg.txt,
// _tip.txt), kept current image by image without ever leaving a torn table behind.
//
// New lines are appended, each in one write; anything else (an earlier line changed, a new
// group of columns, another orientation parameter, a write that failed) rewrites the table
// whole into a temporary file beside it, which is flushed to disk and then renamed over the
// table. So a table on disk, whenever the program is stopped, is absent or made of whole lines,
// and an earlier run's table is only ever replaced by a complete new one.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "result_store/result_store.h"

namespace stemscan {

class ResultTables {
 public:
  static constexpr int kTables = 4;

  explicit ResultTables(const std::string& base);
  ~ResultTables();
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
  struct OnDisk {
    int fd = -1;              // open for appending; -1 when the table must be rewritten
    unsigned rows = 0;        // lines on disk
    std::size_t columns = 0;  // value groups per line
    float orientationParameter = 0.0f;
    long long bytes = 0;  // size on disk
    bool failed = false;
  };

  std::string render(int table, const ResultStore& store, float orientationParameter,
                     unsigned from) const;
  bool append(int table, const std::string& text);
  bool rewriteTable(int table, const std::string& text);
  void close(int table);
  void write(int table, const ResultStore& store, float orientationParameter, bool whole);

  std::string base_;
  std::array<std::string, kTables> names_;
  std::array<OnDisk, kTables> disk_;
};

}  // namespace stemscan
