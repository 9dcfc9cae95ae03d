# Installs the build tree into a scratch prefix and validates what landed there: the program,
# the desktop entry, the metainfo and both icons, checked with the desktop's own validators.
# Run as: cmake -DBUILD_DIR=<build tree> -DPREFIX=<scratch dir> -DDESKTOP_FILE_VALIDATE=<tool>
#               -DAPPSTREAMCLI=<tool> -P validate_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(id com.qelvora.DoubleColorBallDraw)
foreach(path
        bin/qelvora
        share/applications/${id}.desktop
        share/metainfo/${id}.metainfo.xml
        share/icons/hicolor/32x32/apps/${id}.png
        share/icons/hicolor/scalable/apps/${id}.svg
        share/man/man1/qelvora.1.gz)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/${id}.desktop"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "installed desktop entry does not validate: ${out}")
endif()
execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net "${PREFIX}/share/metainfo/${id}.metainfo.xml"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "installed metainfo does not validate: ${out}")
endif()
message(STATUS "install tree in ${PREFIX} validates")
