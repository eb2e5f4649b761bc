// Helpers of the thesaurus engine's tests: hex texts, standard output and
// error capture around a call, a scoped set of test hooks that counts
// sleeps and refuses chosen file operations, and a child process runner.
#ifndef TESTS_ITL_CNET_CNET_TEST_UTIL_HPP
#define TESTS_ITL_CNET_CNET_TEST_UTIL_HPP

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "cnet_base.hpp"

// "0a 0b ..." (spaces and newlines ignored) to bytes.
inline std::string unhex(const std::string& hex) {
    std::string out;
    int hi = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<char>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

inline std::string hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02x", c);
        if (!out.empty()) out += ' ';
        out += b;
    }
    return out;
}

// Standard output and error written while `fn` runs.
struct Captured {
    std::string out, err;
};
inline Captured capture(const std::function<void()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    fn();
    std::fflush(stdout);
    std::fflush(stderr);
    Captured c;
    c.err = testing::internal::GetCapturedStderr();
    c.out = testing::internal::GetCapturedStdout();
    return c;
}

// Installs the engine's test hooks for one scope: sleeps are counted (and
// run `onSleep` when set) instead of slept; file operations named in
// `refuse` fail with their errno, a given number of times (-1: always).
class ScopedHooks {
public:
    ScopedHooks() {
        current() = this;
        cnetSetTestHooks(&fileOp, &sleeper);
    }
    ~ScopedHooks() {
        cnetSetTestHooks(nullptr, nullptr);
        current() = nullptr;
    }
    ScopedHooks(const ScopedHooks&) = delete;
    ScopedHooks& operator=(const ScopedHooks&) = delete;

    struct Refusal {
        int err;
        int times;
    };
    std::map<std::string, Refusal> refuse;  // by operation name
    std::function<void(unsigned)> onSleep;
    int sleeps = 0;
    std::map<std::string, int> ops;  // operation name -> count

private:
    static ScopedHooks*& current() {
        static ScopedHooks* c = nullptr;
        return c;
    }
    static int fileOp(const char* op, const char*) {
        ScopedHooks* h = current();
        ++h->ops[op];
        auto it = h->refuse.find(op);
        if (it == h->refuse.end() || it->second.times == 0) return 0;
        if (it->second.times > 0) --it->second.times;
        return it->second.err;
    }
    static void sleeper(unsigned seconds) {
        ScopedHooks* h = current();
        ++h->sleeps;
        if (h->onSleep) h->onSleep(seconds);
    }
};

// Runs `fn` in a forked child; returns its exit status (fn's result), or
// -1 when it did not exit normally.
inline int runChild(const std::function<int()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif  // TESTS_ITL_CNET_CNET_TEST_UTIL_HPP
