#include "result_store/result_tables.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

namespace stemscan {
namespace {

const char* const kSuffixes[ResultTables::kTables] = {"_len.txt", "_or.txt", "_seg.txt",
                                                      "_tip.txt"};

}  // namespace

std::array<std::string, ResultTables::kTables> ResultTables::tableNames(const std::string& base) {
  std::array<std::string, kTables> names;
  for (int k = 0; k < kTables; ++k) names[k] = base + kSuffixes[k];
  return names;
}

ResultTables::ResultTables(const std::string& base) : base_(base), names_(tableNames(base)) {
  for (const std::string& name : names_) files_.push_back(std::make_unique<AppendableFile>(name));
}

bool ResultTables::checkWritable(std::string* why) const {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string scratch = base_ + ".check" + std::to_string(attempt) + ".tmp";
    const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      ::close(fd);
      std::remove(scratch.c_str());
      return true;
    }
    if (errno != EEXIST) {
      *why = "cannot create files beside " + names_[0] + ": " + std::strerror(errno);
      return false;
    }
  }
  *why = "cannot create files beside " + names_[0];
  return false;
}

std::vector<std::string> ResultTables::failedNames() const {
  std::vector<std::string> failed;
  for (int k = 0; k < kTables; ++k) {
    if (files_[k]->failed()) failed.push_back(names_[k]);
  }
  return failed;
}

void ResultTables::update(const ResultStore& store, float orientationParameter) {
  for (int k = 0; k < kTables; ++k) write(k, store, orientationParameter, false);
}

void ResultTables::rewrite(const ResultStore& store, float orientationParameter) {
  for (int k = 0; k < kTables; ++k) write(k, store, orientationParameter, true);
}

void ResultTables::write(int table, const ResultStore& store, float orientationParameter,
                         bool whole) {
  // What the lines on disk depend on besides their own entries.
  std::string layout = std::to_string(store.columnCount());
  if (table == 1) layout += " " + std::to_string(orientationParameter);
  files_[table]->update(store.rowCount(), layout, whole, [&](unsigned from, unsigned to) {
    return render(table, store, orientationParameter, from, to);
  });
}

std::string ResultTables::render(int table, const ResultStore& store, float orientationParameter,
                                 unsigned from, unsigned to) const {
  std::ostringstream text;
  switch (table) {
    case 0:
      store.writeLengths(text, from, to);
      break;
    case 1:
      store.writeOrientations(text, orientationParameter, from, to);
      break;
    case 2:
      store.writeSegments(text, from, to);
      break;
    default:
      store.writeTips(text, from, to);
  }
  return text.str();
}

}  // namespace stemscan
