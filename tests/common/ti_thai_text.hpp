// Real Thai text for tests: the translations of the Thai message
// catalogues that Debian's dpkg and apt install
// (/usr/share/locale/th/LC_MESSAGES/{dpkg,apt}.mo), as UTF-16. Tests skip
// when neither file is present.
//
// A catalogue file (little- or big-endian): magic 0x950412de, revision,
// string count N, offset of the original table, offset of the translation
// table; each table holds N (length, offset) pairs of 32-bit values.
#ifndef TESTS_COMMON_TI_THAI_TEXT_HPP
#define TESTS_COMMON_TI_THAI_TEXT_HPP

#include <unicode/ustring.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<std::u16string> thaiCatalogueTexts() {
    std::vector<std::u16string> texts;
    for (char const* path : {"/usr/share/locale/th/LC_MESSAGES/dpkg.mo",
                             "/usr/share/locale/th/LC_MESSAGES/apt.mo"}) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)),
                          std::istreambuf_iterator<char>());
        if (bytes.size() < 20) continue;
        auto u32 = [&](size_t at, bool swap) -> uint32_t {
            if (at + 4 > bytes.size()) return 0;
            uint32_t v = 0;
            for (int i = 0; i < 4; ++i)
                v |= static_cast<uint32_t>(static_cast<unsigned char>(
                         bytes[at + (swap ? 3 - i : i)]))
                     << (8 * i);
            return v;
        };
        bool swap = u32(0, false) != 0x950412deu;
        if (u32(0, swap) != 0x950412deu) continue;
        uint32_t count = u32(8, swap), table = u32(16, swap);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t length = u32(table + 8 * i, swap);
            uint32_t offset = u32(table + 8 * i + 4, swap);
            if (length == 0 || size_t(offset) + length > bytes.size()) continue;
            std::string text = bytes.substr(offset, length);
            // Plural forms are NUL-separated: take each.
            size_t start = 0;
            while (start <= text.size()) {
                size_t end = text.find('\0', start);
                if (end == std::string::npos) end = text.size();
                std::string piece = text.substr(start, end - start);
                std::u16string out(piece.size() + 1, u'\0');
                int32_t n = 0;
                UErrorCode status = U_ZERO_ERROR;
                u_strFromUTF8(reinterpret_cast<UChar*>(&out[0]),
                              static_cast<int32_t>(out.size()), &n,
                              piece.data(), static_cast<int32_t>(piece.size()),
                              &status);
                bool thai = false;
                for (int32_t k = 0; k < n; ++k)
                    thai |= out[k] >= 0x0E00 && out[k] <= 0x0E7F;
                if (U_SUCCESS(status) && thai) {
                    out.resize(static_cast<size_t>(n));
                    texts.push_back(out);
                }
                start = end + 1;
            }
        }
    }
    return texts;
}

#endif  // TESTS_COMMON_TI_THAI_TEXT_HPP
