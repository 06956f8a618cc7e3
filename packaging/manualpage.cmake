# SPDX-License-Identifier: GPL-3.0-or-later
# Every installed program gets a manual page, installed compressed beside it:
#
#   qr36_add_manual_page(<program> "<what it does, lower case, no full stop>")
#       made at build time by help2man from the program's --help
#   qr36_add_manual_page(<program> PAGE <file.1>)
#       a page written by hand, for a program without --help; @PROJECT_VERSION@
#       in it becomes the version
#
# The target qr36-package-parts builds the programs and everything else the
# package takes from the build folder, so that cpack finds it all.
include(GNUInstallDirs)
add_custom_target(qr36-package-parts)

find_program(QR36_GZIP gzip REQUIRED)
find_program(QR36_HELP2MAN help2man)

function(qr36_add_manual_page program)
    cmake_parse_arguments(M "" "PAGE" "" ${ARGN})
    add_dependencies(qr36-package-parts ${program})
    # Sanitizer and fuzz builds make no package, and running their instrumented
    # programs at build time would only add ways to fail.
    if(QR36_SANITIZE OR QR36_FUZZ)
        return()
    endif()

    set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
    if(M_PAGE)
        configure_file(${M_PAGE} ${page} @ONLY)
        set(make_page)
        set(page_depends ${page})
    else()
        list(LENGTH M_UNPARSED_ARGUMENTS count)
        if(NOT count EQUAL 1)
            message(FATAL_ERROR "qr36_add_manual_page(${program}): give a one-line description or PAGE <file>")
        endif()
        if(NOT QR36_HELP2MAN)
            message(FATAL_ERROR "help2man is missing: run scripts/install-deps.sh")
        endif()
        # Run through PATH so that the page shows the program's name, not its path in the
        # build folder; offscreen so that a program that opens a display needs none here.
        set(make_page COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
            QT_QPA_PLATFORM=offscreen
            ${QR36_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
            --name=${M_UNPARSED_ARGUMENTS} --output=${page} ${program})
        set(page_depends ${program})
    endif()

    add_custom_command(OUTPUT ${page}.gz
        ${make_page}
        COMMAND ${QR36_GZIP} -9nkf ${page}
        DEPENDS ${page_depends}
        COMMENT "Manual page of ${program}"
        VERBATIM)
    add_custom_target(${program}-manual-page ALL DEPENDS ${page}.gz)
    add_dependencies(qr36-package-parts ${program}-manual-page)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
