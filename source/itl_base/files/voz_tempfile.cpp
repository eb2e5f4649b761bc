// voz_tempfile.cpp - uniquely named temporary files and directories.
//
// Names carry base-36 characters ("0-9a-z") made from time() + clock(),
// moved on by the process id after each collision.  Both calls create
// their object exclusively (mkdir, O_EXCL): a name that exists, whoever
// made it, is never opened, emptied or reused; the next name is tried.
// After 100 collisions the call gives up.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr int kMaxTries = 100;
constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

uint64_t startSeed() {
    return static_cast<uint64_t>(time(nullptr)) +
           static_cast<uint64_t>(clock());
}

// n base-36 characters of `seed`, least significant first.
std::string base36(uint64_t seed, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s.push_back(kDigits[seed % 36]);
        seed /= 36;
    }
    return s;
}

const char* effectiveDir(const char* dir) {
    return dir == nullptr || strcmp(dir, "/") == 0 ? "" : dir;
}

// Creates the temporary file `name` exclusively (its parent first).
FILE_CONTROL* createTemp(const std::string& name) {
    if (name.size() >= VOZ_FNAME_LEN) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        mkTreeDir(name.substr(0, slash).c_str());
    }
    return voz_XXcreateExclusive(name.c_str());
}

}  // namespace

int voz_XXopenTempEx(char* nameOut, char* prefix, const char* extension,
                     const char* directory, FILE_CONTROL** fileOut,
                     GTRSTATUS* st) {
    nameOut[0] = '\0';
    *fileOut = nullptr;
    uint64_t seed = startSeed();
    const std::string dir = effectiveDir(directory);
    const std::string ext = extension != nullptr ? extension : "";
    const bool hasPrefix = prefix != nullptr && prefix[0] != '\0';
    const std::string shortPrefix =
        hasPrefix ? std::string(prefix).substr(0, 4) : std::string();
    std::string chars;
    std::string name = hasPrefix ? dir + "/" + prefix + "." + ext
                                 : dir + "/!" + base36(seed, 7) + "." + ext;
    for (int tries = 0;;) {
        FILE_CONTROL* f = createTemp(name);
        if (f != nullptr) {
            memcpy(nameOut, name.c_str(), name.size() + 1);
            if (hasPrefix && !chars.empty()) {
                std::string renamed = shortPrefix + "!" + chars;
                memcpy(prefix, renamed.c_str(), renamed.size() + 1);
            }
            *fileOut = f;
            return 0;
        }
        int err = errno;
        if (err != EEXIST) {
            voz_setStatus(st, VOZ_RC_OPEN, err, name.c_str(), err);
            return -1;
        }
        seed += static_cast<uint64_t>(getpid());
        if (++tries >= kMaxTries) {
            voz_setStatus(st, VOZ_RC_OPEN, 252, "Temporary File");
            return -1;
        }
        chars = base36(seed, hasPrefix ? 3 : 7);
        name = hasPrefix ? dir + "/" + shortPrefix + "!" + chars + "." + ext
                         : dir + "/!" + chars + "." + ext;
    }
}

int vozCreateTempDir(char* nameOut, const char* parentDirectory,
                     const char* base, GTRSTATUS* st) {
    nameOut[0] = '\0';
    const std::string parent = effectiveDir(parentDirectory);
    const std::string b = base != nullptr ? base : "";
    const std::string stem = b.size() > 4 ? b.substr(0, b.size() - 4) : b;
    if (stem.size() + 4 >= VOZ_FNAME_LEN) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 2115, b.c_str());
        return -1;
    }
    uint64_t seed = startSeed();
    uint64_t running = seed;
    if (!parent.empty()) mkTreeDir(parent.c_str());
    for (int tries = 0; tries < kMaxTries; ++tries) {
        std::string chars;
        for (int i = 0; i < 3; ++i) {
            if (running == 0) running = seed;
            chars.push_back(kDigits[running % 36]);
            running /= 36;
        }
        std::string candidate = stem + "!" + chars;
        std::string path = parent + "/" + candidate;
        if (mkdir(path.c_str(), 0770) == 0) {
            memcpy(nameOut, candidate.c_str(), candidate.size() + 1);
            return 0;
        }
        if (errno != EEXIST) {
            voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 2115, path.c_str(), errno);
            return -1;
        }
        seed += static_cast<uint64_t>(getpid());
    }
    voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 2115, "Temporary Directory");
    return -1;
}
