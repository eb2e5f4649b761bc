// A stand-in filter library pair loaded for a test: the data-access and
// content-access libraries of one directory of <build>/filter_standin,
// their procedures and counters, reset on load.
#ifndef TESTS_ITL_DL_FILTER_STANDIN_FIXTURE_HPP
#define TESTS_ITL_DL_FILTER_STANDIN_FIXTURE_HPP

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "itl_filter_interface.hpp"
#include "sc_standin.hpp"

class StandinLibraries {
 public:
  // `subdir`: "" for the full pair, "nosetoption" for the one without
  // DASetOption.
  explicit StandinLibraries(std::string const& subdir = "") {
    std::string dir = std::string(TI_FILTER_STANDIN_DIR) +
                      (subdir.empty() ? "" : "/" + subdir);
    da = dlopen((dir + "/libsc_da.so").c_str(), RTLD_NOW);
    ca = dlopen((dir + "/libsc_ca.so").c_str(), RTLD_NOW);
    EXPECT_NE(da, nullptr) << dlerror();
    EXPECT_NE(ca, nullptr) << dlerror();
    if (da) call<void (*)()>(da, "scStandinReset")();
    if (ca) call<void (*)()>(ca, "scStandinReset")();
  }
  ~StandinLibraries() {
    if (ca) dlclose(ca);
    if (da) dlclose(da);
  }
  StandinLibraries(StandinLibraries const&) = delete;
  StandinLibraries& operator=(StandinLibraries const&) = delete;

  template <class F>
  static F call(void* lib, char const* name) {
    return reinterpret_cast<F>(dlsym(lib, name));
  }
  ScStStandinCounters const& daCounters() const {
    return *call<ScStStandinCounters* (*)()>(da, "scStandinCounters")();
  }
  ScStStandinCounters const& caCounters() const {
    return *call<ScStStandinCounters* (*)()>(ca, "scStandinCounters")();
  }
  void inject(char const* procedure, int32_t status) const {
    call<void (*)(char const*, int32_t)>(da, "scStandinInjectStatus")(
        procedure, status);
  }

  void reset() const {
    call<void (*)()>(da, "scStandinReset")();
    call<void (*)()>(ca, "scStandinReset")();
  }

  void* da = nullptr;
  void* ca = nullptr;
};

inline void scStandinResetBoth(StandinLibraries const& libs) { libs.reset(); }

#endif  // TESTS_ITL_DL_FILTER_STANDIN_FIXTURE_HPP
