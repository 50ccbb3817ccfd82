# The game installed (component `game`) and the Debian packages of both install components.
#
# Layout under the prefix, as Debian lays out games:
#   games/quorbistane, games/quorbistane-sim    the commands, links to the executables
#   lib/games/quorbistane/       the executables, with BMP/, BGM/ and SE/ beside them as links
#                                into share/games/quorbistane/
#   share/games/quorbistane/     the pictures and sounds (the same on every architecture)
# The programs find their files beside the executable's real path, so they run the same from
# any working folder and through the links. The pack maker is a tool of the library's users:
# bin/quorbistane_pack belongs to tu-dev.
# The relay server (component relay, its own package): bin/quorbistane-relay, its manual page in
# section 8 and its systemd unit. It is a service, not a game, and needs no root: bin/, not
# games/ or sbin/.

# Links are made in the build tree (in `links` of the caller) and installed as links; their
# targets are relative, so they hold under any prefix and DESTDIR.
function(quorbistane_install_link from to)
  get_filename_component(folder ${from} DIRECTORY)
  file(RELATIVE_PATH target /${folder} /${to})
  file(MAKE_DIRECTORY ${links}/${folder})
  file(REMOVE ${links}/${from})
  file(CREATE_LINK ${target} ${links}/${from} SYMBOLIC)
  install(FILES ${links}/${from} DESTINATION ${folder} COMPONENT game)
endfunction()

# Compressed as Debian ships manual pages and changelogs (-n: no name or time stamp, so the
# bytes depend on the text alone). Made when CMake runs, which it does again whenever the
# source changes.
find_program(GZIP gzip REQUIRED)
function(quorbistane_gzip input output result)
  configure_file(${input} ${PROJECT_BINARY_DIR}/${output} @ONLY)
  execute_process(COMMAND ${GZIP} -9n INPUT_FILE ${PROJECT_BINARY_DIR}/${output}
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/${output}.gz COMMAND_ERROR_IS_FATAL ANY)
  set(${result} ${PROJECT_BINARY_DIR}/${output}.gz PARENT_SCOPE)
endfunction()

