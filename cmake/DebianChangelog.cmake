# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the package's changelog in the Debian format (what dpkg and lintian
# read) from the project's own notes, CHANGELOG.md: each `## VERSION (DATE)`
# heading is an entry, each `- ` item (with its indented lines) a change.
#
#   cmake -DINPUT=CHANGELOG.md -DOUTPUT=changelog -DPACKAGE=tarnwick
#         -DMAINTAINER="Name <address>" -P DebianChangelog.cmake
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(text "")
set(open_entry "")
set(trailer "")
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([0-9]+-[0-9]+-[0-9]+)\\)")
        set(version "${CMAKE_MATCH_1}")
        # The day in RFC 5322 form, weekday included, as dpkg wants it.
        execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2} 00:00:00 UTC"
                        OUTPUT_VARIABLE day OUTPUT_STRIP_TRAILING_WHITESPACE
                        COMMAND_ERROR_IS_FATAL ANY)
        string(APPEND text "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
        set(trailer "\n -- ${MAINTAINER}  ${day}\n\n")
        set(open_entry TRUE)
    elseif(open_entry AND line MATCHES "^- (.*)$")
        string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(open_entry AND line MATCHES "^  +(.*)$")
        string(APPEND text "    ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^# ")
        set(open_entry "")
    endif()
endforeach()
if(text STREQUAL "")
    message(FATAL_ERROR "${INPUT} has no `## VERSION (YYYY-MM-DD)` entry")
endif()
string(APPEND text "${trailer}")
# Only the last entry's trailer ends the file: one blank line less.
string(REGEX REPLACE "\n\n$" "\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
