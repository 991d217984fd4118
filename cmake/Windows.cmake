# What the Windows build (cmake/mingw-w64-x86_64.cmake) uses in place of
# the host's packages: the JDK's jni.h with a jni_md.h for Windows, and
# GoogleTest built from Debian's sources. Its tests run under wine, in a
# wine prefix of the build directory's own.

# Executables and DLLs side by side, where Windows looks for a program's
# DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# wireless.dll, not libwireless.dll: the name Java's System.loadLibrary
# looks for.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

set(java_home $ENV{JAVA_HOME})
if(NOT EXISTS ${java_home}/include/jni.h)
  message(FATAL_ERROR "no jni.h in ${java_home}/include")
endif()
set(JNI_INCLUDE_DIRS ${java_home}/include ${PROJECT_SOURCE_DIR}/support/jni/windows)

set(WIRELESS_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${WIRELESS_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Built with its own warning options, not the project's.
foreach(target gtest gtest_main gmock gmock_main)
  set_target_properties(${target} PROPERTIES COMPILE_OPTIONS "")
endforeach()

# The wine prefix is made once, here, so that the first start (several
# seconds) is not paid by a test.
set(WIRELESS_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
if(NOT EXISTS ${WIRELESS_WINE_PREFIX}/system.reg)
  message(STATUS "Creating the wine prefix ${WIRELESS_WINE_PREFIX}")
  find_program(WIRELESS_WINEBOOT wineboot REQUIRED)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WIRELESS_WINE_PREFIX} WINEDEBUG=-all
                          WINEARCH=win64 ${WIRELESS_WINEBOOT} --init
                  RESULT_VARIABLE wineboot_failed)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WIRELESS_WINE_PREFIX} wineserver --wait)
  if(wineboot_failed OR NOT EXISTS ${WIRELESS_WINE_PREFIX}/system.reg)
    message(FATAL_ERROR "wineboot could not create ${WIRELESS_WINE_PREFIX}")
  endif()
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${WIRELESS_WINE_PREFIX} WINEDEBUG=-all ${WIRELESS_WINE})
