// engine_bench_run.hpp -- how bench/engine_bench and bench/itl_bench run a
// system of engine_bench.hpp: in a child process of its own, so that its
// peak resident memory (VmHWM after a reset, less the resident memory at
// the start) is its own; and the markdown table both print.
#ifndef BENCH_ENGINE_BENCH_RUN_HPP
#define BENCH_ENGINE_BENCH_RUN_HPP

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_bench.hpp"

namespace ebench {

struct RunOptions {
    int repeat = 5;        // warm runs of the query mix
    int updateDocs = 100;  // documents of the timed update commit
};

// What one system's child process hands back.
struct Outcome {
    bool present = false;
    BuildFigures build;
    long buildPeakKB = 0, queryPeakKB = 0;
    double updateSec = -1, updateSyncSec = 0;
    int updateSyncs = 0;
    std::vector<int> ok;                       // per query: 1 ran, 0 not
    std::vector<std::vector<int32_t>> found;   // per query
    std::vector<std::vector<double>> warmUs;   // per query
    std::vector<double> coldUs;                // per query (engine)
    std::vector<std::string> errors;
};

// A field of /proc/self/status in KB ("VmRSS:", "VmHWM:").
long statusKB(const char* field);
// Resets VmHWM to the resident memory of now.
void resetPeak();
double micros(Clock::time_point t0);

// Runs `make()`'s system in a child process: builds `docs` under `dir`,
// runs the mix `o.repeat` times, commits an update.
Outcome runChild(const std::function<std::unique_ptr<System>()>& make,
                 const std::vector<Doc>& docs, const std::vector<Query>& qs,
                 const RunOptions& o, const std::string& dir);

// An outcome as a child writes it to `file` and as the parent reads it
// back (`queries`: the size of the mix).
void writeOutcome(const std::string& file, const Outcome& o);
Outcome readOutcome(const std::string& file, size_t queries);

// The `p`th percentile of `v` (-1 when empty).
double percentile(std::vector<double> v, int p);
// `v` in format `f`; "-" when negative.
std::string fmt(double v, const char* f = "%.1f");
// a / b as "1.23x"; "-" when either is missing.
std::string ratio(double a, double b);

// A markdown table: the first row is the head; the first column is left-
// aligned, the rest right-aligned.
struct Table {
    std::vector<std::vector<std::string>> rows;
    void add(std::vector<std::string> r) { rows.push_back(std::move(r)); }
    void print() const;
};

}  // namespace ebench

#endif  // BENCH_ENGINE_BENCH_RUN_HPP
