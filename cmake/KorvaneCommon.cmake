# Flags shared by every target of the project, on one INTERFACE target.
add_library(korvane_common INTERFACE)
target_compile_features(korvane_common INTERFACE cxx_std_20)
target_compile_options(korvane_common INTERFACE
  -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_compile_definitions(korvane_common INTERFACE
  # The version, from the project() line only: korvane-cli --version, the package's name.
  KORVANE_VERSION="${PROJECT_VERSION}"
  # The homepage, from the project() line too: the window's About box, the package.
  KORVANE_HOMEPAGE="${PROJECT_HOMEPAGE_URL}"
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
if(KORVANE_SANITIZE)
  target_compile_options(korvane_common INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(korvane_common INTERFACE -fsanitize=address,undefined)
endif()

# Debian's hardening flags on every build, as dpkg-buildflags gives them with every hardening
# feature on: the stack protector, _FORTIFY_SOURCE, format checks, read-only relocations and
# immediate binding (the compiler makes position-independent executables by default). The
# build type keeps its own optimisation and debug flags; _FORTIFY_SOURCE needs an optimised
# build and is left out of Debug. The sanitized and fuzzing builds go without.
# They are flags for Debian's own compilers and ELF programs: the Windows build goes without.
option(KORVANE_HARDENING "Build with Debian's hardening flags from dpkg-buildflags" ON)
if(KORVANE_HARDENING AND NOT KORVANE_SANITIZE AND NOT KORVANE_FUZZ AND NOT WIN32)
  find_program(KORVANE_DPKG_BUILDFLAGS dpkg-buildflags)
  if(KORVANE_DPKG_BUILDFLAGS)
    set(korvane_hardening_compile)
    set(korvane_hardening_fortify)
    set(korvane_hardening_link)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${KORVANE_DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (${status})")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      # Optimisation, debug information and file-name mapping are the build type's business.
      list(FILTER flags EXCLUDE REGEX "^-(O|g|ffile-prefix-map=|fdebug-prefix-map=)")
      foreach(flag IN LISTS flags)
        if(kind STREQUAL "LDFLAGS")
          list(APPEND korvane_hardening_link ${flag})
        elseif(flag MATCHES "^-D_FORTIFY_SOURCE=")
          list(APPEND korvane_hardening_fortify ${flag})
        else()
          list(APPEND korvane_hardening_compile ${flag})
        endif()
      endforeach()
    endforeach()
    message(STATUS "Hardening: ${korvane_hardening_compile} ${korvane_hardening_fortify} ${korvane_hardening_link}")
    target_compile_options(korvane_common INTERFACE
      ${korvane_hardening_compile} "$<$<NOT:$<CONFIG:Debug>>:${korvane_hardening_fortify}>")
    target_link_options(korvane_common INTERFACE ${korvane_hardening_link})
  else()
    message(STATUS "dpkg-buildflags not found: built without Debian's hardening flags")
  endif()
endif()
