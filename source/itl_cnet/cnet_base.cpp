// cnet_base.cpp -- status helpers, dictionary names, output and test hooks
// of the thesaurus dictionary engine (see cnet_base.hpp).
#include "cnet_base.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

// Records of the public header with sizes that callers rely on.
static_assert(sizeof(CNETRESULT) == 256, "a lookup result record is 256 bytes");
static_assert(sizeof(CNETUSERREL) == 16, "a user relation entry is 16 bytes");
static_assert(sizeof(CNETREL) == 2, "a relation code is 2 bytes");
static_assert(sizeof(CNETBASE) == 80, "a base term is 80 bytes");
static_assert(sizeof(CNETATTRI) == 16, "dictionary attributes are 16 bytes");

const char* const cnet_ext[4][4] = {
    {"wdf", "wdv", "grf", "grv"},  // the live dictionary
    {"w1f", "w1v", "g1f", "g1v"},  // being compiled; becomes set 0
    {"w2f", "w2v", "g2f", "g2v"},  // compilation work sets
    {"w3f", "w3v", "g3f", "g3v"},
};

namespace {

// Room of a shortened name's tail: 511 bytes minus the "..." before it,
// minus one more byte so that the text always ends inside the field.
constexpr size_t kTail = 507;

CnetFileOpHook gs_fileOpHook = nullptr;
CnetSleepHook gs_sleepHook = nullptr;

}  // namespace

void cnetClearStatus(CNETSTATUS* st) {
    if (st != nullptr) std::memset(st, 0, sizeof *st);
}

void cnetStatusName(char* field, const char* path) {
    if (path == nullptr) path = "";
    size_t len = std::strlen(path);
    if (len < VOZ_CNET_NAME_LEN) {
        std::memcpy(field, path, len + 1);
        return;
    }
    const char* tail = path + len - kTail;
    const char* slash = nullptr;
    for (const char* p = tail; *p != '\0'; ++p)
        if (*p == '/') slash = p;
    if (slash != nullptr) tail = slash;
    std::memcpy(field, "...", 3);
    std::strcpy(field + 3, tail);
}

void cnetSetStatus(CNETSTATUS* st, uint32_t rc, uint32_t ec,
                   const char* name1, const char* name2) {
    if (st == nullptr || st->retcode != 0) return;
    st->retcode = rc;
    st->errcode = ec;
    if (name1 != nullptr) cnetStatusName(st->fname1, name1);
    if (name2 != nullptr) cnetStatusName(st->fname2, name2);
}

bool cnetSplitDirs(const char* dirspec, const char* name, CNETDIRS* dirs,
                   CNETSTATUS* st) {
    std::memset(dirs, 0, sizeof *dirs);
    if (dirspec == nullptr || name == nullptr || *dirspec == '\0' ||
        *name == '\0' || std::strlen(name) > CNET_NAME_MAX) {
        cnetSetStatus(st, CNET_RC_NAME_LENGTH, 101);
        return false;
    }
    const char* tab = std::strchr(dirspec, '\t');
    size_t firstLen = tab != nullptr ? static_cast<size_t>(tab - dirspec)
                                     : std::strlen(dirspec);
    size_t secondLen = tab != nullptr ? std::strlen(tab + 1) : 0;
    if (firstLen > CNET_NAME_MAX || secondLen > CNET_NAME_MAX) {
        cnetSetStatus(st, CNET_RC_NAME_LENGTH, 102);
        return false;
    }
    std::memcpy(dirs->first, dirspec, firstLen);
    if (tab != nullptr) {
        dirs->two = true;
        std::memcpy(dirs->second, tab + 1, secondLen);
    }
    if (std::strcmp(dirs->first, "/") == 0) dirs->first[0] = '\0';
    if (std::strcmp(dirs->second, "/") == 0) dirs->second[0] = '\0';
    return true;
}

void cnetFileName(char* out, const CNETDIRS* dirs, const char* name,
                  const char* ext) {
    if (dirs->two) {
        std::snprintf(out, CNET_PATH_MAX, "%s/%s.%s", dirs->second, name, ext);
        struct stat sb;
        if (stat(out, &sb) == 0) return;
    }
    std::snprintf(out, CNET_PATH_MAX, "%s/%s.%s", dirs->first, name, ext);
}

// ---- output ---------------------------------------------------------------

bool cnetShowProgress(const CNETEXEC* opts) {
    return opts == nullptr || (opts->flags & CNET_EXEC_PROGRESS) != 0;
}

bool cnetShowWarnings(const CNETEXEC* opts) {
    return opts == nullptr || (opts->flags & CNET_EXEC_WARNINGS) != 0;
}

static const char* programName(const CNETEXEC* opts) {
    if (opts == nullptr || opts->program == nullptr || opts->program[0] == '\0')
        return nullptr;
    return opts->program;
}

void cnetProgress(const CNETEXEC* opts, uint64_t done, uint64_t total) {
    if (!cnetShowProgress(opts) || total == 0) return;
    std::printf("          %ld%%\r", static_cast<long>(done * 100 / total));
    std::fflush(stdout);
}

void cnetTimef(const CNETEXEC* opts, const char* fmt, ...) {
    if (!cnetShowProgress(opts)) return;
    char stamp[64];
    std::time_t now = std::time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%a %b %d %X %Y: ", &local);
    std::fputs(stamp, stdout);
    if (const char* prog = programName(opts)) std::printf("%s: ", prog);
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

void cnetOutf(const CNETEXEC* opts, const char* fmt, ...) {
    if (!cnetShowProgress(opts)) return;
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

void cnetWarnf(const CNETEXEC* opts, const char* source, const char* fmt, ...) {
    if (!cnetShowWarnings(opts)) return;
    const char* prefix = source != nullptr ? source : programName(opts);
    if (prefix != nullptr) std::fprintf(stderr, "%s: ", prefix);
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fflush(stderr);
}

// ---- test hooks -------------------------------------------------------------

void cnetSetTestHooks(CnetFileOpHook fileOp, CnetSleepHook sleeper) {
    gs_fileOpHook = fileOp;
    gs_sleepHook = sleeper;
}

int cnetFileOpRefused(const char* operation, const char* path) {
    if (gs_fileOpHook == nullptr) return 0;
    int err = gs_fileOpHook(operation, path);
    if (err != 0) errno = err;
    return err;
}

void cnetSleep(unsigned seconds) {
    if (gs_sleepHook != nullptr)
        gs_sleepHook(seconds);
    else
        sleep(seconds);
}
