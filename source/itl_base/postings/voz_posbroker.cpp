// voz_posbroker.cpp - the position brokers (see voz_posbroker.hpp).
#include "postings/voz_posbroker.hpp"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "blocks/voz_blockmgr.hpp"
#include "blocks/voz_extentmgr.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_poshigh.hpp"
#include "postings/voz_poslevel.hpp"
#include "blocks/voz_sharedblock.hpp"

namespace {

// File kinds of voz_IDXgetFname used by the block store.
constexpr uint16_t kSharedKinds[3] = {VOZ_FT_SHARED, VOZ_FT_BRANCH,
                                      VOZ_FT_LEAF};

std::string Fname(const _FCTLHEAD* files, uint16_t kind) {
    char name[VOZ_FNAME_LEN];
    if (voz_IDXgetFname(name, files, kind) >= static_cast<int>(sizeof name)) {
        throw CVozException(VOZ_RC_PATH_TOO_LONG, 3519, name);
    }
    return name;
}

// Control file kinds: read from 18-20 (82-84 while being created), written
// to 82-84.
uint16_t CtlRead(const _FCTLHEAD* f, uint16_t kind) {
    uint16_t k = static_cast<uint16_t>(kind | VOZ_FT_CONTROL);
    if (f->flags & VOZ_FCTL_CREATING) k |= VOZ_FT_PREFIX_HASH;
    return k;
}
uint16_t CtlWrite(uint16_t kind) {
    return static_cast<uint16_t>(kind | VOZ_FT_CONTROL | VOZ_FT_PREFIX_HASH);
}

template <typename T, typename... A>
T* Make(int32_t reason, A... args) {
    T* p = new (std::nothrow) T(args...);
    if (p == nullptr) throw CVozException(VOZ_RC_MEMORY, reason);
    return p;
}

bool Exists(const std::string& name) { return voz_access(name.c_str()) == 0; }

std::string Journal(const std::string& sharedControl) {
    return sharedControl + ".jnl";
}

void DropJournal(const std::string& journal) {
    voz_BLKremoveFile((journal + ".tmp").c_str());
    voz_BLKremoveFile(journal.c_str());
}

}  // namespace

void voz_KeyToPosAttr(const KEY_REC& k, POS_ATTR& a) {
    a.level = k.level;
    a.datalengHigh = k.lengthHigh;
    a.blkOffset = k.locationHigh;
    a.blockID = k.location;
    a.dataleng = k.dataLength;
    a.lastDocId = k.lastDoc;
    a.docCount = k.docCount;
}

void voz_PosAttrToKey(const POS_ATTR& a, KEY_REC& k, bool withLevel) {
    if (withLevel) k.level = a.level;
    k.lengthHigh = a.datalengHigh;
    k.locationHigh = a.blkOffset;
    k.location = a.blockID;
    k.dataLength = a.dataleng;
    k.lastDoc = a.lastDocId;
    k.docCount = a.docCount;
}

// ---- base --------------------------------------------------------------------

CVozPosBroker::CVozPosBroker() : m_current(nullptr), m_attr{} {}

CVozPosBroker::~CVozPosBroker() = default;

void CVozPosBroker::Add(CVozPos& list) {
    CVozPosShort* s = dynamic_cast<CVozPosShort*>(&list);
    if (s == nullptr) throw CVozException(VOZ_RC_INCONSISTENT, 3518);
    try {
        if (m_added.size() == m_added.capacity()) {
            m_added.reserve(m_added.size() + 30);
        }
        m_added.push_back(s);
    } catch (const std::bad_alloc&) {
        throw CVozException(VOZ_RC_MEMORY, 3504);
    }
}

// ---- block store ---------------------------------------------------------------

CVozPosBrokerMulti::CVozPosBrokerMulti()
    : m_threshold(0), m_shared(nullptr), m_branch(nullptr), m_leaf(nullptr),
      m_low(nullptr), m_med(nullptr), m_high(nullptr), m_readOnly(1),
      m_inTransaction(0), m_commitFailed(0) {}

CVozPosBrokerMulti::~CVozPosBrokerMulti() {
    DeleteLevels();
    delete m_shared;
    delete m_branch;
    delete m_leaf;
}

