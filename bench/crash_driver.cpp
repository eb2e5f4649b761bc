// crash_driver -- kills commits any number of times and counts what the
// next open found: the crash runs of the test suite at scale, for a
// release.
//
//   crash_driver [--kills N] [--kind append|merge|delete|create|all]
//                [--store files|blocks|all] [--seed S]
//   crash_driver --api [--kills N]
//                [--kind update|merge|migration|rename|copy|destroy|all]
//                [--seed S]
//
// Without --api: the engine's update cycle
// (tests/itl_base/calls/engine_crash.hpp), N kills of each kind with each
// store of positions. With --api: the commits of an index through the
// exported functions (tests/itl_api/api_commit_crash.hpp), N kills of each
// kind. N defaults to 1000, the seed S to a fresh one (printed). Prints
// one line per kind (and store): the file operations of one commit, the
// kills, how many left no index (create, destroy) or no copy (copy), the
// old and the new content, how many runs ended before their delayed kill
// (not counted as kills), and the time taken. Stops at the first fault,
// prints it and exits with 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "engine_crash.hpp"
#ifdef CRASH_DRIVER_API
#include "api_commit_crash.hpp"
#endif

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: crash_driver [--kills N] [--kind append|merge|delete|create|all]"
                 " [--store files|blocks|all] [--seed S]\n"
                 "       crash_driver --api [--kills N]"
                 " [--kind update|merge|migration|rename|copy|destroy|all] [--seed S]\n");
    return 2;
}

double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int RunApi(int kills, std::string const& only, uint32_t seed) {
#ifdef CRASH_DRIVER_API
    std::printf("%-10s %10s %7s %9s %7s %7s %9s %9s\n", "kind", "operations", "kills",
                "no index", "old", "new", "finished", "seconds");
    std::mt19937 rng(seed);
    bool ran = false;
    for (accrash::Kind kind : accrash::kKinds) {
        if (only != "all" && only != accrash::NameOf(kind)) continue;
        ran = true;
        const auto t0 = std::chrono::steady_clock::now();
        accrash::Tally t;
        const std::string why = accrash::RunKills(kind, kills, rng, &t, false);
        std::printf("%-10s %10d %7d %9d %7d %7d %9d %9.1f\n", accrash::NameOf(kind),
                    t.operations, t.kills, t.sawNothing, t.sawOld, t.sawNew, t.finished,
                    SecondsSince(t0));
        std::fflush(stdout);
        if (!why.empty()) {
            std::printf("FAULT (seed %u): %s\n", seed, why.c_str());
            return 1;
        }
    }
    return ran ? 0 : usage();
#else
    (void)kills;
    (void)only;
    (void)seed;
    std::fprintf(stderr, "crash_driver: built without the index library (--api)\n");
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    int kills = 1000;
    std::string only = "all";
    std::string onlyStore = "all";
    bool api = false;
    uint32_t seed = std::random_device{}();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--api") == 0) {
            api = true;
            continue;
        }
        if (i + 1 >= argc) return usage();
        if (std::strcmp(argv[i], "--kills") == 0) kills = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--kind") == 0) only = argv[++i];
        else if (std::strcmp(argv[i], "--store") == 0) onlyStore = argv[++i];
        else if (std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        else return usage();
    }
    if (kills < 1) return usage();
    std::printf("seed %u, %d kills of each kind, scratch under %s\n", seed, kills,
                fastTempParent().c_str());
    if (api) return RunApi(kills, only, seed);
    std::printf("%-8s %-7s %10s %7s %9s %7s %7s %9s %9s\n", "kind", "store", "operations", "kills",
                "no index", "old", "new", "finished", "seconds");
    std::mt19937 rng(seed);
    bool ran = false;
    for (ecfix::Kind kind : ecfix::kKinds) {
        if (only != "all" && only != ecfix::NameOf(kind)) continue;
        for (ecfix::Store store : ecfix::kStores) {
            if (onlyStore != "all" && onlyStore != ecfix::NameOf(store)) continue;
            ran = true;
            const auto t0 = std::chrono::steady_clock::now();
            ecfix::Tally t;
            const std::string why = ecfix::RunKills(kind, store, kills, rng, &t);
            std::printf("%-8s %-7s %10d %7d %9d %7d %7d %9d %9.1f\n", ecfix::NameOf(kind),
                        ecfix::NameOf(store), t.operations, t.kills, t.sawNothing, t.sawOld,
                        t.sawNew, t.finished, SecondsSince(t0));
            std::fflush(stdout);
            if (!why.empty()) {
                std::printf("FAULT (seed %u): %s\n", seed, why.c_str());
                return 1;
            }
        }
    }
    return ran ? 0 : usage();
}
