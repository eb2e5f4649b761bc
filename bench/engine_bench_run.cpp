// engine_bench_run.cpp -- how bench/engine_bench and bench/itl_bench run a
// system: each in a child process of its own (its peak resident memory its
// own), the fsync accounting, and the table they print.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_bench_run.hpp"

// ---- fsync accounting ----------------------------------------------------------
// Every fsync and fdatasync of the process (the engine's, SQLite's and
// Xapian's) passes through here, so that a commit's own time can be told
// from the time the disk takes.
namespace {
double g_syncSeconds = 0;
int g_syncCount = 0;

template <typename Fn>
int timedSync(const char* name, int fd) {
    static Fn real = nullptr;
    if (real == nullptr) real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = real(fd);
    g_syncSeconds += std::chrono::duration<double>(
                         std::chrono::steady_clock::now() - t0).count();
    ++g_syncCount;
    return rc;
}
}  // namespace

extern "C" int fsync(int fd) { return timedSync<int (*)(int)>("fsync", fd); }
extern "C" int fdatasync(int fd) {
    return timedSync<int (*)(int)>("fdatasync", fd);
}

namespace ebench {

SyncClock syncsSoFar() {
    SyncClock c;
    c.seconds = g_syncSeconds;
    c.count = g_syncCount;
    return c;
}

namespace fs = std::filesystem;

long statusKB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return atol(line.c_str() + n + 1);
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double micros(Clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// Runs everything of one system and writes its outcome to `file`.
void measure(System& sys, const std::vector<Doc>& docs,
             const std::vector<Query>& qs, const RunOptions& o,
             const std::string& dir, const std::string& file) {
    std::ofstream out(file);
    resetPeak();
    const long base = statusKB("VmRSS:");
    const SyncClock s0 = syncsSoFar();
    BuildFigures b = sys.build(docs, dir);
    b.syncSec = syncsSoFar().seconds - s0.seconds;
    out << "build " << b.ok << ' ' << b.feedSec << ' ' << b.finishSec << ' '
        << b.indexBytes << ' ' << statusKB("VmHWM:") - base << ' ' << b.syncSec
        << '\n';
    if (!b.ok) {
        out << "error " << b.error << '\n';
        return;
    }
    resetPeak();
    if (!sys.open()) {
        out << "error open\n";
        return;
    }
    std::vector<std::vector<double>> warm(qs.size());
    std::vector<double> cold(qs.size(), -1);
    std::vector<std::vector<int32_t>> found(qs.size());
    std::vector<int> ok(qs.size(), 1);
    std::vector<std::string> errors;
    std::vector<int32_t> again;
    for (int r = 0; r < o.repeat; ++r) {
        for (size_t i = 0; i < qs.size(); ++i) {
            if (!ok[i]) continue;
            std::string err;
            const auto t0 = Clock::now();
            const bool ran = sys.run(qs[i], false, r == 0 ? &found[i] : &again, &err);
            warm[i].push_back(micros(t0));
            if (!ran) {
                ok[i] = 0;
                if (!err.empty()) errors.push_back(qs[i].cls + ": " + err);
            }
        }
    }
    for (size_t i = 0; sys.hasCold() && i < qs.size(); ++i) {
        if (!ok[i]) continue;
        std::string err;
        const auto t0 = Clock::now();
        if (sys.run(qs[i], true, &again, &err)) cold[i] = micros(t0);
    }
    const long queryPeak = statusKB("VmHWM:") - base;
    // The update: the first documents again under new numbers.
    std::vector<Doc> more(docs.begin(),
                          docs.begin() + std::min<size_t>(docs.size(), o.updateDocs));
    CommitFigures c;
    sys.update(more, static_cast<int32_t>(docs.size()) + 1, &c);
    out << "update " << c.seconds << ' ' << c.syncSeconds << ' ' << c.syncs
        << ' ' << queryPeak << '\n';
    for (size_t i = 0; i < qs.size(); ++i) {
        out << "q " << ok[i] << ' ' << cold[i] << ' ' << warm[i].size();
        for (double us : warm[i]) out << ' ' << us;
        out << ' ' << found[i].size();
        for (int32_t d : found[i]) out << ' ' << d;
        out << '\n';
    }
    for (const std::string& e : errors) out << "error " << e << '\n';
}

Outcome readOutcome(const std::string& file, size_t queries) {
    Outcome o;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string tag;
        f >> tag;
        if (tag == "build") {
            o.present = true;
            f >> o.build.ok >> o.build.feedSec >> o.build.finishSec >>
                o.build.indexBytes >> o.buildPeakKB >> o.build.syncSec;
        } else if (tag == "update") {
            f >> o.updateSec >> o.updateSyncSec >> o.updateSyncs >> o.queryPeakKB;
        } else if (tag == "q") {
            int ok = 0;
            double cold = 0;
            size_t n = 0;
            f >> ok >> cold >> n;
            std::vector<double> us(n);
            for (double& u : us) f >> u;
            f >> n;
            std::vector<int32_t> docs(n);
            for (int32_t& d : docs) f >> d;
            o.ok.push_back(ok);
            o.coldUs.push_back(cold);
            o.warmUs.push_back(std::move(us));
            o.found.push_back(std::move(docs));
        } else if (tag == "error") {
            std::string rest;
            std::getline(f, rest);
            o.errors.push_back(rest);
        }
    }
    if (o.ok.size() != queries) o.ok.assign(queries, 0);
    return o;
}

void writeOutcome(const std::string& file, const Outcome& o) {
    std::ofstream out(file);
    out << "build " << o.build.ok << ' ' << o.build.feedSec << ' '
        << o.build.finishSec << ' ' << o.build.indexBytes << ' '
        << o.buildPeakKB << ' ' << o.build.syncSec << '\n';
    out << "update " << o.updateSec << ' ' << o.updateSyncSec << ' '
        << o.updateSyncs << ' ' << o.queryPeakKB << '\n';
    for (size_t i = 0; i < o.ok.size(); ++i) {
        out << "q " << o.ok[i] << ' ' << o.coldUs[i] << ' ' << o.warmUs[i].size();
        for (double us : o.warmUs[i]) out << ' ' << us;
        out << ' ' << o.found[i].size();
        for (int32_t d : o.found[i]) out << ' ' << d;
        out << '\n';
    }
    for (const std::string& e : o.errors) out << "error " << e << '\n';
}

// Runs `make()`'s system in a child process.
Outcome runChild(const std::function<std::unique_ptr<System>()>& make,
                 const std::vector<Doc>& docs, const std::vector<Query>& qs,
                 const RunOptions& o, const std::string& dir) {
    const std::string file = dir + ".out";
    fs::remove_all(dir);
    fs::remove(file);
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::unique_ptr<System> sys = make();
        measure(*sys, docs, qs, o, dir, file);
        sys.reset();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome out = readOutcome(file, qs.size());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        out.errors.push_back("the child process failed");
    return out;
}

// ---- the table ---------------------------------------------------------------

double percentile(std::vector<double> v, int p) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, v.size() * p / 100)];
}

