# `cmake --install` into a temporary prefix, then the installed tree as a
# desktop and a user meet it. Included from tests/CMakeLists.txt it adds the
# test; run with `cmake -P` it is the test driver (BUILD, ID, VERSION, GUI).

if(NOT CMAKE_SCRIPT_MODE_FILE)
  add_test(NAME Packaging.install
    COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DID=${QUILL_APP_ID}
      -DVERSION=${PROJECT_VERSION} -DGUI=$<TARGET_EXISTS:quillmark> -P ${CMAKE_CURRENT_LIST_FILE})
  set_tests_properties(Packaging.install PROPERTIES TIMEOUT 120)
  return()
endif()

# Under /tmp, so that another user can reach the tree in the last check.
string(RANDOM LENGTH 10 tag)
set(work /tmp/quill-install-${tag})
set(prefix ${work}/prefix)
file(MAKE_DIRECTORY ${work})
file(CHMOD ${work} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

function(fail message)
  file(CHMOD_RECURSE ${work} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(REMOVE_RECURSE ${work})
  message(FATAL_ERROR "${message}")
endfunction()

# check(WHAT command...): the command must exit 0; its output lands in OUT.
function(check what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    fail("${what}: exit ${rc}\n${out}${err}")
  endif()
  set(OUT "${out}" PARENT_SCOPE)
endfunction()

check("cmake --install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

set(expected bin/quillmark-cli share/man/man1/quillmark-cli.1)
if(GUI)
  list(APPEND expected bin/quillmark share/man/man1/quillmark.1
    share/applications/${ID}.desktop share/metainfo/${ID}.metainfo.xml)
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${ID}.png)
  endforeach()
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${prefix}/${file})
    fail("not installed: ${file}")
  endif()
endforeach()

check("installed quillmark-cli runs" ${prefix}/bin/quillmark-cli --version)
if(NOT OUT STREQUAL "quillmark-cli ${VERSION}\n")
  fail("quillmark-cli --version printed '${OUT}'")
endif()

find_program(MAN man)
if(MAN)
  foreach(page quillmark-cli quillmark)
    if(EXISTS ${prefix}/share/man/man1/${page}.1)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 ${MAN} --warnings -l ${prefix}/share/man/man1/${page}.1
        OUTPUT_VARIABLE text ERROR_VARIABLE warnings RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "" OR NOT text MATCHES "EXIT STATUS")
        fail("man page ${page}.1: exit ${rc}\n${warnings}")
      endif()
    endif()
  endforeach()
endif()

if(NOT GUI)
  file(REMOVE_RECURSE ${work})
  return()
endif()

# The menu entry, its icon, its program and the AppStream data agree.
file(READ ${prefix}/share/applications/${ID}.desktop desktop)
if(NOT desktop MATCHES "\nIcon=${ID}\n" OR NOT desktop MATCHES "\nExec=quillmark %[fF]\n")
  fail("desktop entry: Icon must be ${ID}, Exec must start quillmark on a folder")
endif()
file(READ ${prefix}/share/metainfo/${ID}.metainfo.xml metainfo)
string(REGEX MATCH "<release version=\"([^\"]*)\"" release "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION OR NOT metainfo MATCHES "<launchable type=\"desktop-id\">${ID}.desktop<")
  fail("metainfo: newest release '${CMAKE_MATCH_1}' is not ${VERSION}, or its launchable is not ${ID}.desktop")
endif()
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  check("desktop-file-validate" ${DESKTOP_FILE_VALIDATE} ${prefix}/share/applications/${ID}.desktop)
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  check("appstreamcli validate" ${APPSTREAMCLI} validate --no-net ${prefix}/share/metainfo/${ID}.metainfo.xml)
endif()

# --help and --version answer without a display; --help names the settings file.
check("installed quillmark runs" ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
  --unset=QT_QPA_PLATFORM ${prefix}/bin/quillmark --version)
if(NOT OUT STREQUAL "quillmark ${VERSION}\n")
  fail("quillmark --version printed '${OUT}'")
endif()

# settings(EXPECTED run-as...): the settings file quillmark reports.
function(expect_settings expected)
  check("quillmark --help" ${ARGN} ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${work}/config
    --unset=DISPLAY --unset=WAYLAND_DISPLAY ${prefix}/bin/quillmark --help)
  if(NOT OUT MATCHES "\nsettings: ${expected}\n")
    fail("settings file: expected ${expected} in\n${OUT}")
  endif()
endfunction()
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
# A prefix of the user's own, writable: beside the program.
expect_settings(${prefix}/bin/status.ini)
# A prefix the user cannot write (root may write anywhere: check as nobody).
file(CHMOD_RECURSE ${prefix} DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
if(uid STREQUAL "0")
  find_program(SETPRIV setpriv)
  if(SETPRIV)
    expect_settings(${work}/config/quillmark/status.ini ${SETPRIV} --reuid=65534 --regid=65534 --clear-groups)
  endif()
else()
  expect_settings(${work}/config/quillmark/status.ini)
endif()

file(CHMOD_RECURSE ${work} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(REMOVE_RECURSE ${work})