void CVozPosBrokerMulti::DeleteLevels() {
    delete m_low;
    delete m_med;
    delete m_high;
    m_low = nullptr;
    m_med = nullptr;
    m_high = nullptr;
    m_current = nullptr;
}

void CVozPosBrokerMulti::Open(_FCTLHEAD* files, const char* mode) {
    m_readOnly = strcmp(mode, "rb") == 0 || strcmp(mode, "r") == 0;
    uint32_t sizes[3] = {uint32_t(files->sharedBlockKB) * 1024u,
                         uint32_t(files->branchBlockKB) * 1024u,
                         uint32_t(files->leafBlockKB) * 1024u};
    std::string name[3], ctlRead[3], ctlWrite[3];
    for (int i = 0; i < 3; ++i) {
        name[i] = Fname(files, kSharedKinds[i]);
        ctlRead[i] = Fname(files, CtlRead(files, kSharedKinds[i]));
        ctlWrite[i] = Fname(files, CtlWrite(kSharedKinds[i]));
    }
    if (!m_readOnly) {
        // An interrupted commit is finished before any control is read.
        voz_BLKrecoverJournal(Journal(ctlRead[0]).c_str());
        m_journal = Journal(ctlWrite[0]);
        for (int i = 0; i < 3; ++i) m_ctlWrite[i] = ctlWrite[i];
        if (ctlWrite[0] != ctlRead[0]) {
            voz_BLKrecoverJournal(m_journal.c_str());
        }
    }
    m_commitFailed = 1;  // until the open is complete: Close writes nothing
    m_shared = Make<CVozSharedBlockMgr>(3515);
    m_branch = Make<CVozBlockMgr>(3515);
    m_leaf = Make<CVozBlockMgr>(3515);
    if (!m_readOnly) {
        m_shared->SetControlGroup(&m_group);
        m_branch->SetControlGroup(&m_group);
        m_leaf->SetControlGroup(&m_group);
    }
    const char* w[3];
    for (int i = 0; i < 3; ++i) {
        w[i] = m_readOnly ? nullptr : ctlWrite[i].c_str();
    }
    m_shared->OpenBlockFile(name[0].c_str(), sizes[0], ctlRead[0].c_str(),
                            w[0]);
    m_branch->OpenBlockFile(name[1].c_str(), sizes[1], ctlRead[1].c_str(),
                            w[1]);
    m_leaf->OpenBlockFile(name[2].c_str(), sizes[2], ctlRead[2].c_str(),
                          w[2]);
    uint64_t t = uint64_t(sizes[2]) * 968u / 1000u;
    m_threshold = static_cast<uint32_t>(
        t < VOZ_POS_MED_LIMIT ? t : VOZ_POS_MED_LIMIT);
    m_low = Make<CVozPosLow>(3515, m_shared);
    m_med = Make<CVozPosMed>(3515, m_shared);
    m_high = Make<CVozPosHigh>(3515, m_branch, m_leaf, m_shared);
    m_current = m_low;
    m_commitFailed = 0;
}

void CVozPosBrokerMulti::Close() {
    DeleteLevels();
    CVozException first;
    bool failed = false;
    auto step = [&](auto act) {
        try {
            act();
        } catch (const CVozException& e) {
            if (!failed) first = e;
            failed = true;
        }
    };
    auto close = [&](auto* mgr) {
        if (mgr != nullptr) step([&] { mgr->CloseBlockFile(); });
    };
    bool write = !m_readOnly && m_commitFailed == 0 && m_shared != nullptr &&
                 m_branch != nullptr && m_leaf != nullptr;
    // The committed controls as they stand (a manager whose file was never
    // used writes none of its own at close).
    if (write) step([&] { AddControls(); });
    close(m_shared);
    close(m_branch);
    close(m_leaf);
    if (write && !failed) {
        step([&] { m_group.Write(m_journal.c_str()); });
    }
    m_group.Clear();
    m_inTransaction = 0;
    if (failed) throw first;
}

void CVozPosBrokerMulti::AddControls() {
    CVozClassedBlockCtrl* slots = m_shared->CommittedControl();
    if (slots != nullptr) m_group.Add(m_ctlWrite[0].c_str(), slots->Encode());
    CVozBlockMgr* mgr[2] = {m_branch, m_leaf};
    for (int i = 0; i < 2; ++i) {
        CVozBlockCtrl& c = mgr[i]->CommittedControl();
        if (c.Flag() == 1) m_group.Add(m_ctlWrite[i + 1].c_str(), c.Encode());
    }
}

