# Packages the build tree under test with CPack's DEB generator, checks the package's control
# fields and contents, and runs lintian on it: any error or warning fails.
# Run as: cmake -DBUILD_DIR=<tree under test> -DOUT_DIR=<scratch folder> -DCPACK=<cpack>
#               -DLINTIAN=<lintian>
#               -P check_package.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${OUT_DIR}")
run("${CPACK}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT_DIR}")

file(GLOB debs "${OUT_DIR}/*.deb")
list(LENGTH debs n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "expected one package, found ${n}: ${debs}")
endif()
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT debs STREQUAL "${OUT_DIR}/qelvora_1.0.0_${arch}.deb")
  message(FATAL_ERROR "package file name: ${debs}")
endif()

set(failures "")
run(dpkg-deb --field "${debs}")
set(fields "${out}")
foreach(line "Package: qelvora" "Version: 1.0.0" "Architecture: ${arch}" "Section: utils"
             "Homepage: http://www.qelvora.com" "Maintainer: [^\n]+ <[^@\n]+@[^>\n]+>"
             "Description: [^\n]+\n [^\n]*双色球摇奖测试工具")
  if(NOT fields MATCHES "(^|\n)${line}")
    string(APPEND failures "control field missing: ${line}\n")
  endif()
endforeach()
string(REGEX MATCH "\nDepends: [^\n]*" depends "${fields}")
foreach(dep fonts-noto-cjk qt6-translations-l10n libqt6widgets6 libqt6webenginewidgets6 libc6)
  if(NOT depends MATCHES "[ ,]${dep}[ ,\n]|[ ,]${dep}$")
    string(APPEND failures "not a dependency: ${dep}\n")
  endif()
endforeach()

string(REGEX MATCH "\nRecommends: [^\n]*" recommends "${fields}")
if(NOT recommends MATCHES "[ ,]qt6-wayland([ ,\n]|$)")
  string(APPEND failures "not recommended: qt6-wayland\n")
endif()

run(dpkg-deb --contents "${debs}")
set(id com.qelvora.DoubleColorBallDraw)
foreach(path usr/bin/qelvora usr/share/applications/${id}.desktop
             usr/share/metainfo/${id}.metainfo.xml
             usr/share/icons/hicolor/32x32/apps/${id}.png
             usr/share/icons/hicolor/scalable/apps/${id}.svg
             usr/share/doc/qelvora/copyright usr/share/doc/qelvora/changelog.gz
             usr/share/man/man1/qelvora.1.gz)
  if(NOT out MATCHES " \\./${path}\n")
    string(APPEND failures "not in the package: /${path}\n")
  endif()
endforeach()

execute_process(COMMAND "${LINTIAN}" --fail-on error,warning "${debs}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "lintian:\n${out}")
if(NOT result EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  string(APPEND failures "lintian reports errors or warnings (exit ${result}):\n${out}${err}\n")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${debs} checks out")
