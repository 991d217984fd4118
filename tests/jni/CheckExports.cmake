# cmake -DNM=nm -DLIBRARY=libwireless.so -DEXPECTED=exports.txt -P CheckExports.cmake
# cmake -DOBJDUMP=objdump -DLIBRARY=wireless.dll -DEXPECTED=exports.txt -P CheckExports.cmake
# Compares the defined text symbols of the library's dynamic symbol table
# (or, given OBJDUMP, the names in a DLL's export table) with the list, one
# name per line ('#' starts a comment). Fails naming every symbol that is
# missing or not listed.
if(DEFINED OBJDUMP)
  set(command ${OBJDUMP} -p ${LIBRARY})
  set(pattern "^\t\\[ *[0-9]+\\] ([A-Za-z_][A-Za-z0-9_@]*)$")
else()
  set(command ${NM} -D --defined-only ${LIBRARY})
  set(pattern "^[0-9a-fA-F]+ T (.+)$")
endif()
if(NOT DEFINED NM AND NOT DEFINED OBJDUMP)
  message(FATAL_ERROR "NM or OBJDUMP not given")
endif()
foreach(variable LIBRARY EXPECTED)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} not given")
  endif()
endforeach()

execute_process(COMMAND ${command}
  OUTPUT_VARIABLE table RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "${command} failed on ${LIBRARY}: ${errors}")
endif()

set(exported)
string(REPLACE "\n" ";" lines "${table}")
foreach(line IN LISTS lines)
  if(line MATCHES "${pattern}")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()

file(STRINGS ${EXPECTED} listed REGEX "^[^#]")
list(TRANSFORM listed STRIP)
list(FILTER listed EXCLUDE REGEX "^$")

set(missing ${listed})
list(REMOVE_ITEM missing ${exported})
set(unlisted ${exported})
list(REMOVE_ITEM unlisted ${listed})
list(LENGTH exported exportedCount)
list(LENGTH listed listedCount)

if(missing OR unlisted)
  list(JOIN missing "\n  " missingText)
  list(JOIN unlisted "\n  " unlistedText)
  message(FATAL_ERROR "${LIBRARY}: ${exportedCount} text symbols, ${listedCount} listed\n"
    "missing:\n  ${missingText}\nnot listed:\n  ${unlistedText}")
endif()
message(STATUS "${LIBRARY}: the ${listedCount} listed text symbols, no others")
