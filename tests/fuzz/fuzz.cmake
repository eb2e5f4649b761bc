# Fuzz targets and the header check; included at the end of
# tests/CMakeLists.txt.
#
# Every tests/fuzz/<name>_fuzz.cpp defines LLVMFuzzerTestOneInput and has a
# seed corpus in tests/fuzz/corpus/<name>/.
#   - In every build, fuzz_replay_<name> (the target with replay_main.cpp)
#     runs the corpus once as the test fuzz_<name>_corpus, with the build's
#     own compiler and flags (the sanitizer build included).
#   - With -DTI_FUZZ=ON and clang (CC=clang CXX=clang++), fuzz_<name> is the
#     libFuzzer program; the libraries are instrumented for coverage.
#     `cmake --build <dir> --target fuzz_targets` builds them all.
# When clang++ is found, each public header is compiled alone with it
# (-std=c++17 -pedantic-errors) as the test header_clang_<dir>_<name>.

set(TI_FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
file(GLOB ti_fuzz_sources CONFIGURE_DEPENDS ${TI_FUZZ_DIR}/*_fuzz.cpp)
# Targets of the services library link it alone; the engine's link both.
set(ti_fuzz_cos_targets ini usage converter tracefile)

option(TI_FUZZ "Build the libFuzzer programs (clang only)" OFF)
if(TI_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TI_FUZZ needs clang: configure with CC=clang CXX=clang++")
endif()
if(TI_FUZZ)
  # Coverage instrumentation of the code under test.
  foreach(lib qorsvc_obj vozbase_obj itl_common_obj itl_expat_obj itl_tl_obj itl_dl_obj
              itl_index_obj itl_search_obj itl_api_obj itl_cnet_obj)
    if(TARGET ${lib})
      set_property(TARGET ${lib} APPEND PROPERTY COMPILE_OPTIONS -fsanitize=fuzzer-no-link)
    endif()
  endforeach()
  add_custom_target(fuzz_targets)
endif()

# Links a target program (replay or libFuzzer) with the libraries given.
function(ti_fuzz_program exe)
  target_link_libraries(${exe} PRIVATE ${ARGN})
  target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/common
                             ${CMAKE_CURRENT_SOURCE_DIR}/itl_base)
  target_compile_definitions(${exe} PRIVATE TI_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  # The filter-library target loads our stand-in filter libraries.
  if(exe MATCHES "^fuzz_(replay_)?inso$" AND TARGET filter_standins)
    add_dependencies(${exe} filter_standins)
    target_compile_definitions(${exe} PRIVATE
      TI_FILTER_STANDIN_DIR="${TI_FILTER_STANDIN_DIR}")
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/source/filter_standin)
    target_link_libraries(${exe} PRIVATE ${CMAKE_DL_LIBS})
  endif()
endfunction()

foreach(src ${ti_fuzz_sources})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${name})
  if(name IN_LIST ti_fuzz_cos_targets)
    set(ti_fuzz_libs qorsvc_obj)
  else()
    set(ti_fuzz_libs vozbase_obj qorsvc_obj ICU::uc ICU::i18n ICU::data)
    # Readers of the index library link every folder of it that exists.
    foreach(lib itl_common_obj itl_expat_obj itl_tl_obj itl_dl_obj itl_index_obj itl_search_obj itl_api_obj)
      if(TARGET ${lib})
        list(APPEND ti_fuzz_libs ${lib})
      endif()
    endforeach()
    if(name STREQUAL "btree")  # builds its index with the storage tests' fixture
      list(APPEND ti_fuzz_libs GTest::gtest)
    endif()
    if(name MATCHES "^thes" AND TARGET itl_cnet_obj)  # the thesaurus readers
      list(APPEND ti_fuzz_libs itl_cnet_obj)
    endif()
  endif()
  add_executable(fuzz_replay_${name} ${src} ${TI_FUZZ_DIR}/replay_main.cpp)
  ti_test_libs(ti_replay_libs ${ti_fuzz_libs})
  ti_fuzz_program(fuzz_replay_${name} ${ti_replay_libs})
  add_test(NAME fuzz_${name}_corpus
           COMMAND fuzz_replay_${name} ${TI_FUZZ_DIR}/corpus/${name})
  set_tests_properties(fuzz_${name}_corpus PROPERTIES TIMEOUT 300)
  if(TI_FUZZ)
    add_executable(fuzz_${name} ${src})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    ti_fuzz_program(fuzz_${name} ${ti_fuzz_libs})
    add_dependencies(fuzz_targets fuzz_${name})
  endif()
endforeach()

# Every public header compiles alone with clang in strict standard C++.
find_program(TI_CLANGXX NAMES clang++ clang++-19 clang++-18 clang++-17
                              clang++-16 clang++-15 clang++-14)
if(TI_CLANGXX)
  set(ti_header_roots ${PROJECT_SOURCE_DIR}/cos/headers)
  # Headers of the index library may include the engine's record headers
  # ("files/...", relative to source/itl_base).
  set(ti_header_includes -I${PROJECT_SOURCE_DIR}/cos/headers
                         -I${PROJECT_SOURCE_DIR}/source/itl_base)
  if(EXISTS ${PROJECT_SOURCE_DIR}/headers)
    list(APPEND ti_header_roots ${PROJECT_SOURCE_DIR}/headers)
    list(APPEND ti_header_includes -I${PROJECT_SOURCE_DIR}/headers)
    file(GLOB ti_header_dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/headers/*)
    foreach(dir ${ti_header_dirs})
      if(IS_DIRECTORY ${dir})
        list(APPEND ti_header_includes -I${dir})
      endif()
    endforeach()
  endif()
  foreach(root ${ti_header_roots})
    file(GLOB_RECURSE ti_headers CONFIGURE_DEPENDS ${root}/*.hpp)
    foreach(header ${ti_headers})
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${header})
      string(REGEX REPLACE "[/.]" "_" test_name ${rel})
      string(REGEX REPLACE "_hpp$" "" test_name ${test_name})
      add_test(NAME header_clang_${test_name}
               COMMAND ${TI_CLANGXX} -x c++ -std=c++17 -fsyntax-only
                       -pedantic-errors ${ti_header_includes} ${header})
    endforeach()
  endforeach()
endif()
