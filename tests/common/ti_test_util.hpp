// Helpers shared by the tests of every directory: the seed of randomized
// tests (printed, replayed through TEST_SEED), a scoped environment
// variable, a fresh directory under the tests' build tree, and whole-file
// reads and writes.
#ifndef TESTS_COMMON_TI_TEST_UTIL_HPP
#define TESTS_COMMON_TI_TEST_UTIL_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

// The seed of a randomized test: TEST_SEED when set, else a fresh one.
// Printed so that a failure can be replayed.
inline uint32_t testSeed() {
    const char* s = std::getenv("TEST_SEED");
    uint32_t seed = s != nullptr
                        ? static_cast<uint32_t>(std::strtoul(s, nullptr, 0))
                        : std::random_device{}();
    std::printf("seed %u (replay with TEST_SEED=%u)\n", seed, seed);
    return seed;
}

// Sets (or with null removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had) m_old = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name, m_old;
    bool m_had;
};

// A fresh directory under the tests' build directory (or a given parent),
// removed with its contents (permissions restored first) at the end of the
// scope.
class TempDir {
public:
    explicit TempDir(const char* tag = "ti_test") : TempDir(tag, TI_BINARY_DIR) {}
    // A fresh directory under `parent`. Tests that lower their user take one
    // under the system's temporary folder: the build tree may lie under a
    // directory that other users cannot enter.
    TempDir(const char* tag, const std::string& parent) {
        std::string tmpl = parent + "/" + tag + ".XXXXXX";
        const char* made = mkdtemp(&tmpl[0]);
        m_path = made != nullptr ? made : "";
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        if (m_path.empty()) return;
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all,
                                fs::perm_options::add, ec);
        }
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path + "/" + name
    std::string operator/(const std::string& name) const {
        return m_path + "/" + name;
    }
    std::string file(const std::string& name) const { return *this / name; }

private:
    std::string m_path;
};

// The system's temporary folder: $TMPDIR when set, else /tmp.
inline std::string systemTempDir() {
    const char* t = std::getenv("TMPDIR");
    return t != nullptr && *t != '\0' ? t : "/tmp";
}

// The parent for scratch directories of tests that commit often: the
// memory file system /dev/shm when it is writable (a SIGKILL loses nothing
// of the page cache, so it serves crash tests as well as a disk, and fsync
// costs nothing there), else the tests' build directory.
inline std::string fastTempParent() {
    static const std::string parent =
        std::filesystem::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0
            ? "/dev/shm"
            : TI_BINARY_DIR;
    return parent;
}

// Writes `text` into a new file `path`.
inline bool writeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// The whole content of `path`; "<missing>" when it cannot be read.
inline std::string readFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

#endif  // TESTS_COMMON_TI_TEST_UTIL_HPP
