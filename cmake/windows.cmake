# Windows parts of the build: ilscalc.dll with its import library ilscalc.lib,
# the PE export and import table checks, GoogleTest from Debian's sources, and
# the tests that only a Windows build has (tests/windows/).

# A Windows host loads "ilscalc.dll" and links "ilscalc.lib".
set_target_properties(ilscalc PROPERTIES
  PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # __stdcall names are decorated (_ILSCalc_Start@16): export them without
  # decoration, and rebuild the import library from the .def file so that
  # link-time hosts resolve _ILSCalc_Start@16 to the export ILSCalc_Start.
  find_program(ILSCALC_DLLTOOL NAMES ${CMAKE_DLLTOOL} ${MINGW_TRIPLET}-dlltool dlltool REQUIRED)
  set(_def ${CMAKE_CURRENT_SOURCE_DIR}/src/interface/exports.def)
  target_link_options(ilscalc PRIVATE -Wl,--kill-at)
  set_property(TARGET ilscalc APPEND PROPERTY LINK_DEPENDS ${_def})
  add_custom_command(TARGET ilscalc POST_BUILD
    COMMAND ${ILSCALC_DLLTOOL} -k -d ${_def} -D ilscalc.dll -l $<TARGET_LINKER_FILE:ilscalc>
    COMMENT "Import library ilscalc.lib from exports.def (undecorated __stdcall names)"
    VERBATIM)
endif()

# GoogleTest built with this toolchain from the sources Debian's googletest
# package ships, inside the build tree.
macro(ilscalc_windows_googletest)
  set(ILSCALC_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(NOT EXISTS ${ILSCALC_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${ILSCALC_GOOGLETEST_SOURCE} "
                        "(install Debian's googletest package)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ILSCALC_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.11 and later define these names themselves.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endmacro()

# Called after the tests are defined (ILSCALC_TESTS).
function(ilscalc_windows_tests)
  find_program(ILSCALC_OBJDUMP NAMES ${CMAKE_OBJDUMP} ${MINGW_TRIPLET}-objdump objdump REQUIRED)
  add_test(NAME ExportedSymbols
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${ILSCALC_OBJDUMP} -DLIB=$<TARGET_FILE:ilscalc>
            -P ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/check_pe_tables.cmake)
  add_test(NAME ImportedLibraries
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${ILSCALC_OBJDUMP} -DLIB=$<TARGET_FILE:ilscalc>
            -DIMPORTS=1 -P ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/check_pe_tables.cmake)
  if(TARGET ilscalc_host)
    add_test(NAME HostImportedLibraries
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${ILSCALC_OBJDUMP} -DLIB=$<TARGET_FILE:ilscalc_host>
              -DIMPORTS=1 -DALLOW=ilscalc.dll -DHOST=1
              -P ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/check_pe_tables.cmake)
  endif()
  # A host of its own: LoadLibrary, GetProcAddress of the four names, the
  # bundled two-frequency localizer run to its end and post-processed.
  add_executable(loadlibrary_host ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/loadlibrary_host.cpp)
  add_dependencies(loadlibrary_host ilscalc)
  set(_work ${CMAKE_CURRENT_BINARY_DIR}/testwork/loadlibrary)
  file(MAKE_DIRECTORY ${_work})
  add_test(NAME LoadLibraryHost.MainExampleFinishesAndPostProcesses
    COMMAND loadlibrary_host $<TARGET_FILE:ilscalc>
            ${CMAKE_CURRENT_SOURCE_DIR}/examples/localizer-two-frequency LOC2F ${_work}
    WORKING_DIRECTORY ${_work})
  set_tests_properties(LoadLibraryHost.MainExampleFinishesAndPostProcesses PROPERTIES TIMEOUT 600)
endfunction()
