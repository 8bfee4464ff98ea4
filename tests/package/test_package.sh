#!/usr/bin/env bash
# test_package.sh BUILD_DIR OUT_DIR VERSION
# Makes the package from BUILD_DIR's CPack configuration into OUT_DIR (emptied first) and
# checks its name, fields and files, the installed programs' versions, manual pages and
# hardening, and that lintian finds nothing above info and appstreamcli and
# desktop-file-validate no error. Needs no root.
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
for needed in fonts-noto-cjk qt6-translations-l10n libqt6sql6-sqlite libqt6widgets6 libqt6network6 libqt6httpserver6 libsodium23 libxml2 libc6; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
# The PostgreSQL driver, for a store on a server only.
grep -Eq "(^|, )libqt6sql6-psql( |,|$)" <<<"$(field Recommends)" || fail "Recommends lacks libqt6sql6-psql: $(field Recommends)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

# Files
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for file in usr/bin/korvane usr/bin/korvane-cli usr/bin/korvane-server \
    usr/share/man/man1/korvane-server.1.gz usr/lib/systemd/system/korvane-server.service \
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
[ "$programs" = 3 ] || fail "$programs files in /usr/bin, not 3: $(grep '^\./usr/bin/.' <<<"$contents" | tr '\n' ' ')"
grep -v '^\./usr/' <<<"$contents" | grep -qv '^\./$' && fail "files outside /usr: $(grep -v '^\./usr/' <<<"$contents" | tr '\n' ' ')"

# What the files hold
root="$out/root"
dpkg-deb -x "$deb" "$root"
printed=$("$root/usr/bin/korvane-cli" --version 2>&1)
[ "$printed" = "korvane-cli $version" ] || fail "korvane-cli --version printed: $printed"
printed=$("$root/usr/bin/korvane-server" --version 2>&1)
[ "$printed" = "korvane-server $version" ] || fail "korvane-server --version printed: $printed"
# The service: installed with the hardening asked of it, and not enabled (no maintainer script).
unit="$root/usr/lib/systemd/system/korvane-server.service"
for setting in DynamicUser=yes StateDirectory=korvane ProtectSystem=strict NoNewPrivileges=yes; do
  grep -qx "$setting" "$unit" || fail "korvane-server.service lacks $setting"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Eq 'postinst|prerm' && fail "the package has maintainer scripts (it would enable the service)"
printed=$("$root/usr/bin/korvane" --version 2>&1)
[ "$printed" = "korvane $version" ] || fail "korvane --version printed: $printed"
# The manual pages come from the programs' --help: what it lists, they say.
for page in korvane-cli:--engine korvane-cli:--format korvane-cli:--input 'korvane-cli:Exit status' \
    korvane-cli:EXAMPLES korvane:--version korvane:导出 'korvane:Exit status' korvane-server:--listen \
    korvane-server:--behind-proxy korvane-server:'user add' 'korvane-server:Exit status'; do
  # Read whole first: with pipefail, grep -q leaving early would fail the pipe it ends.
  text=$(zcat "$root/usr/share/man/man1/${page%%:*}.1.gz" | sed 's/\\-/-/g')
  grep -q -- "${page#*:}" <<<"$text" ||
    fail "the manual page of ${page%%:*} does not mention ${page#*:}"
done
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"" \
  "$root/usr/share/metainfo/org.korvane.Korvane.metainfo.xml" || fail "the metainfo has no release $version"

# Debian's hardening in both programs: position-independent, read-only relocations bound at
# start, the stack protector and fortified C library calls; and no .comment section.
for program in korvane korvane-cli korvane-server; do
  binary="$root/usr/bin/$program"
  dynamic=$(readelf --dynamic --wide "$binary")
  grep -Eq '\(FLAGS_1\).* PIE' <<<"$dynamic" || fail "$program is not a position-independent executable"
  grep -Eq '\(FLAGS\).* BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dynamic" || fail "$program is not linked with -z now"
  readelf --program-headers --wide "$binary" | grep -q GNU_RELRO || fail "$program has no RELRO segment"
  symbols=$(readelf --dyn-syms --wide "$binary")
  grep -q ' __stack_chk_fail' <<<"$symbols" || fail "$program is built without the stack protector"
  grep -Eq ' __[a-z0-9_]+_chk(@|$)' <<<"$symbols" || fail "$program calls no fortified function"
  readelf --section-headers --wide "$binary" | grep -q '\] \.comment ' && fail "$program keeps its .comment section"
done
for size in 32 64 256; do
  file "$root/usr/share/icons/hicolor/${size}x$size/apps/korvane.png" | grep -q "PNG image data, $size x $size," ||
    fail "the $size px icon is not a $size x $size PNG"
done
appstreamcli validate --pedantic --no-net "$root/usr/share/metainfo/org.korvane.Korvane.metainfo.xml" ||
  fail "appstreamcli validate"
desktop-file-validate "$root/usr/share/applications/korvane.desktop" || fail "desktop-file-validate"
# Nothing above info, even in pedantic mode (the hardening tags are warnings).
lintian --pedantic --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

[ "$failures" = 0 ] || exit 1
echo "package $(basename "$deb"): all checks passed"