void CVozPosBrokerMulti::WriteGroup() {
    try {
        AddControls();
        m_group.Write(m_journal.c_str());
    } catch (const CVozException&) {
        m_group.Clear();
        throw;
    }
}

CVozPos* CVozPosBrokerMulti::Internalize() {
    m_added.clear();
    m_attr = voz_EmptyPosAttr(VOZ_POS_LEVEL_LOW);
    m_low->Internalize();
    m_current = m_low;
    return m_low;
}

CVozPos* CVozPosBrokerMulti::Internalize(KEY_REC& k) {
    switch (k.level) {
    case VOZ_POS_LEVEL_LOW: m_current = m_low; break;
    case VOZ_POS_LEVEL_MED: m_current = m_med; break;
    case VOZ_POS_LEVEL_HIGH_LEAF:
    case VOZ_POS_LEVEL_HIGH_BRANCH: m_current = m_high; break;
    default: break;
    }
    voz_KeyToPosAttr(k, m_attr);
    m_added.clear();
    m_current->Internalize(m_attr);
    if (m_current != m_high) Add(*m_current);
    return m_current;
}

CVozPos* CVozPosBrokerMulti::InternalizeWithCreation(KEY_REC& k) {
    std::unique_ptr<CVozPos> p;
    switch (k.level) {
    case VOZ_POS_LEVEL_MED: p.reset(Make<CVozPosMed>(3511, m_shared)); break;
    case VOZ_POS_LEVEL_HIGH_LEAF:
    case VOZ_POS_LEVEL_HIGH_BRANCH:
        p.reset(Make<CVozPosHigh>(3511, m_branch, m_leaf, m_shared));
        break;
    default: p.reset(Make<CVozPosLow>(3511, m_shared)); break;
    }
    POS_ATTR a;
    voz_KeyToPosAttr(k, a);
    p->Internalize(a);
    return p.release();
}

void CVozPosBrokerMulti::Externalize(KEY_REC& k) {
    if (m_current != m_high) {
        uint64_t sum = 0;
        for (CVozPosShort* s : m_added) sum += s->GetDataLen();
        int32_t level = m_current->GetLevel();
        int32_t wanted = sum < VOZ_POS_LOW_LIMIT ? VOZ_POS_LEVEL_LOW
                         : sum < m_threshold     ? VOZ_POS_LEVEL_MED
                                                 : VOZ_POS_LEVEL_HIGH_LEAF;
        if (level != wanted) {
            CVozPos* old = m_current;
            if (level == VOZ_POS_LEVEL_LOW && sum <= m_threshold) {
                *m_med = *m_low;
                m_current = m_med;
            } else {
                POS_ATTR empty = voz_EmptyPosAttr(VOZ_POS_LEVEL_HIGH_LEAF);
                m_high->Internalize(empty);
                m_current = m_high;
            }
            old->RemovePos(m_attr);
            m_attr.blockID = VOZ_POS_NO_BLOCK;
        }
    }
    if (m_current == m_high) {
        m_high->AddToBTree(m_added.data(),
                           static_cast<uint32_t>(m_added.size()));
    } else {
        m_current->InsertDocs(m_added.data(),
                              static_cast<uint32_t>(m_added.size()));
    }
    m_current->Externalize(m_attr);
    m_added.clear();
    m_attr.datalengHigh = 0;  // a level-0 length extension only
    voz_PosAttrToKey(m_attr, k, true);
}

void CVozPosBrokerMulti::Transaction() {
    if (m_readOnly) return;
    try {
        m_shared->Transaction();
        m_branch->Transaction();
        m_leaf->Transaction();
    } catch (const CVozException&) {
        m_group.Clear();
        throw;
    }
    // Changes made outside a transaction became durable pages above; their
    // controls are written together.
    if (!m_group.Empty()) WriteGroup();
    m_inTransaction = 1;
}

void CVozPosBrokerMulti::Commit() {
    if (m_readOnly || !m_inTransaction) return;
    m_inTransaction = 0;
    try {
        m_shared->Commit();
        m_branch->Commit();
        m_leaf->Commit();
        WriteGroup();
    } catch (const CVozException&) {
        m_group.Clear();
        m_commitFailed = 1;
        throw;
    }
}

