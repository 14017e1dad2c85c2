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

// Writes all of `text` to `fd`; false on any error.
bool writeAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

std::array<std::string, ResultTables::kTables> ResultTables::tableNames(const std::string& base) {
  std::array<std::string, kTables> names;
  for (int k = 0; k < kTables; ++k) names[k] = base + kSuffixes[k];
  return names;
}

ResultTables::ResultTables(const std::string& base) : base_(base), names_(tableNames(base)) {}

ResultTables::~ResultTables() {
  for (int k = 0; k < kTables; ++k) close(k);
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
    if (disk_[k].failed) failed.push_back(names_[k]);
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
  OnDisk& disk = disk_[table];
  const bool orientationHolds = table != 1 || disk.orientationParameter == orientationParameter;
  const bool appendable = !whole && disk.fd >= 0 && disk.columns == store.columnCount() &&
                          orientationHolds && disk.rows <= store.rowCount();
  bool written = false;
  if (appendable) {
    if (disk.rows == store.rowCount()) return;
    written = append(table, render(table, store, orientationParameter, disk.rows));
  } else {
    written = rewriteTable(table, render(table, store, orientationParameter, 0));
  }
  disk.failed = !written;
  if (!written) {
    std::cerr << "cannot write file " << names_[table] << std::endl;
    close(table);  // the next writing starts over, whole
    return;
  }
  disk.rows = store.rowCount();
  disk.columns = store.columnCount();
  disk.orientationParameter = orientationParameter;
}

std::string ResultTables::render(int table, const ResultStore& store, float orientationParameter,
                                 unsigned from) const {
  std::ostringstream text;
  switch (table) {
    case 0:
      store.writeLengths(text, from);
      break;
    case 1:
      store.writeOrientations(text, orientationParameter, from);
      break;
    case 2:
      store.writeSegments(text, from);
      break;
    default:
      store.writeTips(text, from);
  }
  return text.str();
}

bool ResultTables::append(int table, const std::string& text) {
  OnDisk& disk = disk_[table];
  if (writeAll(disk.fd, text)) {
    disk.bytes += static_cast<long long>(text.size());
    return true;
  }
  // Take back a line written in part, so that the table stays made of whole lines.
  if (::ftruncate(disk.fd, disk.bytes) != 0) close(table);
  return false;
}

bool ResultTables::rewriteTable(int table, const std::string& text) {
  close(table);
  const std::string& name = names_[table];
  const std::string temporary = name + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  if (!writeAll(fd, text) || ::fsync(fd) != 0) {
    ::close(fd);
    std::remove(temporary.c_str());
    return false;
  }
  if (::close(fd) != 0 || std::rename(temporary.c_str(), name.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  OnDisk& disk = disk_[table];
  disk.fd = ::open(name.c_str(), O_WRONLY | O_APPEND);
  disk.bytes = static_cast<long long>(text.size());
  return true;
}

void ResultTables::close(int table) {
  if (disk_[table].fd >= 0) ::close(disk_[table].fd);
  disk_[table].fd = -1;
}

}  // namespace stemscan
