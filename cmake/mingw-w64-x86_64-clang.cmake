# Cross-build for 64-bit Windows with clang instead of GCC, against the same MinGW-w64 headers
# and libraries and GCC's C++ library: a second compiler's view of the same code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)

# GCC's MinGW C++ library and run-time support, where Debian's clang does not look by itself
# (without -nostdinc++ it would take the host's C++ headers). Its folder is named for GCC's
# version (12-posix on Debian 12, 14-posix on 13): the compiler itself says where it is.
execute_process(COMMAND x86_64-w64-mingw32-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE mingw_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE mingw_result)
if(NOT mingw_result EQUAL 0 OR NOT EXISTS "${mingw_libgcc}")
  message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix could not say where its libraries are (${mingw_libgcc})")
endif()
get_filename_component(MINGW_GCC_DIR "${mingw_libgcc}" DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${MINGW_GCC_DIR}/include/c++ -isystem ${MINGW_GCC_DIR}/include/c++/x86_64-w64-mingw32 -isystem ${MINGW_GCC_DIR}/include/c++/backward")
# GCC's posix-thread C++ library needs winpthread after it: GCC's driver adds it by itself,
# clang's with -pthread. The compile flags reach the link too, where -nostdinc++ does nothing.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${MINGW_GCC_DIR} -pthread -Wno-unused-command-line-argument")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-L${MINGW_GCC_DIR} -pthread -Wno-unused-command-line-argument")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine.sh)
