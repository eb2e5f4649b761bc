# Checks of the exported interface (included by tests/CMakeLists.txt):
#   - itl_api_c_check: a C99 program (-pedantic-errors -Wall -Werror) on
#     itl_api.h, linked against the shared libvqxtext; built with gcc and,
#     when present, with clang;
#   - itl_api_exports: nm of libvqxtext holds every exported function
#     unmangled and none of the API's helpers;
#   - header_clang_c_itl_api_<name>: every headers/itl_api/*.h compiles
#     alone with clang as C99 and as C++17.
if(TARGET vqxtext AND TARGET itl_api_obj)
  set(ti_api_headers_dirs ${PROJECT_SOURCE_DIR}/headers/itl_api
                          ${PROJECT_SOURCE_DIR}/headers/itl_common)
  file(GLOB ti_api_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/headers/itl_api/*.h)

  add_executable(itl_api_c_check ${CMAKE_CURRENT_SOURCE_DIR}/itl_api/c_check.c)
  set_target_properties(itl_api_c_check PROPERTIES C_STANDARD 99
                        C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
  target_compile_options(itl_api_c_check PRIVATE -pedantic-errors -Wall -Werror)
  target_include_directories(itl_api_c_check PRIVATE ${ti_api_headers_dirs})
  target_link_libraries(itl_api_c_check PRIVATE vqxtext)
  add_test(NAME itl_api_c_check COMMAND itl_api_c_check)

  # The thesaurus lookup functions (itl_thesaurus.h) leave libvqxthes
  # (tests/itl_cnet/extra.cmake checks them there).
  set(ti_api_text_headers ${ti_api_headers})
  list(FILTER ti_api_text_headers EXCLUDE REGEX "itl_thesaurus\\.h$")
  add_test(NAME itl_api_exports
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/itl_api/exports.sh
                   $<TARGET_FILE:vqxtext> ${ti_api_text_headers})

  find_program(TI_CLANG NAMES clang clang-19 clang-18 clang-17 clang-16
                              clang-15 clang-14)
  # The same C program compiled and linked by clang; not in a sanitizer
  # build, whose library needs the sanitizer runtime of its own compiler.
  if(TI_CLANG AND NOT TI_SANITIZE)
    set(ti_api_c_flags -std=c99 -pedantic-errors -Wall -Werror)
    add_custom_command(
      OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/itl_api_c_check_clang.bin
      COMMAND ${TI_CLANG} ${ti_api_c_flags} -I${PROJECT_SOURCE_DIR}/headers/itl_api
              -I${PROJECT_SOURCE_DIR}/headers/itl_common
              ${CMAKE_CURRENT_SOURCE_DIR}/itl_api/c_check.c
              -o ${CMAKE_CURRENT_BINARY_DIR}/itl_api_c_check_clang.bin
              $<TARGET_FILE:vqxtext> -Wl,-rpath,$<TARGET_FILE_DIR:vqxtext>
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/itl_api/c_check.c ${ti_api_headers} vqxtext
      VERBATIM)
    add_custom_target(itl_api_c_check_clang ALL
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/itl_api_c_check_clang.bin)
    add_test(NAME itl_api_c_check_clang
             COMMAND ${CMAKE_CURRENT_BINARY_DIR}/itl_api_c_check_clang.bin)
  endif()
  if(TI_CLANG)
    foreach(header ${ti_api_headers})
      get_filename_component(name ${header} NAME_WE)
      add_test(NAME header_clang_c_itl_api_${name}
               COMMAND ${TI_CLANG} -x c -std=c99 -fsyntax-only -pedantic-errors
                       -Wall -Werror -I${PROJECT_SOURCE_DIR}/headers/itl_api
                       -I${PROJECT_SOURCE_DIR}/headers/itl_common ${header})
      add_test(NAME header_clang_cxx_itl_api_${name}
               COMMAND ${TI_CLANG} -x c++ -std=c++17 -fsyntax-only -pedantic-errors
                       -Wall -Werror -I${PROJECT_SOURCE_DIR}/headers/itl_api
                       -I${PROJECT_SOURCE_DIR}/headers/itl_common ${header})
    endforeach()
    add_test(NAME header_clang_c_itl_common_itl_codes
             COMMAND ${TI_CLANG} -x c -std=c99 -fsyntax-only -pedantic-errors
                     -Wall -Werror ${PROJECT_SOURCE_DIR}/headers/itl_common/itl_codes.h)
  endif()
endif()
