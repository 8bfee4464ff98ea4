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

