// Fuzz target: the thesaurus definition-file reader and the compiler. The
// first byte picks the engine code-page code (0..37, ASCII or EBCDIC
// form); the rest is a definition file, read block by block to its end.
// Only success, a definition error (567), memory exhaustion (520) or an
// engine code may come back, and every block must hold what the reader
// promises. An accepted file (code page 1..36) is then compiled into a
// dictionary of a scratch directory and its first word looked up.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cnet_def.hpp"
#include "voz_cnet.h"
#include "calls/voz_wordcalls.hpp"
#include "files/voz_status.hpp"
#include "fuzz_input.hpp"

namespace {

std::string scratchFile() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/thesdef_fuzz." + std::to_string(getpid());
}

std::string& scratchDirPath() {
    static std::string path;
    return path;
}

void removeScratchDir() {
    if (scratchDirPath().empty()) return;
    CNETSTATUS st;
    vozCNETclear(scratchDirPath().c_str(), "th", &st);
    for (const char* e : {".lk1", ".lk2", ".lk3"}) std::remove((scratchDirPath() + "/th" + e).c_str());
    rmdir(scratchDirPath().c_str());
}

// The directory of the compiled dictionaries, removed at exit.
std::string scratchDir() {
    scratchDirPath() = scratchFile() + ".d";
    mkdir(scratchDirPath().c_str(), 0700);
    std::atexit(removeScratchDir);
    return scratchDirPath();
}

bool dictionaryCode(uint32_t rc) {
    return rc == 0 || (rc >= 501 && rc <= 567) || rc >= 10000;
}

// Compiles the accepted definition and looks up `first` (normalised).
void compileAndLookUp(const CNETDEFINE& def, uint8_t codepage, const std::string& first) {
    static const std::string dir = scratchDir();
    CNETATTRI attri{};
    attri.codepage = codepage;
    CNETEXEC opts{};
    opts.flags = CNET_EXEC_REPLACE;
    CNETSTATUS st{};
    vozCNETregist(dir.c_str(), "th", &def, &attri, &opts, nullptr, &st);
    FUZZ_CHECK(dictionaryCode(st.retcode));
    if (st.retcode != 0 || first.empty()) return;
    uint8_t display[256];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRunnormalizeWord(codepage, reinterpret_cast<const uint8_t*>(first.data()),
                       static_cast<int32_t>(first.size()), display, 64, &len, 1, &gs);
    if (gs.retcode != 0 || len < 1 || len > 64) return;
    CNETBASE base{};
    std::memcpy(base.term, display, static_cast<size_t>(len));
    base.length = static_cast<uint16_t>(len);
    base.precision = 100;
    CNETPATH path{};
    path.types = 0xF0;
    path.userKinds = 0x70;
    path.termLimit = 16;
    path.depthLimit = 3;
    CNETRESULT results[16];
    CNETOUTPUT out{};
    out.results = results;
    void* work = nullptr;
    vozCNETrefer(&work, nullptr, "th", dir.c_str(), &base, &path, nullptr, &out, &st);
    FUZZ_CHECK(dictionaryCode(st.retcode));
    FUZZ_CHECK(out.count <= 16);
    vozCNETrefer_Release(&work, &st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    uint8_t codepage = static_cast<uint8_t>(in.byte() % 38);
    std::string text = in.rest();
    static const std::string path = scratchFile();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);

    CNETDEFINE def{};
    def.kind = CNET_DEFINE_KIND_FILE;
    def.fileName = path.c_str();
    CNETEXEC quiet{};  // no warnings on standard error
    DEFCTL* ctl = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
    CNETSTATUS st{};
    std::string first;
    if (cnetDefOpen(ctl, &def, codepage, "rb", &st)) {
        for (;;) {
            if (!cnetDefRead(ctl, &quiet, &st)) break;
            if (first.empty() && ctl->count > 0)
                first.assign(reinterpret_cast<const char*>(ctl->text + ctl->words[0].offset),
                             ctl->words[0].length);
            FUZZ_CHECK(ctl->count == ctl->memberCount + ctl->relCount);
            if (ctl->memberCount == 0) {
                FUZZ_CHECK(ctl->count == 0);
                break;
            }
            for (uint32_t i = 0; i < ctl->count; ++i) {
                const DEFWORD& w = ctl->words[i];
                FUZZ_CHECK(w.length >= 1 && w.length <= CNET_DEF_NORM_MAX);
                FUZZ_CHECK(w.offset + w.length <= ctl->textFill);
                FUZZ_CHECK(w.strength >= 1 && w.strength <= 100);
                FUZZ_CHECK((w.rel.category == 255) == (i < ctl->memberCount));
                if (i > 0 && (i != ctl->memberCount))
                    FUZZ_CHECK(cnetWordCmp(ctl->text + ctl->words[i - 1].offset,
                                           ctl->words[i - 1].length, ctl->text + w.offset,
                                           w.length) < 0);
            }
        }
    }
    cnetDefClose(ctl, nullptr);
    std::free(ctl);
    FUZZ_CHECK(st.retcode == 0 || st.retcode == 567 || st.retcode == 520 ||
               st.retcode >= 10000);
    if (st.retcode == 567) FUZZ_CHECK(st.errcode >= 2 && st.errcode <= 10);
    if (st.retcode == 0 && codepage >= 1 && codepage <= 36) compileAndLookUp(def, codepage, first);
    std::remove(path.c_str());
    return 0;
}
