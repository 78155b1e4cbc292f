# Lists the dynamic symbols that libvex_plccommon-2 exports (nm -D --defined-only -C) and fails
# on an interface class that is not exported, or on a helper that leaked out:
#   - every class declared VEX_PLCCOMMON_EXPORT in a public header has exported members;
#   - nothing from an anonymous namespace, nothing of a class declared in a private _p.h header;
#   - no strong std:: symbol that is not about one of our own types. libstdc++ gives namespace std
#     default visibility, so its template instantiations (std::vector<int>::_M_realloc_insert...)
#     leave every shared library as weak symbols, which the dynamic linker merges with the
#     program's own copies; hiding those takes a linker version script, and one that hid them
#     also split state the libraries share (a crash in the UDP tests). A strong one would be ours
#     to answer for, so that is what fails.
# Usage: cmake -DNM=nm -DLIBRARY=path -DSOURCE_DIR=root -P exported_symbols.cmake

execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}")
endif()
string(REPLACE "\n" ";" symbols "${listing}")

set(problems)
file(GLOB headers ${SOURCE_DIR}/parse/*.h ${SOURCE_DIR}/plcprotocol/*.h ${SOURCE_DIR}/plccommon/*.h)
set(interface_classes)
set(private_classes)
foreach(header IN LISTS headers)
  file(READ ${header} text)
  if(header MATCHES "_p\\.h$")
    string(REGEX MATCHALL "(class|struct) [A-Za-z_][A-Za-z0-9_]*[^;]*{" found "${text}")
    foreach(declaration IN LISTS found)
      string(REGEX REPLACE "^(class|struct) ([A-Za-z0-9_]+).*" "\\2" name "${declaration}")
      list(APPEND private_classes ${name})
    endforeach()
  else()
    string(REGEX MATCHALL "class VEX_PLCCOMMON_EXPORT [A-Za-z0-9_]+" found "${text}")
    foreach(declaration IN LISTS found)
      string(REGEX REPLACE ".* " "" name "${declaration}")
      list(APPEND interface_classes ${name})
    endforeach()
  endif()
endforeach()
list(LENGTH interface_classes count)
if(count LESS 10)
  message(FATAL_ERROR "found only ${count} exported classes in the public headers")
endif()

foreach(name IN LISTS interface_classes)
  string(FIND "${listing}" "Orrery::${name}::" at)
  if(at EQUAL -1)
    list(APPEND problems "interface class ${name} exports nothing")
  endif()
endforeach()

foreach(line IN LISTS symbols)
  if(line MATCHES "\\(anonymous namespace\\)")
    list(APPEND problems "helper of an anonymous namespace: ${line}")
  elseif(line MATCHES "^[0-9a-f]+ [TDBR] .*std::" AND NOT line MATCHES "Orrery::")
    list(APPEND problems "standard library instantiation: ${line}")
  else()
    foreach(name IN LISTS private_classes)
      if(line MATCHES "[ :]${name}::|for Orrery::${name}$")
        list(APPEND problems "private class ${name}: ${line}")
      endif()
    endforeach()
  endif()
endforeach()

list(LENGTH problems failures)
if(failures GREATER 0)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "${LIBRARY}: ${failures} export problems:\n  ${text}")
endif()
message(STATUS "${count} interface classes exported, no helper leaked")
