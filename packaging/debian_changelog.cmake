# SPDX-License-Identifier: Apache-2.0
# Writes the Debian changelog of this version from the release notes: each
# "- " item of the notes becomes a "  * " entry, its continuation lines
# follow indented. Run as
#   cmake -DNOTES=... -DOUT=.../changelog -DVERSION=... -DMAINTAINER=...
#         -DDATE=... -P debian_changelog.cmake
# and compressed by gzip -9n, as Debian wants it.
file(STRINGS "${NOTES}" lines ENCODING UTF-8)
set(entries "")
set(in_item FALSE)
foreach(line IN LISTS lines)
    if(line MATCHES "^- (.*)$")
        string(APPEND entries "  * ${CMAKE_MATCH_1}\n")
        set(in_item TRUE)
    elseif(in_item AND line MATCHES "^  +(.*)$")
        string(APPEND entries "    ${CMAKE_MATCH_1}\n")
    else()
        set(in_item FALSE)
    endif()
endforeach()
file(WRITE "${OUT}"
    "korvane (${VERSION}) unstable; urgency=medium\n\n"
    "  * Korvane ${VERSION}; the whole release notes are in\n"
    "    /usr/share/doc/korvane/release notes.txt.\n"
    "${entries}\n"
    " -- ${MAINTAINER}  ${DATE}\n")
execute_process(COMMAND gzip -9nf "${OUT}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip could not compress ${OUT}")
endif()
