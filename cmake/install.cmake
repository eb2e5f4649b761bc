# What `cmake --install <build> --prefix <p>` puts where (included by the
# top-level CMakeLists.txt):
#   <p>/lib                 libqorsvc, libvqxtext, libvqxthes (shared, with
#                           their version links; RUNPATH $ORIGIN)
#   <p>/bin                 vqxmaptool and vqxmovetool.sh, when built
#   <p>/include/vqxtext     the C interface of the index library: every
#                           headers/itl_api/*.h and the C headers of
#                           headers/itl_common they include (itl_codes.h,
#                           itl_types.h, itl_occurrence.h)
#   <p>/include/vqxtext/engine
#                           the engine calls (calls/voz_gtr*.hpp and their
#                           siblings) with every engine header they include,
#                           in the engine's folder layout; a caller adds
#                           `pkg-config --variable=enginedir vqxtext`
#   <p>/include/vqxthes     voz_cnet.h, the dictionary engine's calls (the
#                           thesaurus lookup functions are in itl_thesaurus.h)
#   <p>/lib/pkgconfig       vqxtext.pc, vqxthes.pc
#   <p>/lib/cmake/VqxText   the CMake package: VqxText::vqxtext,
#                           VqxText::vqxthes, VqxText::qorsvc, and
#                           VqxText_ENGINE_INCLUDE_DIR
# Not installed: the C++ class headers of the libraries (headers/itl_common
# and below, cos/headers). The itl_common classes are visible in libvqxtext
# only so that libvqxthes can use them; the C++ document-map tool functions
# (itl_docmap_tools.hpp) serve the tool built here. The test
# install_use (tests/install) installs into a scratch prefix and builds
# programs against it.
include(GNUInstallDirs)

set(ti_installed_libs qorsvc vqxtext)
if(TARGET vqxthes)
  list(APPEND ti_installed_libs vqxthes)
endif()
# Each installed library finds its siblings beside itself.
set_target_properties(${ti_installed_libs} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${ti_installed_libs}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        NAMELINK_COMPONENT Development)

if(TARGET vqxmaptool)
  set_target_properties(vqxmaptool PROPERTIES
    INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS vqxmaptool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(EXISTS ${PROJECT_SOURCE_DIR}/source/migration_tool/vqxmovetool.sh)
    install(PROGRAMS ${PROJECT_SOURCE_DIR}/source/migration_tool/vqxmovetool.sh
            DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endif()

set(ti_include_text ${CMAKE_INSTALL_INCLUDEDIR}/vqxtext)
set(ti_include_thes ${CMAKE_INSTALL_INCLUDEDIR}/vqxthes)
file(GLOB ti_public_c_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/headers/itl_api/*.h)
install(FILES ${ti_public_c_headers} ${PROJECT_SOURCE_DIR}/headers/itl_common/itl_codes.h
        ${PROJECT_SOURCE_DIR}/headers/itl_common/itl_types.h
        ${PROJECT_SOURCE_DIR}/headers/itl_common/itl_occurrence.h
        DESTINATION ${ti_include_text})
if(TARGET vqxthes)
  install(FILES ${PROJECT_SOURCE_DIR}/headers/itl_cnet/voz_cnet.h DESTINATION ${ti_include_thes})
endif()

# The engine call headers and, at install time, every engine header they
# include (found by the compiler), so that the installed set is whole
# whatever the headers include today.
set(TI_ENGINE_ROOT ${PROJECT_SOURCE_DIR}/source/itl_base)
set(TI_ENGINE_CALL_HEADERS calls/voz_gtrcreate.hpp calls/voz_gtrsearch.hpp
    calls/voz_gtrresult.hpp calls/voz_gtrhit.hpp calls/voz_gtriter.hpp
    calls/voz_gtrfilesearch.hpp calls/voz_gtrmaint.hpp calls/voz_gtradmin.hpp
    calls/voz_convcond.hpp calls/voz_message.hpp calls/voz_wordcalls.hpp)
set(TI_ENGINE_DEST ${ti_include_text}/engine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/install_engine_headers.cmake.in
               ${CMAKE_BINARY_DIR}/install_engine_headers.cmake @ONLY)
install(SCRIPT ${CMAKE_BINARY_DIR}/install_engine_headers.cmake)

# pkg-config files; paths relative to the prefix so that the installed tree
# may move.
set(TI_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(TI_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
file(RELATIVE_PATH TI_PC_UP /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
foreach(pc vqxtext vqxthes)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${pc}.pc @ONLY)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/vqxtext.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET vqxthes)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/vqxthes.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

# CMake package.
include(CMakePackageConfigHelpers)
set(ti_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VqxText)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VqxTextConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VqxTextConfig.cmake INSTALL_DESTINATION ${ti_cmake_dir}
  PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VqxTextConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VqxTextConfig.cmake ${CMAKE_BINARY_DIR}/VqxTextConfigVersion.cmake
        DESTINATION ${ti_cmake_dir})
