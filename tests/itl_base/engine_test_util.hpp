// Helpers of the engine's storage tests: the exception an action throws,
// and the bytes of an engine file (a partitioned file's part 0000).
#ifndef TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP
#define TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "postings/voz_bufferpos.hpp"
#include "characters/voz_cpinfo.hpp"
#include "files/voz_exception.hpp"

// Runs `act` and returns the exception it throws (retcode -1 when none).
inline CVozException thrown(const std::function<void()>& act) {
    try {
        act();
    } catch (const CVozException& e) {
        return e;
    }
    return CVozException(-1);
}

// The bytes of `path`; of its part 0000 when it is a partitioned file's
// directory; empty when it cannot be read.
inline std::string slurp(const std::string& path) {
    struct stat sb;
    std::string name = path;
    if (stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) name += "/0000";
    std::string text = readFile(name);
    return text == "<missing>" ? std::string() : text;
}

// The code-page record of internal code `code`, filled by the engine.
inline VOZ_CPINFO cpOf(uint8_t code) {
    VOZ_CPINFO cp{};
    cp.code = code;
    vozCHsetCPInfo(&cp);
    return cp;
}

// Converting the hexadecimal text `hex` (at least three characters) into
// a 5-byte output stops with "full" after two units and writes nothing
// beyond them.
inline void expectConverterStopsWhenFull(uint8_t code, const char* hex);

// Reads hexadecimal bytes ("C1 42F0"; blanks are ignored).
inline std::vector<uint8_t> fromHex(const char* text) {
    std::vector<uint8_t> bytes;
    for (const char* p = text; *p != 0;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        unsigned v = 0;
        std::sscanf(p, "%2x", &v);
        bytes.push_back(static_cast<uint8_t>(v));
        p += 2;
    }
    return bytes;
}

inline void expectConverterStopsWhenFull(uint8_t code, const char* hex) {
    std::vector<uint8_t> in = fromHex(hex);
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    uint8_t out[8];
    std::memset(out, 0xCC, sizeof out);
    int32_t len = 5;
    uint8_t state = 0;
    EXPECT_EQ(vozCHconvert(cp, in.data(), in.data() + in.size(), nullptr, 0, out,
                           &len, nullptr, nullptr, &state),
              VOZ_CH_FULL)
        << "code " << int(code);
    EXPECT_EQ(len, 4) << "code " << int(code);
    EXPECT_EQ(out[4], 0xCC) << "code " << int(code);
}

// Upper-case hexadecimal of `bytes`, a blank between groups of `group`
// bytes (none when `group` is 0).
inline std::string hexGroups(const std::vector<uint8_t>& bytes, size_t group) {
    std::string text;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (group != 0 && i != 0 && i % group == 0) text += ' ';
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        text += buf;
    }
    return text;
}

// A position list as (document id, ascending positions) pairs.
using PosList = std::vector<std::pair<uint32_t, std::vector<uint32_t>>>;
inline uint32_t docIdOf(const PosList::value_type& doc) { return doc.first; }
inline const std::vector<uint32_t>& positionsOf(const PosList::value_type& doc) {
    return doc.second;
}

// Reference encoder of a position list, from the layout tables alone: a
// header (delta from the previous document, the first from -1; byte length
// of the position data) and the position deltas of each document.  Works
// on any list whose elements have docIdOf/positionsOf overloads.
template <typename List>
std::vector<uint8_t> encodePositionList(const List& list) {
    std::vector<uint8_t> out;
    uint32_t prevDoc = 0xFFFFFFFF;
    for (const auto& doc : list) {
        std::vector<uint8_t> data;
        uint32_t prev = 0;
        for (auto p : positionsOf(doc)) {
            uint8_t code[5];
            uint32_t pos = static_cast<uint32_t>(p);
            data.insert(data.end(), code, code + voz_PosCodeEncode(code, pos - prev));
            prev = pos;
        }
        uint8_t head[16];
        uint32_t h = voz_PosHeaderEncode(head, docIdOf(doc) - prevDoc,
                                         static_cast<uint32_t>(data.size()));
        out.insert(out.end(), head, head + h);
        out.insert(out.end(), data.begin(), data.end());
        prevDoc = docIdOf(doc);
    }
    return out;
}

inline std::vector<uint8_t> encodePositionList(const PosList& list) {
    return encodePositionList<PosList>(list);
}

#endif  // TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP
