# Checks of libvqxthes beyond its unit tests:
#  - the public header voz_cnet.h compiles alone as C (and as C++ with
#    clang when it is installed);
#  - every thesaurus lookup function leaves the library (that nothing
#    else does is checked by library_exports, tests/install/exports.sh).
add_test(NAME itl_cnet_header_c
         COMMAND ${CMAKE_C_COMPILER} -x c -std=c99 -Wall -Wextra -pedantic-errors
                 -fsyntax-only ${PROJECT_SOURCE_DIR}/headers/itl_cnet/voz_cnet.h)
find_program(TI_CNET_CLANG NAMES clang clang-19 clang-18 clang-17 clang-16
                                 clang-15 clang-14)
if(TI_CNET_CLANG)
  add_test(NAME itl_cnet_header_clang_c
           COMMAND ${TI_CNET_CLANG} -x c -std=c99 -Wall -Wextra -pedantic-errors
                   -fsyntax-only ${PROJECT_SOURCE_DIR}/headers/itl_cnet/voz_cnet.h)
  add_test(NAME itl_cnet_header_clang_cxx
           COMMAND ${TI_CNET_CLANG} -x c++ -std=c++17 -Wall -Wextra -pedantic-errors
                   -fsyntax-only ${PROJECT_SOURCE_DIR}/headers/itl_cnet/voz_cnet.h)
endif()
# Every function of itl_thesaurus.h leaves libvqxthes unmangled.
add_test(NAME itl_cnet_thesaurus_exports
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/itl_api/exports.sh
                 $<TARGET_FILE:vqxthes> ${PROJECT_SOURCE_DIR}/headers/itl_api/itl_thesaurus.h)