# The rules in a function of their own, so their variables stay out of the project's scope.
function(quorbistane_install_game)
  set(QUORBISTANE_GAMES_DIR games)
  set(QUORBISTANE_EXE_DIR lib/games/quorbistane)
  set(QUORBISTANE_DATA_DIR ${CMAKE_INSTALL_DATAROOTDIR}/games/quorbistane)

  install(TARGETS quorbistane quorbistane-sim RUNTIME DESTINATION ${QUORBISTANE_EXE_DIR} COMPONENT game)
  # The library's package holds the pack tool itself beside its manual page: build it with the
  # library before installing tu-dev (README).
  install(TARGETS quorbistane_pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tu-dev)
  foreach(file ${QUORBISTANE_ASSET_FILES})
    get_filename_component(folder ${file} DIRECTORY)
    install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${file} DESTINATION ${QUORBISTANE_DATA_DIR}/${folder}
            COMPONENT game)
  endforeach()

  set(links ${PROJECT_BINARY_DIR}/install-links)
  foreach(folder BMP BGM SE)
    quorbistane_install_link(${QUORBISTANE_EXE_DIR}/${folder} ${QUORBISTANE_DATA_DIR}/${folder})
  endforeach()
  foreach(program quorbistane quorbistane-sim)
    quorbistane_install_link(${QUORBISTANE_GAMES_DIR}/${program} ${QUORBISTANE_EXE_DIR}/${program})
  endforeach()

  # The desktop: menu entry, icons from the asset generator, software-catalogue metadata. The
  # menu entry names the command by its full path under the final prefix (known only at install
  # time), so it starts the game whether or not that games/ folder is on the PATH.
  install(CODE "
    set(entry_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/applications/quorbistane.desktop\")
    file(READ \"${PROJECT_SOURCE_DIR}/dist/quorbistane.desktop\" entry)
    string(REPLACE \"\nExec=quorbistane\n\" \"\nExec=\${CMAKE_INSTALL_PREFIX}/${QUORBISTANE_GAMES_DIR}/quorbistane\n\" entry \"\${entry}\")
    message(STATUS \"Installing: \${entry_file}\")
    get_filename_component(entry_folder \"\${entry_file}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${entry_folder}\")
    file(WRITE \"\${entry_file}\" \"\${entry}\")
    file(CHMOD \"\${entry_file}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry_file}\")
  " COMPONENT game)
  install(FILES dist/org.quorbistane.quorbistane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT game)
  install(DIRECTORY ${QUORBISTANE_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons
          COMPONENT game)

  # The relay and its systemd unit. Debian 12 keeps units in /lib/systemd/system (where lintian
  # expects them); under any other prefix they go below it, so a user's own install needs no
  # root. The unit names the program under the final prefix, known only at install time.
  install(TARGETS quorbistane-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT relay)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(unit_dir /lib/systemd/system)
    else()
      set(unit_dir \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
    endif()
    set(unit_file \"\$ENV{DESTDIR}\${unit_dir}/quorbistane-relay.service\")
    file(READ \"${PROJECT_SOURCE_DIR}/dist/quorbistane-relay.service.in\" unit)
    string(REPLACE \"@QUORBISTANE_RELAY_PATH@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quorbistane-relay\" unit \"\${unit}\")
    message(STATUS \"Installing: \${unit_file}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${unit_dir}\")
    file(WRITE \"\${unit_file}\" \"\${unit}\")
    file(CHMOD \"\${unit_file}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${unit_file}\")
  " COMPONENT relay)
  # The manual page names the files where the Debian package puts them.
  set(QUORBISTANE_RELAY_PATH ${CMAKE_INSTALL_FULL_BINDIR}/quorbistane-relay)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(QUORBISTANE_RELAY_UNIT_PATH /lib/systemd/system/quorbistane-relay.service)
  else()
    set(QUORBISTANE_RELAY_UNIT_PATH ${CMAKE_INSTALL_PREFIX}/lib/systemd/system/quorbistane-relay.service)
  endif()

  # Manual pages and the Debian changelog, compressed (quorbistane_gzip).
  foreach(page_component man/quorbistane.6:game man/quorbistane-sim.6:game man/quorbistane_pack.1:tu-dev
                         man/quorbistane-relay.8:relay)
    string(REPLACE ":" ";" pair ${page_component})
    list(GET pair 0 page)
    list(GET pair 1 component)
    quorbistane_gzip(${page}.in ${page} compressed)
    string(REGEX MATCH "[0-9]$" section ${page})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
  quorbistane_gzip(dist/changelog dist/changelog changelog)

  # Each Debian package's own documents: the licence as a machine-readable copyright file and
  # the changelog.
  foreach(component_package game:quorbistane tu-dev:libtu-dev relay:quorbistane-relay)
    string(REPLACE ":" ";" pair ${component_package})
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES dist/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
            COMPONENT ${component})
  endforeach()

  # The game installed through DESTDIR under another prefix, run from another folder.
  if(QUORBISTANE_TESTS AND QUORBISTANE_XVFB_RUN AND QUORBISTANE_XDOTOOL)
    quorbistane_xvfb_test(NAME install_and_run SCREEN 1024x768x24 TIMEOUT 120
                          COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/staged.sh
                                  ${PROJECT_BINARY_DIR} ${PROJECT_BINARY_DIR}/install-test)
  endif()
endfunction()
quorbistane_install_game()

# Debian packages: `cpack -G DEB` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package-check does it with Debian's build flags).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorbistane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorbistane developers")
set(CPACK_PACKAGE_CONTACT "The Quorbistane developers <quorbistane@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)  # the prefix the install rules see is /usr, not the staging folder
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game tu-dev relay)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies from the linked executables (dpkg-shlibdeps), plus what is loaded by
# name at run time: the Japanese Gothic face of the frame meter (through fontconfig).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_GAME_PACKAGE_NAME quorbistane)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_COMPONENT_GAME_DESCRIPTION
  "action puzzle game of diamond blocks for one or two players
Quorbistane is an action puzzle game for two players on one keyboard, or one
player against the clock. A piece is three diamond-shaped blocks in a triangle
that you turn, move, drop and slide under an overhang; four or more touching
blocks of one colour are erased, and erasures cascade into chains that score
and send garbage to the other player's field.

The package also holds quorbistane-sim, which runs the game without a window
from a script of keys and writes its state and chosen frames.")
# The relay server: its libraries come from dpkg-shlibdeps alone.
set(CPACK_DEBIAN_RELAY_PACKAGE_NAME quorbistane-relay)
set(CPACK_DEBIAN_RELAY_PACKAGE_SECTION net)
set(CPACK_COMPONENT_RELAY_DESCRIPTION
  "relay server for online games of Quorbistane
Players of Quorbistane who cannot reach each other directly both connect out
to a relay over UDP: the host is given a room code, the joiner gives it, and
the relay passes the game's datagrams between them. It limits what each
address may open and send, needs no privileges and keeps no files.

The package holds the server and a systemd unit that runs it as a user of
its own with the default options; the unit is not enabled on installation.")
# The library: a static archive, so its users need the development files of what it links.
# Its text faces and the MIDI sound font are loaded by name when a program uses them; without
# them text falls back to another face and MIDI stays silent.
set(CPACK_DEBIAN_TU-DEV_PACKAGE_NAME libtu-dev)
set(CPACK_DEBIAN_TU-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TU-DEV_PACKAGE_DEPENDS "libsdl2-dev, libsdl2-ttf-dev, libsdl2-image-dev, libfontconfig-dev, libfluidsynth-dev, libvorbis-dev")
set(CPACK_DEBIAN_TU-DEV_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, timgm6mb-soundfont, pkg-config")
set(CPACK_COMPONENT_TU-DEV_DESCRIPTION
  "small C++ game library of the Quorbistane game (development files)
The tu library gives a game a window and frame loop, timing, keyboard and
joysticks (tuSystem), a sprite table, text and presentation (tuDraw), and
sound objects, packs, streaming and MIDI (tuSound), over SDL2, SDL2_ttf,
SDL2_image, fontconfig, FluidSynth and the Ogg Vorbis decoder.

This package holds the static library, its headers, a CMake package
(find_package(tu)), a pkg-config file and quorbistane_pack, which makes
picture and sound packs.")
include(CPack)
