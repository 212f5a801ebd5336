# Installing and packaging: the runtime as a development package (static library, headers
# under include/quarnel/, a CMake package and quarnel.pc) and the clock as a desktop program
# (binary, media under share/orvela, desktop entry and icons). CPack makes a Debian package
# of each: quarnel-dev and orvela.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# ---- The runtime -------------------------------------------------------------------------
# The headers a program reaches from quarnel.h, found by following its #include "..." lines:
# the runtime's own modules' headers (platform services, the device, *_internal.h) stay
# behind. The headers include each other relative to the runtime folder, so the installed
# package puts include/quarnel on the include path besides include.
set(QRN_PUBLIC_HEADERS "")
set(qrn_pending quarnel.h)
while(qrn_pending)
  list(POP_FRONT qrn_pending header)
  if(header IN_LIST QRN_PUBLIC_HEADERS OR NOT EXISTS ${PROJECT_SOURCE_DIR}/runtime/${header})
    continue()
  endif()
  list(APPEND QRN_PUBLIC_HEADERS ${header})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/runtime/${header})
  file(STRINGS ${PROJECT_SOURCE_DIR}/runtime/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    list(APPEND qrn_pending ${included})
  endforeach()
endwhile()
foreach(header IN LISTS QRN_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/runtime/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarnel/${folder} COMPONENT dev)
endforeach()

install(TARGETS quarnel EXPORT QuarnelTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} ${CMAKE_INSTALL_INCLUDEDIR}/quarnel)
# A stripping install (CPack's) drops the library's debugging sections but keeps its symbols.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libquarnel.a\")
endif()" COMPONENT dev)
set(QRN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quarnel)
install(EXPORT QuarnelTargets NAMESPACE Quarnel:: DESTINATION ${QRN_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuarnelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/QuarnelConfig.cmake INSTALL_DESTINATION ${QRN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/QuarnelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/QuarnelConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/QuarnelConfigVersion.cmake
        DESTINATION ${QRN_CMAKE_DIR} COMPONENT dev)

# quarnel.pc finds its prefix from its own place, so the same file serves every prefix.
set(QRN_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH QRN_PC_TO_PREFIX /prefix/${QRN_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" QRN_PC_TO_PREFIX "${QRN_PC_TO_PREFIX}")
# What a program linking the static library links besides: the shared libraries it uses, as
# their own pkg-config files name them. They go to Libs.private as plain flags rather than to
# Requires.private, since "pkg-config --static" would follow a Requires.private into those
# libraries' own private dependencies, whose static archives Debian does not install.
execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --libs sdl2 SDL2_mixer gl libpng libjpeg zlib lzo2
                        gstreamer-1.0 gstreamer-app-1.0 gstreamer-video-1.0
                OUTPUT_VARIABLE QRN_PC_LIBS_PRIVATE OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE pc_status)
if(NOT pc_status EQUAL 0)
  message(FATAL_ERROR "pkg-config cannot name the libraries quarnel.pc must list")
endif()
string(APPEND QRN_PC_LIBS_PRIVATE " -pthread")
foreach(lib IN LISTS CMAKE_DL_LIBS)
  string(APPEND QRN_PC_LIBS_PRIVATE " -l${lib}")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/quarnel.pc.in ${PROJECT_BINARY_DIR}/packaging/quarnel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/quarnel.pc DESTINATION ${QRN_PC_DIR} COMPONENT dev)

# ---- The clock ---------------------------------------------------------------------------
install(TARGETS orvela RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT clock)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/Media DESTINATION ${CMAKE_INSTALL_DATADIR}/orvela COMPONENT clock)
set(QRN_MANPAGE_GZ ${PROJECT_BINARY_DIR}/packaging/orvela.1.gz)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/orvela.1
                OUTPUT_FILE ${QRN_MANPAGE_GZ} RESULT_VARIABLE gzip_status)
if(NOT gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress packaging/orvela.1")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/packaging/orvela.1 ${PROJECT_SOURCE_DIR}/packaging/changelog)
install(FILES ${QRN_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT clock)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/orvela.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT clock)
foreach(size 48 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/app/icons/orvela-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME orvela.png COMPONENT clock)
endforeach()

# ---- Debian packages ---------------------------------------------------------------------
# Each package carries the copyright file and the changelog Debian packages have.
set(QRN_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog
                OUTPUT_FILE ${QRN_CHANGELOG_GZ} RESULT_VARIABLE gzip_status)
if(NOT gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress packaging/changelog")
endif()
foreach(pair "dev;quarnel-dev" "clock;orvela")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${QRN_CHANGELOG_GZ}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvela)
set(CPACK_PACKAGE_VENDOR "Orvela Developers")
set(CPACK_PACKAGE_CONTACT "Orvela Developers <orvela-dev@lists.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)  # the first Debian revision of this version: 4.8-1
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL dev clock)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvela.example.org/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME quarnel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# A static library: programs linked against it need the development packages of what it uses.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "libsdl2-dev, libsdl2-mixer-dev, libgl-dev, libpng-dev, libjpeg-dev, zlib1g-dev, liblzo2-dev, libgstreamer1.0-dev, libgstreamer-plugins-base1.0-dev, pkg-config")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "cmake, libgl1-mesa-dri")
# The first line is the synopsis; CPack indents the rest and turns an empty line into " .".
set(CPACK_COMPONENT_DEV_DESCRIPTION "2D runtime for games and tools (development files)
Quarnel is a 2D runtime of free commands: a window with an OpenGL context and
a frame loop, sprites and bitmap fonts, mouse, keyboard and joysticks, sound
effects and music, sockets and a network game, settings files and more.

This package holds the static library, its headers under
/usr/include/quarnel, a CMake package (find_package(Quarnel)) and a
pkg-config file (quarnel).")

set(CPACK_DEBIAN_CLOCK_PACKAGE_NAME orvela)
set(CPACK_DEBIAN_CLOCK_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_CLOCK_PACKAGE_SHLIBDEPS ON)
# SDL opens libGL.so.1 by name when it makes the GL context, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_CLOCK_PACKAGE_DEPENDS "libgl1")
set(CPACK_DEBIAN_CLOCK_PACKAGE_RECOMMENDS "libgl1-mesa-dri, timgm6mb-soundfont")
set(CPACK_COMPONENT_CLOCK_DESCRIPTION "desktop clock built around your wake-up time
Orvela shows the time with hands and as text in a small window and derives
the rest of your day from your wake-up time: bedtime, the peak and low hours
of the day and the sleep cycles of the night. A click opens its menu, where
the wake time is set; it is kept in ~/.config/orvela/ORVL.INI.")
include(CPack)
