// voz_fileio.cpp - CVozFileIO: one engine file owned by a storage class,
// every failure thrown as CVozException (retcode, errcode, file name).
//
// Throw sites (errcode): 3351 open, 3352 close, 3353 read, 3354 write,
// 3355 seek, 3356 tell.  `system_errno` stays 0 in these exceptions.
#include <cstring>

#include "files/voz_exception.hpp"

CVozFileIO::CVozFileIO() : m_file(nullptr), m_lastPos(0) {
    m_name[0] = '\0';
}

CVozFileIO::~CVozFileIO() = default;

void CVozFileIO::Open(const char* name, const char* mode) {
    if (name == nullptr || strlen(name) >= sizeof m_name) {
        throw CVozException(VOZ_RC_OPEN, 3351, name);
    }
    m_file = voz_XXopen(name, mode);
    if (m_file == nullptr) throw CVozException(VOZ_RC_OPEN, 3351, name);
    voz_XXsetvbuf(m_file, m_iobuf, 0, sizeof m_iobuf);
    strcpy(m_name, name);
}

void CVozFileIO::Close() {
    if (m_file == nullptr) return;
    int rc = voz_XXclose(m_file);
    m_file = nullptr;
    if (rc != 0) throw CVozException(VOZ_RC_CLOSE, 3352, m_name);
}

void CVozFileIO::Read(void* buffer, int32_t length) {
    if (length <= 0) return;
    if (m_file == nullptr ||
        voz_XXread(buffer, static_cast<size_t>(length), 1, m_file) != 1) {
        throw CVozException(VOZ_RC_READ, 3353, m_name);
    }
}

void CVozFileIO::Read(CVozBufferInfo& info) { (void)info; }

void CVozFileIO::Write(const void* buffer, int32_t length) {
    if (length <= 0) return;
    if (m_file == nullptr ||
        voz_XXwrite(buffer, static_cast<size_t>(length), 1, m_file) != 1) {
        throw CVozException(VOZ_RC_WRITE, 3354, m_name);
    }
}

void CVozFileIO::Write(CVozBufferInfo& info) { (void)info; }

void CVozFileIO::Seek(int64_t offset, int whence) {
    if (m_file == nullptr || voz_XXseek64(m_file, offset, whence) != 0) {
        throw CVozException(VOZ_RC_SEEK, 3355, m_name);
    }
}

int64_t CVozFileIO::Tell() {
    int64_t pos = m_file != nullptr ? voz_XXtell64(m_file) : -1;
    if (pos == -1) throw CVozException(VOZ_RC_TELL, 3356, m_name);
    m_lastPos = pos;
    return pos;
}

int CVozFileIO::Flush() {
    return m_file != nullptr ? voz_XXflush(m_file) : 0;
}
