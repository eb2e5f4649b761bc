// voz_ctlgroup.cpp - the commit journal that replaces a group of control
// files in one step, and its recovery (the order and the journal layout
// are in voz_ctlgroup.hpp).
//
// Throw site: (17, 3359, name) a damaged journal or a control file outside
// the journal's directory.  File failures come from voz_BLKreplaceFile.
#include "blocks/voz_ctlgroup.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "blocks/voz_extentmgr.hpp"
#include "files/voz_bigendian.hpp"

namespace {

constexpr uint8_t kMagic[4] = {'V', 'O', 'Z', 'J'};
constexpr size_t kHead = 16;
constexpr uint32_t kMaxFiles = 16;
constexpr size_t kMaxName = 1023;
// Larger than any control file of a 65536-unit slot file.
constexpr uint64_t kMaxJournal = 1ULL << 30;

uint32_t fnv1a(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

std::string dirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);  // with the slash
}

bool nameOk(const std::string& n) {
    if (n.empty() || n.size() > kMaxName || n[0] == '/') return false;
    if (n.find('\0') != std::string::npos) return false;
    size_t at = 0;
    while (at <= n.size()) {
        size_t end = n.find('/', at);
        if (end == std::string::npos) end = n.size();
        std::string part = n.substr(at, end - at);
        if (part.empty() || part == "..") return false;
        at = end + 1;
    }
    return true;
}

// Reads the whole plain file; false when it does not exist.  Throws
// (17, 3359) when it cannot be read or is implausibly large.
bool readAll(const char* path, std::vector<uint8_t>* out) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return false;
        throw CVozException(VOZ_RC_INCONSISTENT, 3359, path);
    }
    struct stat sb;
    if (fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode) ||
        static_cast<uint64_t>(sb.st_size) > kMaxJournal) {
        close(fd);
        throw CVozException(VOZ_RC_INCONSISTENT, 3359, path);
    }
    out->resize(static_cast<size_t>(sb.st_size));
    size_t done = 0;
    while (done < out->size()) {
        ssize_t r = read(fd, out->data() + done, out->size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            close(fd);
            throw CVozException(VOZ_RC_INCONSISTENT, 3359, path);
        }
        done += static_cast<size_t>(r);
    }
    close(fd);
    return true;
}

// Replaces every control file of the journal in `dir`, then removes the
// journal (order I3, I4).
void replay(const std::string& dir, const std::vector<std::string>& names,
            const std::vector<std::vector<uint8_t>>& contents,
            const char* journal) {
    for (size_t i = 0; i < names.size(); ++i) {
        std::string path = dir + names[i];
        voz_BLKreplaceFile(path.c_str(), contents[i].data(),
                           contents[i].size());
    }
    voz_BLKremoveFile(journal);
}

}  // namespace

std::vector<uint8_t> voz_BLKencodeJournal(
    const std::vector<std::string>& names,
    const std::vector<std::vector<uint8_t>>& contents) {
    size_t total = kHead + 4;
    for (size_t i = 0; i < names.size(); ++i) {
        total += 2 + names[i].size() + 4 + contents[i].size();
    }
    std::vector<uint8_t> out(total, 0);
    memcpy(out.data(), kMagic, 4);
    voz_putBE32(&out[4], static_cast<uint32_t>(names.size()));
    voz_putBE32(&out[8], static_cast<uint32_t>(total));
    size_t at = kHead;
    for (size_t i = 0; i < names.size(); ++i) {
        voz_putBE16(&out[at], static_cast<uint16_t>(names[i].size()));
        memcpy(&out[at + 2], names[i].data(), names[i].size());
        at += 2 + names[i].size();
        voz_putBE32(&out[at], static_cast<uint32_t>(contents[i].size()));
        if (!contents[i].empty()) {
            memcpy(&out[at + 4], contents[i].data(), contents[i].size());
        }
        at += 4 + contents[i].size();
    }
    voz_putBE32(&out[at], fnv1a(out.data(), at));
    return out;
}

