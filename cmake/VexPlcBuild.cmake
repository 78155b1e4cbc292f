# Build settings shared by every target of the project.

# Every target of the project links vexplc_warnings PRIVATE; the exported libraries link it as a
# build interface only, so the installed package carries no trace of it.
add_library(vexplc_warnings INTERFACE)
target_compile_options(vexplc_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${VEXPLC_WARNINGS_AS_ERRORS}>:-Werror>)

if(VEXPLC_SANITIZE STREQUAL "address")
  set(VEXPLC_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                             -fno-omit-frame-pointer)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # RapidJSON 1.1.0 computes out-of-range pointers inside its own headers on every parse;
    # only that one check is skipped, only for those headers.
    list(APPEND VEXPLC_SANITIZER_FLAGS
         "-fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/cmake/ubsan-ignorelist.txt")
  endif()
elseif(VEXPLC_SANITIZE STREQUAL "thread")
  set(VEXPLC_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT VEXPLC_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VEXPLC_SANITIZE must be address, thread or empty")
endif()
if(VEXPLC_SANITIZER_FLAGS)
  add_compile_options(${VEXPLC_SANITIZER_FLAGS})
  add_link_options(${VEXPLC_SANITIZER_FLAGS})
endif()
if(VEXPLC_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VEXPLC_BUILD_FUZZERS needs clang")
  endif()
  # Coverage feedback from the libraries, not only from the fuzz targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# vexplc_library_properties(target output-name export-define export-name)
function(vexplc_library_properties target output define export_name)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${output}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    EXPORT_NAME ${export_name}
    INSTALL_RPATH "$ORIGIN")
  target_compile_definitions(${target} PRIVATE ${define})
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:vexplc_warnings>)
  target_compile_features(${target} PUBLIC cxx_std_17)
endfunction()

# vexplc_public_headers(target dir header...): headers reachable by bare name, installed flat.
function(vexplc_public_headers target dir)
  set(files)
  foreach(header IN LISTS ARGN)
    list(APPEND files "${dir}/${header}")
  endforeach()
  target_sources(${target} PUBLIC FILE_SET HEADERS BASE_DIRS "${dir}" FILES ${files})
endfunction()
