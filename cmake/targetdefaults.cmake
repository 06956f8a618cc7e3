# SPDX-License-Identifier: GPL-3.0-or-later
# The compile rules of the project's own code, set per target so that they reach
# nothing else: Qt's include folders come from imported targets and count as
# system headers, so their warnings stay Qt's.
#
#   qr36_target_defaults(<target> [ASCII_CASTS])
#       -Wall -Wextra (and -Werror with QR36_WARNINGS_AS_ERRORS); no Qt API that
#       Qt deprecated before the oldest Qt we build with; and QT_NO_CAST_FROM_ASCII,
#       so that every char string becomes text through a named conversion
#       (QStringLiteral, QLatin1String, QString::fromUtf8). ASCII_CASTS leaves the
#       casts allowed, for a target whose code still relies on them.
#
#   qr36_check_target_defaults()
#       at the end of the top CMakeLists: fails the configuration when a target of
#       the project was added without qr36_target_defaults().

# On Qt 5 nothing deprecated before 5.15; on Qt 6 nothing deprecated up to 6.4
# either. A use of API deprecated later warns, and with -Werror fails.
if(QT_MAJOR_VERSION STREQUAL "5")
    set(QR36_QT_DEPRECATED_BEFORE 0x050F00)
else()
    set(QR36_QT_DEPRECATED_BEFORE 0x060400)
endif()

function(qr36_target_defaults target)
    cmake_parse_arguments(D "ASCII_CASTS" "" "" ${ARGN})
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(QR36_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_DISABLE_DEPRECATED_BEFORE=${QR36_QT_DEPRECATED_BEFORE})
    if(NOT D_ASCII_CASTS)
        target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII)
    endif()
    set_target_properties(${target} PROPERTIES QR36_DEFAULTS ON)
endfunction()

function(qr36_check_target_defaults)
    set(folders ${CMAKE_SOURCE_DIR})
    set(missing)
    while(folders)
        list(POP_FRONT folders folder)
        get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
        list(APPEND folders ${subfolders})
        get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target IN LISTS targets)
            get_target_property(type ${target} TYPE)
            get_target_property(done ${target} QR36_DEFAULTS)
            if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$" AND NOT done)
                list(APPEND missing ${target})
            endif()
        endforeach()
    endwhile()
    if(missing)
        message(FATAL_ERROR "qr36_target_defaults() was not called for: ${missing}")
    endif()
endfunction()
