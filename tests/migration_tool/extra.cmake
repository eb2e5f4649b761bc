# Tests of the index migration tool: vqxmaptool_test runs the built
# program (and its start script) as a child process; it writes its fixture
# indexes through the library's object libraries. The program's path comes
# through TI_VQXMAPTOOL; TI_TOOL_NAME_LOOKUPS tells whether the program was
# built with the name lookups.
if(TARGET vqxmaptool)
  add_executable(migration_tool_vqxmaptool_test
                 ${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/vqxmaptool_test.cpp)
  target_link_libraries(migration_tool_vqxmaptool_test PRIVATE ${ti_itl_lower_objs}
    vozbase_obj qorsvc_obj ICU::uc ICU::i18n ICU::data EXPAT::EXPAT
    GTest::gtest GTest::gtest_main)
  target_include_directories(migration_tool_vqxmaptool_test PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/common)
  target_compile_definitions(migration_tool_vqxmaptool_test PRIVATE
    TI_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/data"
    TI_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}"
    TI_VQXMAPTOOL="$<TARGET_FILE:vqxmaptool>")
  if(TI_TOOL_NAME_LOOKUPS)
    target_compile_definitions(migration_tool_vqxmaptool_test PRIVATE TI_TOOL_NAME_LOOKUPS)
  endif()
  add_dependencies(migration_tool_vqxmaptool_test vqxmaptool)
  gtest_discover_tests(migration_tool_vqxmaptool_test DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT 300)
endif()
