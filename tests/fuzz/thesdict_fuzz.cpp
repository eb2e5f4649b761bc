// Fuzz target: the readers of a thesaurus dictionary's files. The first
// eight bytes give the lengths (two bytes each, big-endian) of the word
// slot, word value and group slot files; the group value file takes the
// rest. The head, every word and every group are read: only success,
// 519 (a file ends early), 541 (integrity lost), 542 (version) or 520
// may come back, and nothing the head does not allow is handed out.
// Then the dictionary's calls run over the same files (beside the word
// index of a compiled fixture): verification, a lookup of a word of the
// fixture and a whole dump give 0 or a dictionary retcode, never a crash.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cnet_file.hpp"
#include "fuzz_input.hpp"
#include "voz_cnet.h"

namespace {

const char* const kExt[] = {"wdf", "wdv", "grf", "grv"};

std::string& scratchPath() {
    static std::string path;
    return path;
}

void removeScratch() {
    CNETSTATUS st;
    vozCNETclear(scratchPath().c_str(), "th", &st);
    for (const char* ext : kExt) std::remove((scratchPath() + "/th." + ext).c_str());
    for (const char* ext : {"lk1", "lk2", "lk3", "def", "out"})
        std::remove((scratchPath() + "/th." + ext).c_str());
    rmdir(scratchPath().c_str());
}

// A compiled fixture gives the directory its word index and lock files.
void compileFixture(const std::string& dir) {
    const std::string def = dir + "/th.def";
    FILE* f = std::fopen(def.c_str(), "wb");
    if (f == nullptr) return;
    std::fputs(":WORDS:SYNONYM\ncar\nauto :50\n:WORDS\nbus\n.HIGHER_THAN vehicle\n", f);
    std::fclose(f);
    CNETDEFINE d{};
    d.kind = CNET_DEFINE_KIND_FILE;
    d.fileName = def.c_str();
    CNETATTRI a{};
    a.codepage = 8;
    CNETEXEC o{};
    o.flags = CNET_EXEC_REPLACE;
    CNETSTATUS st;
    vozCNETregist(dir.c_str(), "th", &d, &a, &o, nullptr, &st);
}

bool dictionaryCode(uint32_t rc) {
    return rc == 0 || (rc >= 501 && rc <= 567) || rc >= 10000;
}

void runCalls(const std::string& dir) {
    CNETEXEC quiet{};
    CNETSTATUS st{};
    vozCNETverify(dir.c_str(), "th", &quiet, nullptr, nullptr, &st);
    FUZZ_CHECK(dictionaryCode(st.retcode));
    CNETBASE base{};
    std::memcpy(base.term, "car", 3);
    base.length = 3;
    base.precision = 100;
    CNETPATH path{};
    path.types = 0xF0;
    path.userKinds = 0x70;
    path.termLimit = 8;
    path.depthLimit = 4;
    CNETRESULT results[8];
    CNETOUTPUT out{};
    out.results = results;
    void* work = nullptr;
    vozCNETrefer(&work, nullptr, "th", dir.c_str(), &base, &path, nullptr, &out, &st);
    FUZZ_CHECK(dictionaryCode(st.retcode));
    FUZZ_CHECK(out.count <= 8);
    vozCNETrefer_Release(&work, &st);
    const std::string dumped = dir + "/th.out";
    CNETDEFINE d{};
    d.kind = CNET_DEFINE_KIND_FILE;
    d.fileName = dumped.c_str();
    quiet.flags = CNET_EXEC_REPLACE;
    vozCNETdump(dir.c_str(), "th", nullptr, &d, &quiet, nullptr, &st);
    FUZZ_CHECK(dictionaryCode(st.retcode));
}

// A directory of this process, removed with its files at exit.
std::string scratchDir() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath() = std::string(dir) + "/thesdict_fuzz." + std::to_string(getpid());
    mkdir(scratchPath().c_str(), 0700);
    std::atexit(removeScratch);
    compileFixture(scratchPath());
    return scratchPath();
}

bool allowed(uint32_t rc) {
    return rc == 0 || rc == 519 || rc == 541 || rc == 542 || rc == 520;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    size_t lengths[3];
    for (size_t& n : lengths) n = static_cast<size_t>(in.byte()) << 8 | in.byte();
    std::string parts[4] = {in.take(lengths[0]), in.take(lengths[1]), in.take(lengths[2]),
                            in.rest()};
    static const std::string dir = scratchDir();
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETSTATUS st{};
    if (!cnetSetCNETCTL(ctl, dir.c_str(), "th", 0, &st)) std::abort();
    for (int i = 0; i < 4; ++i) {
        FILE* f = std::fopen(ctl->f[i].name, "wb");
        if (f == nullptr) return 0;
        std::fwrite(parts[i].data(), 1, parts[i].size(), f);
        std::fclose(f);
    }
    CNETHEAD head;
    if (cnetOpen(ctl, "rb", &st) && cnetReadHead(ctl, &head, &st)) {
        for (uint32_t id = 0; id < head.wordCount && id < 4096; ++id) {
            CNETWORD w;
            if (!cnetReadWord(ctl, id, &w, &st)) break;
            if (w.deleted) continue;
            FUZZ_CHECK(w.groupCount <= head.maxWordGroups && w.relCount <= head.maxWordRels);
            for (uint32_t g = 0; g < w.groupCount; ++g) FUZZ_CHECK(w.groups[g] < head.groupCount);
            for (uint32_t r = 0; r < w.relCount; ++r) FUZZ_CHECK(w.rels[r].target < head.wordCount);
        }
        st = {};
        for (uint32_t id = 0; id < head.groupCount && id < 4096; ++id) {
            CNETGROUP g;
            if (!cnetReadGroup(ctl, id, &g, &st)) break;
            if (g.deleted) continue;
            FUZZ_CHECK(g.memberCount <= head.maxGroupMembers && g.relCount <= head.maxGroupRels);
            for (uint32_t e = 0; e < g.memberCount + g.relCount; ++e)
                FUZZ_CHECK(g.entries[e].wordId < head.wordCount);
        }
    }
    FUZZ_CHECK(allowed(st.retcode));
    cnetFreeCNETCTL(ctl);
    std::free(ctl);
    st = {};
    bool exists = false;
    uint8_t cp = 0;
    cnetExist(dir.c_str(), "th", &exists, &cp, &st);
    FUZZ_CHECK(allowed(st.retcode));
    runCalls(dir);
    return 0;
}
