// Console output as usual, remembering each benchmark's CPU and real time per iteration (the
// median when repetitions are asked for: one burst of load from the rest of the machine moves
// a mean but not a median), so a program can print ratios after the run.
#ifndef NRD_BENCH_TIMING_REPORTER_H
#define NRD_BENCH_TIMING_REPORTER_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TimingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
        real_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Time of one benchmark, 0 when it did not run.
  double Cpu(const std::string& name) const { return Find(cpu_, name); }
  double Real(const std::string& name) const { return Find(real_, name); }

 private:
  static double Find(const std::map<std::string, double>& times, const std::string& name) {
    auto it = times.find(name);
    return it != times.end() ? it->second : 0.0;
  }
  std::map<std::string, double> cpu_;
  std::map<std::string, double> real_;
};

#endif
