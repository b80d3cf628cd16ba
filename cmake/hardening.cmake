# Hardened as Debian builds its packages: only the flags dpkg-buildflags adds for
# hardening=+all over hardening=-all (stack protector, _FORTIFY_SOURCE, format checks,
# RELRO, immediate binding); -O2, -g and the rest stay this project's choice, since the
# renderer's code generation is part of its picture. PIE is CMake's own switch.
#
# On by default in a native Linux tree that has dpkg-buildflags and no sanitizers
# (they bring checks of their own, which _FORTIFY_SOURCE would blind).
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
set(hardening_default OFF)
if(DPKG_BUILDFLAGS AND NOT CMAKE_CROSSCOMPILING AND NOT VORLIX_SANITIZE)
  set(hardening_default ON)
endif()
option(VORLIX_HARDENING "Build with Debian's hardening flags (dpkg-buildflags, hardening=+all)" ${hardening_default})

# The flags of dpkg-buildflags' VARIABLE (CXXFLAGS, CPPFLAGS, LDFLAGS) that only
# hardening adds, into OUT.
function(hardening_flags variable out)
  foreach(setting +all -all)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${setting} ${DPKG_BUILDFLAGS} --get ${variable}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags${setting} UNIX_COMMAND "${flags}")
  endforeach()
  if(flags+all AND flags-all)
    list(REMOVE_ITEM flags+all ${flags-all})
  endif()
  set(${out} ${flags+all} PARENT_SCOPE)
endfunction()

# The three programs as position-independent executables. Only them: on a library
# the switch means -fPIC, whose globals and calls go through the GOT and the PLT,
# and the renderer's code would change; the archives keep the compiler's default,
# PIE on Debian.
function(harden_programs)
  if(VORLIX_HARDENING)
    set_target_properties(${ARGN} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endfunction()

if(VORLIX_HARDENING)
  if(NOT DPKG_BUILDFLAGS)
    message(FATAL_ERROR "VORLIX_HARDENING needs dpkg-buildflags (dpkg-dev)")
  endif()
  hardening_flags(CXXFLAGS hardening_compile)
  hardening_flags(CPPFLAGS hardening_preprocess)
  hardening_flags(LDFLAGS hardening_link)
  # _FORTIFY_SOURCE works through the optimiser, which a Debug tree goes without.
  list(TRANSFORM hardening_preprocess REPLACE "^(-D_FORTIFY_SOURCE=.*)$" "$<$<NOT:$<CONFIG:Debug>>:\\1>")
  add_compile_options(${hardening_compile} ${hardening_preprocess})
  add_link_options(${hardening_link})
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  message(STATUS "Hardening: ${hardening_compile} ${hardening_preprocess} ${hardening_link}")
endif()
