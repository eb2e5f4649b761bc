# Tests of the installed libraries (included by tests/CMakeLists.txt):
#   install_use       installs into a scratch prefix and builds and runs
#                     callers against it (install_test.sh);
#   library_exports   nm -D --defined-only of each shared library lists only
#                     what is exported on purpose (exports.sh).
add_test(NAME install_use
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh
                 ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_C_COMPILER} ${CMAKE_CXX_COMPILER})
set_tests_properties(install_use PROPERTIES TIMEOUT 300)
set(ti_export_libs $<TARGET_FILE:qorsvc> $<TARGET_FILE:vqxtext>)
if(TARGET vqxthes)
  list(APPEND ti_export_libs $<TARGET_FILE:vqxthes>)
endif()
add_test(NAME library_exports
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/exports.sh ${PROJECT_SOURCE_DIR}
                 ${ti_export_libs})
