# Makes the .deb from a built tree and checks it as a packager would: the
# file list with owners and modes, the control fields, the changelog against
# the version and the AppStream releases, the licence as LICENSE states it,
# and what lintian, appstreamcli, desktop-file-validate, mandoc and groff say.
# Run as: cmake -DBUILD= -DSOURCE= -DWORK= -DAPP= -DVERSION= -DHOMEPAGE=
#         -P PackageCheck.cmake
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(out "${out}" PARENT_SCOPE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
endfunction()
function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()
# Fails with what unless text matches regex.
function(expect_match text regex what)
  if(NOT (text MATCHES "${regex}"))
    fail("${what}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
run(cpack cpack -G DEB -B ${WORK} --config ${BUILD}/CPackConfig.cmake)
set(deb ${WORK}/kestrel-terminal_${VERSION}_amd64.deb)
if(NOT (EXISTS ${deb}))
  fail("no package: ${out}")
endif()

# Every file with its mode and owner: the program 0755, other files 0644,
# directories 0755, all root's.
run(dpkg-deb dpkg-deb -c ${deb})
set(listing "${out}")
set(d usr/share)
foreach(entry "-rwxr-xr-x;usr/bin/kestrel-terminal"
              "-rw-r--r--;${d}/applications/${APP}.desktop"
              "-rw-r--r--;${d}/metainfo/${APP}.metainfo.xml"
              "-rw-r--r--;${d}/icons/hicolor/scalable/apps/${APP}.svg"
              "-rw-r--r--;${d}/icons/hicolor/16x16/apps/${APP}.png"
              "-rw-r--r--;${d}/icons/hicolor/48x48/apps/${APP}.png"
              "-rw-r--r--;${d}/icons/hicolor/256x256/apps/${APP}.png"
              "-rw-r--r--;${d}/man/man1/kestrel-terminal.1.gz"
              "-rw-r--r--;${d}/doc/kestrel-terminal/copyright"
              "-rw-r--r--;${d}/doc/kestrel-terminal/changelog.gz")
  list(GET entry 0 mode)
  list(GET entry 1 path)
  string(REPLACE "." "\\." path_re "${path}")
  expect_match("${listing}" "${mode} root/root +[0-9]+ [0-9-]+ [0-9:]+ \\./${path_re}\n"
               "${path} missing or not ${mode} root/root:\n${listing}")
endforeach()
string(REGEX MATCHALL "\n[^\n]*" lines "\n${listing}")
foreach(line IN LISTS lines)
  if(line MATCHES "^\nd" AND NOT line MATCHES "^\ndrwxr-xr-x root/root ")
    fail("directory not 0755 root/root:${line}")
  endif()
endforeach()

run(dpkg-deb dpkg-deb -f ${deb} Version Homepage Description)
expect_match("${out}" "^Version: ${VERSION}\nHomepage: ${HOMEPAGE}\nDescription: [^\n]+\n [^\n]+"
             "control fields:\n${out}")

# The changelog's newest entry is this version, and every entry is a release
# of the metadata with the same date.
run(dpkg-deb dpkg-deb -x ${deb} ${WORK}/root)
set(root ${WORK}/root/usr/share)
run(dpkg-parsechangelog dpkg-parsechangelog -l ${SOURCE}/packaging/changelog --all -S Version)
string(REGEX MATCHALL "[^\n]+" versions "${out}")
run(dpkg-parsechangelog dpkg-parsechangelog -l ${SOURCE}/packaging/changelog --all -S Timestamp)
string(REGEX MATCHALL "[^\n]+" stamps "${out}")
list(GET versions 0 newest)
if(NOT (newest STREQUAL VERSION))
  fail("changelog's newest version is ${newest}, not ${VERSION}")
endif()
file(READ ${root}/metainfo/${APP}.metainfo.xml metainfo)
foreach(version stamp IN ZIP_LISTS versions stamps)
  run(date date -u -d @${stamp} +%Y-%m-%d)
  string(STRIP "${out}" day)
  expect_match("${metainfo}" "<release version=\"${version}\" date=\"${day}\""
               "no AppStream release ${version} of ${day}")
endforeach()

# One licence: LICENSE's name in the metadata, its text in the copyright file.
file(STRINGS ${SOURCE}/LICENSE license LIMIT_COUNT 1)
if(NOT (license STREQUAL "MIT License"))
  fail("LICENSE is no longer the MIT licence: update the metadata")
endif()
expect_match("${metainfo}" "<project_license>MIT</project_license>"
             "project_license is not MIT")
expect_match("${metainfo}" "<url type=\"homepage\">${HOMEPAGE}</url>"
             "metadata homepage")
file(READ ${root}/doc/kestrel-terminal/copyright copyright)
expect_match("${copyright}" "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
             "copyright file is not machine-readable")
expect_match("${copyright}" "\n THE SOFTWARE IS PROVIDED \"AS IS\""
             "copyright lacks the licence text")

# The program is stripped and hardened.
run(file file -L ${WORK}/root/usr/bin/kestrel-terminal)
expect_match("${out}" "pie executable.*, stripped"
             "program not a stripped PIE: ${out}")
run(readelf readelf -d -W ${WORK}/root/usr/bin/kestrel-terminal)
expect_match("${out}" "BIND_NOW"
             "program not linked with -z now")

run(mandoc mandoc -T lint -W warning ${root}/man/man1/kestrel-terminal.1.gz)
file(STRINGS ${SOURCE}/docs/kestrel-terminal.1 th REGEX "^\\.TH ")
expect_match("${th}" "\"Kestrel Terminal ${VERSION}\""
             "manual page not of version ${VERSION}: ${th}")
execute_process(COMMAND sh -c "zcat '${root}/man/man1/kestrel-terminal.1.gz' | groff -ww -t -man -Tutf8"
                OUTPUT_QUIET ERROR_VARIABLE out)
if(NOT (out STREQUAL ""))
  fail("groff warns on the manual page:\n${out}")
endif()
run(desktop-file-validate desktop-file-validate ${root}/applications/${APP}.desktop)
file(STRINGS ${root}/applications/${APP}.desktop icon REGEX "^Icon=")
if(NOT (out STREQUAL "" AND icon STREQUAL "Icon=${APP}"))
  fail("desktop entry (${icon}):\n${out}")
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  run(appstreamcli ${APPSTREAMCLI} validate --pedantic --no-net --explain
      ${root}/metainfo/${APP}.metainfo.xml)
  expect_match("${out}" "^✔ Validation was successful.\n$"
               "appstreamcli:\n${out}")
endif()
find_program(LINTIAN lintian)
if(LINTIAN)
  run(lintian ${LINTIAN} -EvIL +pedantic --fail-on error,warning,info,pedantic ${deb})
  string(REGEX MATCHALL "\n[EWIPX]: [^\n]*" tags "\n${out}")
  if(NOT (tags STREQUAL ""))
    fail("lintian:${tags}")
  endif()
endif()
message(STATUS "package checked: ${deb}")