std::string fmt(double v, const char* f) {
    if (v < 0) return "-";
    char b[64];
    snprintf(b, sizeof b, f, v);
    return b;
}

std::string ratio(double a, double b) {
    if (a < 0 || b <= 0) return "-";
    return fmt(a / b, "%.2fx");
}

void Table::print() const {
    std::vector<size_t> w;
    for (const auto& r : rows)
        for (size_t i = 0; i < r.size(); ++i) {
            if (w.size() <= i) w.push_back(0);
            w[i] = std::max(w[i], r[i].size());
        }
    for (size_t k = 0; k < rows.size(); ++k) {
        std::string line = "|";
        for (size_t i = 0; i < rows[k].size(); ++i) {
            const std::string& c = rows[k][i];
            line += " " + (i == 0 ? c + std::string(w[i] - c.size(), ' ')
                                  : std::string(w[i] - c.size(), ' ') + c) + " |";
        }
        printf("%s\n", line.c_str());
        if (k == 0) {
            std::string sep = "|";
            for (size_t i = 0; i < w.size(); ++i)
                sep += (i == 0 ? " :" : " ") + std::string(w[i] - 1, '-') +
                       (i == 0 ? " |" : ": |");
            printf("%s\n", sep.c_str());
        }
    }
}

}  // namespace ebench
