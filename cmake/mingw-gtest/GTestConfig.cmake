# GoogleTest for the Windows cross build. Debian ships GoogleTest as source
# (package googletest, /usr/src/googletest) besides its Linux libraries; the
# cross build compiles that source with the mingw-w64 toolchain. The
# mingw preset points GTest_DIR here.
if(NOT TARGET GTest::gtest_main)
  set(SPC_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree for the cross build")
  if(NOT EXISTS ${SPC_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(GTest_FOUND FALSE)
    set(GTest_NOT_FOUND_MESSAGE "no GoogleTest source in ${SPC_GOOGLETEST_SOURCE} (Debian package googletest)")
    return()
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${SPC_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest 1.11 and later name their targets GTest:: themselves.
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
set(GTest_FOUND TRUE)
