# Tests of the index migration tool: vqxmaptool_test runs the built
# program (and its start script) as a child process; it writes its fixture
# indexes through the library's object libraries. The program's path comes
# through TI_VQXMAPTOOL.
if(TARGET vqxmaptool)
  add_executable(migration_tool_vqxmaptool_test
                 ${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/vqxmaptool_test.cpp)
  ti_test_libs(ti_tool_libs ${ti_itl_lower_objs} vozbase_obj qorsvc_obj)
  target_link_libraries(migration_tool_vqxmaptool_test PRIVATE ${ti_tool_libs}
    ICU::uc ICU::i18n ICU::data EXPAT::EXPAT GTest::gtest GTest::gtest_main)
  target_include_directories(migration_tool_vqxmaptool_test PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/common)
  target_compile_definitions(migration_tool_vqxmaptool_test PRIVATE
    TI_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/data"
    TI_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}"
    TI_VQXMAPTOOL="$<TARGET_FILE:vqxmaptool>")
  add_dependencies(migration_tool_vqxmaptool_test vqxmaptool)
  gtest_discover_tests(migration_tool_vqxmaptool_test DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT 300)

  # The tool helpers, compiled into the test with the library's objects;
  set(ti_tool_src ${PROJECT_SOURCE_DIR}/source/migration_tool)
  set(ti_tool_tests tools tools_update)
  foreach(name ${ti_tool_tests})
    set(exe migration_tool_${name}_test)
    add_executable(${exe} ${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/${name}_test.cpp
                   ${ti_tool_src}/itl_tools.cpp ${ti_tool_src}/itl_tools_update.cpp)
    target_link_libraries(${exe} PRIVATE ${ti_tool_libs}
      ICU::uc ICU::i18n ICU::data EXPAT::EXPAT GTest::gtest GTest::gtest_main)
    target_include_directories(${exe} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/common
      ${ti_tool_src} ${PROJECT_SOURCE_DIR}/headers/itl_test)
    target_compile_definitions(${exe} PRIVATE TI_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}"
      TI_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/migration_tool/data")
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} PROPERTIES TIMEOUT 300)
  endforeach()
endif()
