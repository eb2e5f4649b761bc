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
