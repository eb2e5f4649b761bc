# Extra targets of the services library's tests.
#
# cos_dll_testlib: a tiny shared library that cos_dll_test loads at run
# time. It lands in <build>/tests/dll; the test copies it under other names
# (with and without ".so") into its own directories and learns its path
# through TI_DLL_TEST_LIBRARY.
add_library(cos_dll_testlib SHARED ${CMAKE_CURRENT_SOURCE_DIR}/cos/dll/cos_dll_testlib.cpp)
set_target_properties(cos_dll_testlib PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/dll)
if(TARGET cos_dll_test)
  add_dependencies(cos_dll_test cos_dll_testlib)
  target_compile_definitions(cos_dll_test PRIVATE
    TI_DLL_TEST_LIBRARY="$<TARGET_FILE:cos_dll_testlib>")
endif()

# --- console user interface (consoleui) -----------------------------------
# cos_consoleui_prog: a small console program that cos_consoleui_test runs
# with a table of command lines (path through TI_CONSOLEUI_PROG).
add_executable(cos_consoleui_prog ${CMAKE_CURRENT_SOURCE_DIR}/cos/consoleui/consoleui_prog.cpp)
target_link_libraries(cos_consoleui_prog PRIVATE qorsvc_obj)
if(TARGET cos_consoleui_test)
  add_dependencies(cos_consoleui_test cos_consoleui_prog)
  target_compile_definitions(cos_consoleui_test PRIVATE
    TI_CONSOLEUI_PROG="$<TARGET_FILE:cos_consoleui_prog>")
endif()
# --- end of console user interface block -----------------------------------
