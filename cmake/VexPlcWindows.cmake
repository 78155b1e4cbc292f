# Windows builds (mingw-w64): what differs from a Linux build of the same sources.

# RapidJSON and Asio are header-only and come from the build machine's /usr/include, which must
# not be searched whole: its C library headers would shadow mingw's. Only the two packages are
# staged into a folder of their own.
set(VEXPLC_HOST_HEADERS "${PROJECT_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${VEXPLC_HOST_HEADERS}")
foreach(entry rapidjson asio asio.hpp)
  foreach(dir ${RAPIDJSON_INCLUDE_DIRS} ${VEXPLC_ASIO_INCLUDE_DIR})
    if(EXISTS "${dir}/${entry}" AND NOT EXISTS "${VEXPLC_HOST_HEADERS}/${entry}")
      file(CREATE_LINK "${dir}/${entry}" "${VEXPLC_HOST_HEADERS}/${entry}" SYMBOLIC)
    endif()
  endforeach()
endforeach()
set(RAPIDJSON_INCLUDE_DIRS "${VEXPLC_HOST_HEADERS}")
set(VEXPLC_ASIO_INCLUDE_DIR "${VEXPLC_HOST_HEADERS}")

# The mingw runtime DLLs that every program and library of the build needs beside it.
set(VEXPLC_MINGW_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}")
    find_file(path ${dll} PATHS /usr/${VEXPLC_MINGW_TRIPLET}/lib NO_CACHE REQUIRED)
  endif()
  list(APPEND VEXPLC_MINGW_RUNTIME_DLLS "${path}")
endforeach()

# Every executable and DLL lands in one folder, so that Windows finds the DLLs beside the program
# that loads them; the runtime DLLs are copied there too.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
file(COPY ${VEXPLC_MINGW_RUNTIME_DLLS} DESTINATION "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")

# Tests and test discovery run under wine in a prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env "WINEPREFIX=${PROJECT_BINARY_DIR}/wineprefix"
    sh "${PROJECT_SOURCE_DIR}/cmake/toolchains/wine-run.sh")

# Windows 10 API level; Asio asks for it to be named.
add_compile_definitions(_WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