bool voz_BLKdecodeJournal(const std::vector<uint8_t>& bytes,
                          std::vector<std::string>* names,
                          std::vector<std::vector<uint8_t>>* contents) {
    names->clear();
    contents->clear();
    size_t size = bytes.size();
    if (size < kHead + 4 || memcmp(bytes.data(), kMagic, 4) != 0) return false;
    uint32_t n = voz_getBE32(&bytes[4]);
    if (n == 0 || n > kMaxFiles || voz_getBE32(&bytes[8]) != size ||
        voz_getBE32(&bytes[12]) != 0) {
        return false;
    }
    if (voz_getBE32(&bytes[size - 4]) != fnv1a(bytes.data(), size - 4)) {
        return false;
    }
    size_t end = size - 4;
    size_t at = kHead;
    for (uint32_t i = 0; i < n; ++i) {
        if (end - at < 2) return false;
        size_t len = voz_getBE16(&bytes[at]);
        at += 2;
        if (end - at < len + 4) return false;
        std::string name(reinterpret_cast<const char*>(&bytes[at]), len);
        if (!nameOk(name)) return false;
        at += len;
        size_t c = voz_getBE32(&bytes[at]);
        at += 4;
        if (end - at < c) return false;
        names->push_back(name);
        contents->emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                               bytes.begin() + static_cast<ptrdiff_t>(at + c));
        at += c;
    }
    return at == end;
}

CVozControlGroup::CVozControlGroup() = default;

CVozControlGroup::~CVozControlGroup() = default;

void CVozControlGroup::Add(const char* path, std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (m_paths[i] == path) {
            m_bytes[i] = std::move(bytes);
            return;
        }
    }
    m_paths.emplace_back(path);
    m_bytes.push_back(std::move(bytes));
}

void CVozControlGroup::Clear() {
    m_paths.clear();
    m_bytes.clear();
}

void CVozControlGroup::Write(const char* journal) {
    if (m_paths.empty()) return;
    bool same = true;
    for (size_t i = 0; i < m_paths.size() && same; ++i) {
        size_t j = 0;
        while (j < m_lastPaths.size() && m_lastPaths[j] != m_paths[i]) ++j;
        same = j < m_lastPaths.size() && m_lastBytes[j] == m_bytes[i];
    }
    if (same) {
        Clear();
        return;
    }
    m_lastPaths.clear();
    m_lastBytes.clear();
    std::string dir = dirOf(journal);
    std::vector<std::string> names;
    for (const std::string& p : m_paths) {
        std::string rel = p.compare(0, dir.size(), dir) == 0
                              ? p.substr(dir.size())
                              : std::string();
        if (!nameOk(rel) || m_paths.size() > kMaxFiles) {
            CVozException e(VOZ_RC_INCONSISTENT, 3359, p.c_str());
            Clear();
            throw e;
        }
        names.push_back(rel);
    }
    std::vector<uint8_t> bytes = voz_BLKencodeJournal(names, m_bytes);
    std::vector<std::string> paths;
    std::vector<std::vector<uint8_t>> contents;
    paths.swap(m_paths);
    contents.swap(m_bytes);
    voz_BLKreplacePlainFile(journal, bytes.data(), bytes.size());  // I2
    replay(dir, names, contents, journal);                          // I3, I4
    m_lastPaths.swap(paths);
    m_lastBytes.swap(contents);
}

bool voz_BLKrecoverJournal(const char* journal) {
    std::string tmp = std::string(journal) + ".tmp";
    if (access(tmp.c_str(), F_OK) == 0) voz_BLKremoveFile(tmp.c_str());
    std::vector<uint8_t> bytes;
    if (!readAll(journal, &bytes)) return false;
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> contents;
    if (!voz_BLKdecodeJournal(bytes, &names, &contents)) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3359, journal);
    }
    replay(dirOf(journal), names, contents, journal);
    return true;
}
