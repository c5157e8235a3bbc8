# The packaged programs read what arrives from the network and the serial
# line, so the package builds them with Debian's hardening flags, as a
# Debian package build would (dpkg-buildflags with hardening=+all): fortified
# functions, stack protector, stack clash and control flow protection,
# read-only relocations bound at start, position-independent executables.
# Included before any target is made, so every object gets them.
find_program(ZV_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
# _FORTIFY_SOURCE does nothing without optimisation: an unoptimised package
# would ship unfortified programs.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  message(FATAL_ERROR "ZV_PACKAGE builds optimised, hardened programs: configure the package "
                      "in a build folder of its own with -DCMAKE_BUILD_TYPE=None (Debian's "
                      "flags alone), Release or RelWithDebInfo")
endif()
foreach(kind CXXFLAGS CPPFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${ZV_DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE zv_${kind}
    OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(APPEND CMAKE_CXX_FLAGS " ${zv_CXXFLAGS} ${zv_CPPFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${zv_LDFLAGS}")
message(STATUS "zv package: hardened with ${zv_CXXFLAGS} ${zv_CPPFLAGS} ${zv_LDFLAGS}")
