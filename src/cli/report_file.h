// Saving a report the way the results viewer's Save Output does, safely.
#pragma once

#include <string>
#include <vector>

namespace quorvane::cli {

// Writes every line followed by CR LF (nothing after the last) to a new file in
// path's folder and renames it over path only when all of it was written: a
// full disk or a failed write leaves an existing file as it was. Returns false
// (with a reason in error) when the report could not be saved.
bool SaveReportFile(const std::string& path, const std::vector<std::string>& lines,
                    std::string& error);

// True when path names the same file as other (both existing), or the same
// path once made absolute and normal.
bool SameFile(const std::string& path, const std::string& other);

}  // namespace quorvane::cli
