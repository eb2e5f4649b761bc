// Helpers of the engine's storage tests: the exception an action throws,
// and the bytes of an engine file (a partitioned file's part 0000).
#ifndef TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP
#define TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ti_test_util.hpp"
#include "voz_bufferpos.hpp"
#include "voz_exception.hpp"

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