void CVozPosBrokerMulti::Resume() {
    if (m_readOnly || !m_inTransaction) return;
    m_inTransaction = 0;
    m_shared->Resume();
    m_branch->Resume();
    m_leaf->Resume();
}

void CVozPosBrokerMulti::CreateFirstIndex(_FCTLHEAD* files) {
    uint32_t sizes[3] = {uint32_t(files->sharedBlockKB) * 1024u,
                         uint32_t(files->branchBlockKB) * 1024u,
                         uint32_t(files->leafBlockKB) * 1024u};
    std::string name[3], ctl[3];
    for (int i = 0; i < 3; ++i) {
        name[i] = Fname(files, kSharedKinds[i]);
        ctl[i] = Fname(files, CtlWrite(kSharedKinds[i]));
    }
    // A journal of an older commit there must not be replayed over the
    // new, empty controls.
    DropJournal(Journal(ctl[0]));
    CVozSharedBlockMgr shared;
    shared.Initialize(name[0].c_str(), ctl[0].c_str(), sizes[0]);
    CVozBlockMgr branch;
    branch.Initialize(name[1].c_str(), ctl[1].c_str(), sizes[1], 1);
    CVozBlockMgr leaf;
    leaf.Initialize(name[2].c_str(), ctl[2].c_str(), sizes[2], 1);
}

void CVozPosBrokerMulti::RenamePosFiles(_FCTLHEAD* from, _FCTLHEAD* to) {
    for (uint16_t kind : kSharedKinds) {
        std::string src = Fname(from, kind), dst = Fname(to, kind);
        if (!Exists(src) || src == dst) continue;
        GTRSTATUS st{};
        if (voz_ReplacePath(src.c_str(), dst.c_str(), 3520, &st) != 0) {
            throw CVozException(st);
        }
    }
}

void CVozPosBrokerMulti::CopyPosFiles(_FCTLHEAD* from, _FCTLHEAD* to) {
    for (uint16_t kind : kSharedKinds) {
        std::string src = Fname(from, kind), dst = Fname(to, kind);
        if (!Exists(src) || src == dst) continue;
        GTRSTATUS st{};
        if (voz_CopyReplacing(src.c_str(), dst.c_str(), 3521, &st) != 0) {
            throw CVozException(st);
        }
    }
}

int CVozPosBrokerMulti::RemovePosFiles(_FCTLHEAD* files) {
    for (int i = 0; i < 2; ++i) {
        std::string n = Fname(files, kSharedKinds[i]);
        if (Exists(n)) CVozExtentMgr::Remove(n.c_str());
    }
    std::string leaf = Fname(files, VOZ_FT_LEAF);
    if (!Exists(leaf)) return 0;
    CVozExtentMgr::Remove(leaf.c_str());
    return 0;
}

std::string CVozPosBrokerMulti::JournalName(_FCTLHEAD* files) {
    return Journal(Fname(files, VOZ_FT_CONTROL | VOZ_FT_SHARED));
}

void CVozPosBrokerMulti::RecoverControls(_FCTLHEAD* files) {
    voz_BLKrecoverJournal(JournalName(files).c_str());
}

void CVozPosBrokerMulti::DiscardJournal(_FCTLHEAD* files) {
    DropJournal(JournalName(files));
}

// ---- sequential position file ------------------------------------------------

CVozPosBrokerNormal::CVozPosBrokerNormal(uint8_t ownFile)
    : m_reader(nullptr), m_file(nullptr), m_ownsFile(ownFile),
      m_writable(0) {
    if (ownFile) m_file = Make<CVozFileIO>(3503);
}

CVozPosBrokerNormal::~CVozPosBrokerNormal() {
    delete m_reader;
    if (m_ownsFile) delete m_file;
}

void CVozPosBrokerNormal::Open(_FCTLHEAD* files, const char* mode) {
    std::string name = Fname(files, VOZ_FT_POS);
    m_file->Open(name.c_str(), mode);
    m_writable = strpbrk(mode, "wa+") != nullptr;
    m_reader = Make<CVozPosWork>(3512);
    m_reader->SetFileMgr(m_file);
    m_reader->RestrictReadLength(GetFileSize());
    m_reader->SetBuffer(files->posBufSize, files->posBuf);
    m_current = m_reader;
}

