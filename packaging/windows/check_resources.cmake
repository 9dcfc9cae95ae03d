# Compiles the Windows resource script with mingw-w64's windres, decompiles the result and checks
# the version block, its language and the icon.
# Run as: cmake -DWINDRES=<windres> -DINCLUDE_DIR=<mingw-w64 headers> -DRC=<qelvora.rc>
#               -DWORK=<scratch dir> -P check_resources.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# windres passes nothing of its own to a preprocessor it is given, so cpp gets what mingw-w64's
# gcc would define for a resource script.
set(windres "${WINDRES}" --preprocessor=cpp -DRC_INVOKED -D_WIN32 -D_WIN64 "-I${INCLUDE_DIR}")
foreach(format res coff)
  execute_process(COMMAND ${windres} -i "${RC}" -O ${format} -o "${WORK}/qelvora.${format}"
                  RESULT_VARIABLE result ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres -O ${format} failed: ${err}")
  endif()
endforeach()
execute_process(COMMAND "${WINDRES}" -i "${WORK}/qelvora.res" -O rc
                RESULT_VARIABLE result OUTPUT_VARIABLE rc ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "windres could not decompile the .res: ${err}")
endif()
file(WRITE "${WORK}/decompiled.rc" "${rc}")

set(failures 0)
# expect(<what> <regex part>...): the parts are joined into one regular expression.
function(expect what)
  string(CONCAT regex ${ARGN})
  if(NOT rc MATCHES "${regex}")
    message(SEND_ERROR "${what}: no match for ${regex}")
    math(EXPR f "${failures} + 1")
    set(failures ${f} PARENT_SCOPE)
  endif()
endfunction()

# windres writes text outside ASCII as L"...\xNNNN..." with the UTF-16 code units in hex; turn
# an expected UTF-8 text into that form (the texts here lie in the Basic Multilingual Plane).
function(rc_wide_literal text out)
  string(HEX "${text}" hex)
  string(LENGTH "${hex}" n)
  set(literal "")
  set(i 0)
  while(i LESS n)
    string(SUBSTRING "${hex}" ${i} 2 b0)
    math(EXPR v0 "0x${b0}")
    if(v0 LESS 128)
      string(ASCII ${v0} c)
      string(APPEND literal "${c}")
      math(EXPR i "${i} + 2")
    elseif(v0 GREATER_EQUAL 224)
      math(EXPR i1 "${i} + 2")
      math(EXPR i2 "${i} + 4")
      string(SUBSTRING "${hex}" ${i1} 2 b1)
      string(SUBSTRING "${hex}" ${i2} 2 b2)
      math(EXPR cp "((0x${b0} & 15) << 12) | ((0x${b1} & 63) << 6) | (0x${b2} & 63)"
           OUTPUT_FORMAT HEXADECIMAL)
      string(REGEX REPLACE "^0x" "" cp "${cp}")
      string(APPEND literal "\\\\x${cp}")
      math(EXPR i "${i} + 6")
    else()
      math(EXPR i1 "${i} + 2")
      string(SUBSTRING "${hex}" ${i1} 2 b1)
      math(EXPR cp "((0x${b0} & 31) << 6) | (0x${b1} & 63)" OUTPUT_FORMAT HEXADECIMAL)
      string(REGEX REPLACE "^0x" "" cp "${cp}")
      string(APPEND literal "\\\\x${cp}")
      math(EXPR i "${i} + 4")
    endif()
  endwhile()
  string(REPLACE "." "\\." literal "${literal}")
  set(${out} "${literal}" PARENT_SCOPE)
endfunction()

# Version numbers and the string block for Chinese (PRC), Unicode, with exactly four texts.
expect("file version" "\n FILEVERSION 1, 0, 0, 0\n")
expect("product version" "\n PRODUCTVERSION 1, 0, 0, 0\n")
rc_wide_literal("Qelvora-双色球摇奖测试工具" internal)
rc_wide_literal("Qelvora-双色球摇奖测试工具.exe" original)
expect("string block"
  "BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"080404b0\"\n    BEGIN\n"
  "      VALUE \"FileVersion\", \"1\\.00\"\n"
  "      VALUE \"ProductVersion\", \"1\\.00\"\n"
  "      VALUE \"InternalName\", L\"${internal}\"\n"
  "      VALUE \"OriginalFilename\", L\"${original}\"\n"
  "    END\n  END\n")
expect("translation" "VALUE \"Translation\", 0x804, 1200\n")

# Every resource is in Chinese (PRC): primary language 4, sub-language 2 (0x0804).
string(REGEX MATCHALL "\nLANGUAGE [^\n]*" languages "${rc}")
string(REGEX MATCHALL "\n/\\* Type: " resources "${rc}")
list(LENGTH resources resource_count)
list(REMOVE_DUPLICATES languages)
if(NOT languages STREQUAL "\nLANGUAGE 4, 2" OR resource_count LESS 3)
  message(SEND_ERROR "resource languages: ${languages} over ${resource_count} resources")
  math(EXPR failures "${failures} + 1")
endif()

# The first (and only) icon group is number 1 and holds one 32 x 32 icon of 8 bits per pixel
# with a full palette (colour count 0 in the group entry means 256); the icon's own bitmap
# header agrees: 40-byte header, width 32, height 64 (image and mask), 1 plane, 8 bits.
expect("icon group" "\n1 14 /\\* RT_GROUP_ICON \\*/ [^\n]*\nBEGIN\n   0, 1, 1,[^\n]*\n[^\n]*\n"
                    "    \"\\\\040\\\\040\\\\000\\\\000\", 1, 8, [^\n]*\nEND\n")
expect("icon bitmap" "\n1 3 /\\* RT_ICON \\*/ [^\n]*\nBEGIN\n  0x28L *, 0x20L *, 0x40L *, 0x80001L *, ")
string(FIND "${rc}" "RT_GROUP_ICON" first_group)
string(FIND "${rc}" "RT_GROUP_ICON" last_group REVERSE)
if(NOT first_group EQUAL last_group)
  message(SEND_ERROR "more than one icon group")
  math(EXPR failures "${failures} + 1")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) failed; decompiled script in ${WORK}/decompiled.rc")
endif()
message(STATUS "Windows resources check out (${resource_count} resources)")
