// Helpers of the engine's storage tests: the exception an action throws,
// and the bytes of an engine file (a partitioned file's part 0000).
#ifndef TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP
#define TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>

#include "ti_test_util.hpp"
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

#endif  // TESTS_ITL_BASE_ENGINE_TEST_UTIL_HPP
