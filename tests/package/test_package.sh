#!/usr/bin/env bash
# test_package.sh BUILD_DIR OUT_DIR VERSION
# Makes the package from BUILD_DIR's CPack configuration into OUT_DIR (emptied first) and
# checks its name, fields and files, the installed korvane-cli's version, and that lintian,
# appstreamcli and desktop-file-validate find no error. Needs no root.
set -uo pipefail
build=$1 out=$2 version=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$out"
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
deb="$out/korvane_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$deb" ]; then
  echo "FAIL: no $deb; made: $(ls "$out")" >&2
  exit 1
fi

# Fields
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = korvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
depends=$(field Depends)
for needed in fonts-noto-cjk qt6-translations-l10n libqt6sql6-sqlite libqt6widgets6 libqt6network6 libxml2 libc6; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

# Files
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for file in usr/bin/korvane usr/bin/korvane-cli \
    usr/share/applications/korvane.desktop \
    usr/share/icons/hicolor/32x32/apps/korvane.png \
    usr/share/icons/hicolor/64x64/apps/korvane.png \
    usr/share/icons/hicolor/256x256/apps/korvane.png \
    usr/share/metainfo/org.korvane.Korvane.metainfo.xml \
    usr/share/man/man1/korvane-cli.1.gz usr/share/man/man1/korvane.1.gz \
    usr/share/doc/korvane/copyright usr/share/doc/korvane/changelog.gz; do
  grep -qx "\./$file" <<<"$contents" || fail "missing /$file"
done
programs=$(grep -c '^\./usr/bin/.' <<<"$contents")
[ "$programs" = 2 ] || fail "$programs files in /usr/bin, not 2: $(grep '^\./usr/bin/.' <<<"$contents" | tr '\n' ' ')"
grep -v '^\./usr/' <<<"$contents" | grep -qv '^\./$' && fail "files outside /usr: $(grep -v '^\./usr/' <<<"$contents" | tr '\n' ' ')"

# What the files hold
root="$out/root"
dpkg-deb -x "$deb" "$root"
printed=$("$root/usr/bin/korvane-cli" --version 2>&1)
[ "$printed" = "korvane-cli $version" ] || fail "korvane-cli --version printed: $printed"
zcat "$root/usr/share/man/man1/korvane-cli.1.gz" | grep -q -- 'engine' ||
  fail "the manual page of korvane-cli does not list --engine"
for size in 32 64 256; do
  file "$root/usr/share/icons/hicolor/${size}x$size/apps/korvane.png" | grep -q "PNG image data, $size x $size," ||
    fail "the $size px icon is not a $size x $size PNG"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/org.korvane.Korvane.metainfo.xml" ||
  fail "appstreamcli validate"
desktop-file-validate "$root/usr/share/applications/korvane.desktop" || fail "desktop-file-validate"
lintian --fail-on error "$deb" || fail "lintian reports errors"

[ "$failures" = 0 ] || exit 1
echo "package $(basename "$deb"): all checks passed"
