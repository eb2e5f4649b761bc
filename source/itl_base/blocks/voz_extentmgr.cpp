// voz_extentmgr.cpp - CVozExtentMgr: pages of one block file over its
// buffer pool; creation and destruction, pins, appending pages, and the
// whole-file operations rename, copy and remove.
//
// Throw sites: (11, 3098) no memory for the object, (17, 3083) pages still
// pinned at destruction, (19, 3093) pin beyond the page count, (17, 3099)
// the appended page was already in the pool, (8, 3091) remove failed,
// (5, 3084) forcing the data to disk failed.
#include "blocks/voz_extentmgr.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "files/voz_names.hpp"

CVozExtentMgr::CVozExtentMgr(const char* name, uint32_t pageSize)
    : CVozBufferMgr(name, pageSize), m_pinned(0), m_fileName(nullptr),
      m_extPageSize(pageSize), m_pageCount(0) {}

CVozExtentMgr::~CVozExtentMgr() { free(m_fileName); }

CVozExtentMgr* CVozExtentMgr::GetExtentMgr(const char* name,
                                           uint32_t pageSize, int create,
                                           int update) {
    auto* mgr = new (std::nothrow) CVozExtentMgr(name, pageSize);
    if (mgr == nullptr) throw CVozException(VOZ_RC_MEMORY, 3098);
    try {
        mgr->m_fileName = strdup(name != nullptr ? name : "");
        if (mgr->m_fileName == nullptr) {
            throw CVozException(VOZ_RC_MEMORY, 3098);
        }
        const char* mode = create != 0 ? "wb+" : update != 0 ? "rb+" : "rb";
        mgr->Open(name, mode);
        mgr->Seek(0, 2);
        int64_t size = mgr->Tell();
        mgr->m_pageCount =
            pageSize == 0 ? 0 : static_cast<uint32_t>(size / pageSize);
    } catch (const CVozException&) {
        try {
            DestroyExtentMgr(mgr);
        } catch (const CVozException&) {
            // The first failure is the one to report.
        }
        throw;
    }
    return mgr;
}

void CVozExtentMgr::DestroyExtentMgr(CVozExtentMgr* mgr) {
    if (mgr == nullptr) return;
    CVozException pinned;
    mgr->Terminate(pinned);
    bool failed = false;
    CVozException first;
    try {
        mgr->CVozBufferMgr::Terminate();
    } catch (const CVozException& e) {
        first = e;
        failed = true;
    }
    delete mgr;
    if (failed) throw first;
    if (pinned.retcode != 0) throw pinned;
}

void CVozExtentMgr::Rename(const char* source, const char* target,
                           uint32_t n1, uint32_t n2) {
    // A file renamed onto itself (under any spelling of its name) stays as
    // it is: removing the target first would remove the only copy.
    struct stat src, dst;
    if (source != nullptr && target != nullptr && stat(source, &src) == 0 &&
        stat(target, &dst) == 0 && src.st_dev == dst.st_dev &&
        src.st_ino == dst.st_ino) {
        return;
    }
    voz_XXremove(target);
    if (rename(source, target) == 0) return;
    Copy(source, target, n1, n2);
    Remove(source);
}

void CVozExtentMgr::Copy(const char* source, const char* target,
                         uint32_t n1, uint32_t n2) {
    (void)n1;
    (void)n2;
    GTRSTATUS st;
    voz_ClearStatus(&st);
    if (voz_FileCopy(source, target, &st) != 0 || st.retcode != 0) {
        throw CVozException(st.retcode, st.errcode, source, target);
    }
}

void CVozExtentMgr::Remove(const char* name) {
    if (voz_XXremove(name) != 0) throw CVozException(VOZ_RC_REMOVE, 3091, name);
}

void CVozExtentMgr::Terminate(CVozException& e) {
    if (m_pinned != 0) {
        e = CVozException(VOZ_RC_INCONSISTENT, 3083, m_fileName);
    }
}

int CVozExtentMgr::Pin(uint32_t page, CVozPageInfo& handle, int read) {
    if (page >= m_pageCount) {
        throw CVozException(VOZ_RC_BEYOND_END, 3093, m_fileName);
    }
    int found = GetBuffer(page, handle.Info(), read);
    ++m_pinned;
    return found;
}

void CVozExtentMgr::Unpin(CVozPageInfo& handle, int modified) {
    if (modified != 0) CVozBufferMgr::MarkModified(handle.Info());
    if (m_pinned > 0) --m_pinned;
    ReleaseBuffer(handle.Info());
}

void CVozExtentMgr::UnpinDiscard(CVozPageInfo& handle) {
    if (m_pinned > 0) --m_pinned;
    DropBuffer(handle.Info());
}

void CVozExtentMgr::MarkModified(CVozPageInfo& handle) {
    CVozBufferMgr::MarkModified(handle.Info());
}

int CVozExtentMgr::Flush() {
    FlushBuffer();
    return 0;
}

void CVozExtentMgr::Sync() {
    FlushBuffer();
    if (m_file == nullptr || voz_XXflush(m_file) != 0 ||
        voz_BLKsyncPath(m_name) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3084, m_fileName);
    }
}

uint32_t CVozExtentMgr::Expand() {
    uint32_t page = m_pageCount;
    CVozBufferInfo info;
    if (GetBuffer(page, info, 0) != 0) {
        ReleaseBuffer(info);
        throw CVozException(VOZ_RC_INCONSISTENT, 3099, m_fileName);
    }
    memset(info.data, 0, m_extPageSize);
    CVozBufferMgr::MarkModified(info);
    ++m_pageCount;
    ReleaseBuffer(info);
    return page;
}