void CVozPosBrokerNormal::Close() {
    delete m_reader;
    m_reader = nullptr;
    m_current = nullptr;
    if (m_file != nullptr) m_file->Close();
}

CVozPos* CVozPosBrokerNormal::Internalize() {
    m_added.clear();
    m_attr = voz_EmptyPosAttr(VOZ_POS_LEVEL_NORMAL);
    m_reader->Internalize();
    m_current = m_reader;
    return m_reader;
}

CVozPos* CVozPosBrokerNormal::Internalize(KEY_REC& k) {
    voz_KeyToPosAttr(k, m_attr);
    m_added.clear();
    m_reader->SetReadOffset(0);  // an index's lists: read at their offset
    m_reader->InternalizeWithoutSeek(m_attr);
    m_current = m_reader;
    Add(*m_reader);
    return m_reader;
}

CVozPos* CVozPosBrokerNormal::InternalizeWithCreation(KEY_REC& k) {
    std::unique_ptr<CVozPosNormal> p(Make<CVozPosNormal>(3513));
    p->SetFileMgr(m_file);
    POS_ATTR a;
    voz_KeyToPosAttr(k, a);
    p->Internalize(a);
    return p.release();
}

void CVozPosBrokerNormal::Externalize(KEY_REC& k) {
    m_current->InsertDocs(m_added.data(),
                          static_cast<uint32_t>(m_added.size()));
    m_current->Externalize(m_attr);
    m_added.clear();
    voz_PosAttrToKey(m_attr, k, false);
}

void CVozPosBrokerNormal::Commit() {
    if (!m_writable || m_file == nullptr || !m_file->IsOpen()) return;
    if (m_file->Flush() != 0 || voz_BLKsyncPath(m_file->Name()) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3523, m_file->Name());
    }
}

uint64_t CVozPosBrokerNormal::GetFileSize() {
    m_file->Seek(0, 2);
    int64_t size = m_file->Tell();
    m_file->Seek(0, 0);
    return static_cast<uint64_t>(size);
}

void CVozPosBrokerNormal::Read(void* buffer, int32_t length) {
    m_file->Read(buffer, length);
}

void CVozPosBrokerNormal::Write(const void* buffer, int32_t length) {
    m_file->Write(buffer, length);
}

void CVozPosBrokerNormal::Seek(int64_t offset, int whence) {
    m_file->Seek(offset, whence);
}

int64_t CVozPosBrokerNormal::Tell() { return m_file->Tell(); }

// ---- work files ----------------------------------------------------------------

CVozPosBrokerWork::CVozPosBrokerWork() : CVozPosBrokerNormal(0) {}

CVozPosBrokerWork::~CVozPosBrokerWork() = default;

void CVozPosBrokerWork::Open(_FCTLHEAD* files, const char* mode) {
    if (m_file == nullptr) {
        m_file = Make<CVozFileIO>(3509);
        m_ownsFile = 1;
        std::string name = Fname(files, VOZ_FT_POS);
        m_file->Open(name.c_str(), mode);
    }
    m_reader = Make<CVozPosWork>(3514);
    m_reader->SetFileMgr(m_file);
    m_reader->RestrictReadLength(files->posSize);
    m_reader->SetBuffer(files->posBufSize, files->posBuf);
    m_reader->SetReadOffset(files->posStart);
    m_current = m_reader;
}

void CVozPosBrokerWork::Close() {
    delete m_reader;
    m_reader = nullptr;
    m_current = nullptr;
    if (m_ownsFile && m_file != nullptr) m_file->Close();
}

CVozPos* CVozPosBrokerWork::Internalize(KEY_REC& k) {
    voz_KeyToPosAttr(k, m_attr);
    m_added.clear();
    m_reader->InternalizeWithoutSeek(m_attr);
    m_current = m_reader;
    Add(*m_reader);
    return m_reader;
}

CVozPosBrokerWork* CVozPosBrokerWork::Replica() {
    CVozPosBrokerWork* r = Make<CVozPosBrokerWork>(3510);
    r->m_file = m_file;
    r->m_ownsFile = 0;
    return r;
}
