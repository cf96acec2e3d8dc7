// One row of the closing table of scripts/bench.sh: our time next to a reference, their ratio
// and the goal for it. Each row is printed, and appended as tab-separated fields to the file
// named by QMT_BENCH_ROWS when that is set, so the script can gather every program's rows.
#ifndef NRD_BENCH_RATIO_ROWS_H
#define NRD_BENCH_RATIO_ROWS_H

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

struct RatioRow {
  std::string name;
  double ours = 0;        // in unit
  std::string reference;  // what ours is measured against
  double theirs = 0;      // in unit
  std::string unit;       // of both times: "us" or "ms"
  double goal = 0;        // the ratio must not exceed it; 0 for a figure shown for information
};

// Writes the row to out and to the rows file; a row with a time missing is skipped.
inline void WriteRatioRow(const RatioRow& row, std::ostream& out) {
  if (row.ours <= 0 || row.theirs <= 0) return;
  const double ratio = row.ours / row.theirs;
  char line[512];
  std::snprintf(line, sizeof line, "%s\t%.3f\t%s\t%.3f\t%s\t%.2f\t%.2f\n", row.name.c_str(),
                row.ours, row.reference.c_str(), row.theirs, row.unit.c_str(), ratio, row.goal);
  out << row.name << ": ours " << row.ours << " " << row.unit << ", " << row.reference << " "
      << row.theirs << " " << row.unit << ", ratio " << ratio;
  if (row.goal > 0) out << " (goal <= " << row.goal << ")";
  out << "\n";
  if (const char* path = std::getenv("QMT_BENCH_ROWS")) {
    if (std::FILE* file = std::fopen(path, "a")) {
      std::fputs(line, file);
      std::fclose(file);
    }
  }
}

#endif
