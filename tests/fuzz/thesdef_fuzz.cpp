// Fuzz target: the thesaurus definition-file reader. The first byte picks
// the engine code-page code (0..37, ASCII or EBCDIC form); the rest is a
// definition file, read block by block to its end. Only success, a
// definition error (567), memory exhaustion (520) or an engine code may
// come back, and every block must hold what the reader promises.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cnet_def.hpp"
#include "fuzz_input.hpp"

namespace {

std::string scratchFile() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/thesdef_fuzz." + std::to_string(getpid());
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
    if (cnetDefOpen(ctl, &def, codepage, "rb", &st)) {
        for (;;) {
            if (!cnetDefRead(ctl, &quiet, &st)) break;
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
    std::remove(path.c_str());
    return 0;
}
