// Fuzz target: the readers of a thesaurus dictionary's files. The first
// eight bytes give the lengths (two bytes each, big-endian) of the word
// slot, word value and group slot files; the group value file takes the
// rest. The head, every word and every group are read: only success,
// 519 (a file ends early), 541 (integrity lost), 542 (version) or 520
// may come back, and nothing the head does not allow is handed out.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "cnet_file.hpp"
#include "fuzz_input.hpp"

namespace {

const char* const kExt[] = {"wdf", "wdv", "grf", "grv"};

std::string& scratchPath() {
    static std::string path;
    return path;
}

void removeScratch() {
    for (const char* ext : kExt) std::remove((scratchPath() + "/th." + ext).c_str());
    rmdir(scratchPath().c_str());
}

// A directory of this process, removed with its files at exit.
std::string scratchDir() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    scratchPath() = std::string(dir) + "/thesdict_fuzz." + std::to_string(getpid());
    mkdir(scratchPath().c_str(), 0700);
    std::atexit(removeScratch);
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
    return 0;
}
