# The Windows package: `cpack` in the mingw build makes vexplc-<version>-win64.zip with bin/ (the
# DLLs, the tools and the mingw runtime they need), lib/ (import libraries and the CMake package)
# and include/.

foreach(tool plcsim plchost)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${VEXPLC_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
# The public headers include RapidJSON, which a Windows host has no package manager to bring: the
# headers (MIT licensed, header-only) travel with ours.
install(DIRECTORY "${VEXPLC_HOST_HEADERS}/rapidjson/"
        DESTINATION "${VEXPLC_INSTALL_INCLUDEDIR}/rapidjson")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vexplc)
set(CPACK_PACKAGE_VENDOR vexplc)
set(CPACK_PACKAGE_FILE_NAME "vexplc-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
