// crash_driver -- kills the engine's update cycle any number of times and
// counts what the next open found: the crash runs of the test suite
// (tests/itl_base/calls/engine_crash.hpp) at scale, for a release.
//
//   crash_driver [--kills N] [--kind append|merge|delete|create|all]
//                [--store files|blocks|all] [--seed S]
//
// N kills of each kind with each store of positions (default 1000), seed
// S (default fresh, printed). Prints one line per kind and store: the file operations of one commit, the kills,
// how many left no index (create), the old and the new content, how many
// updates ended before their delayed kill (not counted as kills), and the
// time taken. Stops at the first fault, prints it and exits with 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "engine_crash.hpp"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: crash_driver [--kills N] [--kind append|merge|delete|create|all]"
                 " [--store files|blocks|all] [--seed S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int kills = 1000;
    std::string only = "all";
    std::string onlyStore = "all";
    uint32_t seed = std::random_device{}();
    for (int i = 1; i < argc; ++i) {
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
            const double took =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::printf("%-8s %-7s %10d %7d %9d %7d %7d %9d %9.1f\n", ecfix::NameOf(kind),
                        ecfix::NameOf(store), t.operations, t.kills, t.sawNothing, t.sawOld,
                        t.sawNew, t.finished, took);
            std::fflush(stdout);
            if (!why.empty()) {
                std::printf("FAULT (seed %u): %s\n", seed, why.c_str());
                return 1;
            }
        }
    }
    return ran ? 0 : usage();
}
