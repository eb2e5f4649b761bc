// voz_dirpin.cpp -- pinned directories (see voz_dirpin.hpp).
#include "files/voz_dirpin.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool missing(int err) { return err == ENOENT || err == ENOTDIR; }

}  // namespace

void voz_PinDir(const char* path, VOZDIRPIN* pin) {
    pin->fd = -1;
    pin->state = VOZ_PIN_UNKNOWN;
    pin->dev = pin->ino = 0;
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // ENOTDIR from open means a file at the path: not a sub-index.
        if (errno == ENOENT) pin->state = VOZ_PIN_ABSENT;
        return;
    }
    struct stat sb;
    if (fstat(fd, &sb) != 0) {
        close(fd);
        return;
    }
    pin->fd = fd;
    pin->state = VOZ_PIN_HELD;
    pin->dev = static_cast<uint64_t>(sb.st_dev);
    pin->ino = static_cast<uint64_t>(sb.st_ino);
}

bool voz_PinHolds(const char* path, const VOZDIRPIN* pin) {
    if (pin->state == VOZ_PIN_UNKNOWN) return false;
    struct stat sb;
    if (stat(path, &sb) != 0)
        return pin->state == VOZ_PIN_ABSENT && missing(errno);
    return pin->state == VOZ_PIN_HELD && S_ISDIR(sb.st_mode) &&
           static_cast<uint64_t>(sb.st_dev) == pin->dev &&
           static_cast<uint64_t>(sb.st_ino) == pin->ino;
}

void voz_Unpin(VOZDIRPIN* pin) {
    if (pin->fd >= 0) close(pin->fd);
    pin->fd = -1;
    pin->state = VOZ_PIN_UNKNOWN;
}
