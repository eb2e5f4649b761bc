# Extra settings of the document layer's tests.
#
# The tests of the filter-library parser and of the stand-in filter
# libraries load libsc_ca.so and libsc_da.so from <build>/filter_standin
# (source/filter_standin); they learn the directory through
# TI_FILTER_STANDIN_DIR and include the stand-ins' private header for
# their counters.
foreach(t itl_dl_filter_standin_test itl_dl_insoparser_test itl_dl_parser_factory_inso_test)
  if(TARGET ${t} AND TARGET filter_standins)
    add_dependencies(${t} filter_standins)
    target_compile_definitions(${t} PRIVATE
      TI_FILTER_STANDIN_DIR="${TI_FILTER_STANDIN_DIR}")
    target_include_directories(${t} PRIVATE ${PROJECT_SOURCE_DIR}/source/filter_standin)
    target_link_libraries(${t} PRIVATE ${CMAKE_DL_LIBS})
  endif()
endforeach()
