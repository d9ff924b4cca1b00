#!/usr/bin/env bash
# Builds the Debian package from this build tree with CPack and checks it as a distribution
# would: its fields and file list, lintian, the validators on the installed tree, the icon
# sizes, the user unit, the man page, and the packaged binary itself.
# Usage: check-package.sh <build dir> <scratch dir>
set -uo pipefail
build_dir=$1
scratch=$2
app_id=org.vigilmount.Vigilmount
icon_sizes=(16 24 32 48 64 128 256)
sections=(NAME SYNOPSIS DESCRIPTION OPTIONS FILES ENVIRONMENT "EXIT STATUS" SERVICE EXAMPLES)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs a checker that must say nothing and succeed.
expect_silent() {
  local out status
  out=$("$@" 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fail "$1 exited with $status"
  [ -z "$out" ] || fail "$1 said: $out"
}

png_size() { # width x height from the IHDR chunk
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'
}

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch" || exit 1

# --- Build the package -----------------------------------------------------------------------
if ! cpack --config "$build_dir/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1; then
  cat cpack.log
  fail "cpack could not build the package"
  exit 1
fi
deb=$(echo "$scratch"/out/vigilmount_*.deb)
[ -f "$deb" ] || { fail "no vigilmount_*.deb in $scratch/out"; exit 1; }
echo "Package: $deb"

# --- Control fields --------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[ "$(field Recommends)" = "gvfs-backends, gvfs-fuse, gnome-keyring" ] ||
  fail "Recommends is '$(field Recommends)'"
# dpkg-shlibdeps found the libraries; the plugins Qt loads at run time are named by hand.
for dependency in libqt6core6 libqt6widgets6 libqt6network6 libsecret-1-0 qt6-qpa-plugins libqt6svg6 \
  libglib2.0-bin; do
  field Depends | grep -q "\b$dependency\b" || fail "Depends lacks $dependency: $(field Depends)"
done

# --- File list: exactly these files, nothing else --------------------------------------------
expected=(
  usr/bin/vigilmount
  usr/lib/systemd/user/vigilmount.service
  "usr/share/applications/$app_id.desktop"
  "usr/share/metainfo/$app_id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  usr/share/man/man1/vigilmount.1.gz
  usr/share/doc/vigilmount/copyright
  usr/share/doc/vigilmount/changelog.gz
  usr/share/vigilmount/translations/vigilmount_de.qm
)
for size in "${icon_sizes[@]}"; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png")
done
dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub("^\\./", "", $6); print $6 }' | sort >files.txt
echo "Files:" && sed 's/^/  /' files.txt
if ! diff <(printf '%s\n' "${expected[@]}" | sort) files.txt; then
  fail "the package's files differ from the list above (< expected, > packaged)"
fi

# --- lintian: errors fail, the rest is shown ------------------------------------------------
lintian --display-info "$deb" >lintian.txt 2>&1
echo "lintian:" && sed 's/^/  /' lintian.txt
grep -q '^E:' lintian.txt && fail "lintian reports errors"

# --- The installed tree ----------------------------------------------------------------------
root=$scratch/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"

version=$(field Version)
# A build from a git checkout adds a line naming the revision.
[ "$("$root/usr/bin/vigilmount" --version | head -n 1)" = "vigilmount $version" ] ||
  fail "the packaged binary does not report version $version"
readelf -S "$root/usr/bin/vigilmount" | grep -q '\.symtab' &&
  fail "the packaged binary is not stripped"
grep -q '^License: MIT$' "$root/usr/share/doc/vigilmount/copyright" ||
  fail "the copyright file has no 'License: MIT'"

desktop=$root/usr/share/applications/$app_id.desktop
expect_silent desktop-file-validate "$desktop"
# The component id is the reverse-DNS desktop file name, so the one pedantic hint about its
# upper-case letter is expected; any other message fails.
appstreamcli validate-tree --pedantic --no-net "$root" >appstream.txt 2>&1 ||
  fail "appstreamcli validate-tree failed"
grep -E '^ *[EWIP]: ' appstream.txt | grep -v ': cid-contains-uppercase-letter ' &&
  fail "appstreamcli has more to say than the upper-case hint"

icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon '$icon'"
for size in "${icon_sizes[@]}"; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
  [ -f "$png" ] && [ "$(png_size "$png")" = "${size}x$size" ] ||
    fail "$png is missing or not $size px square"
done
# The software centre's categories are the desktop entry's.
for category in $(sed -n 's:.*<category>\(.*\)</category>.*:\1:p' \
  "$root/usr/share/metainfo/$app_id.metainfo.xml"); do
  grep -q "^Categories=.*\b$category;" "$desktop" || fail "category $category is not in $desktop"
done

# --- Man page: renders without a warning and documents every option ---------------------------
man_gz=$root/usr/share/man/man1/vigilmount.1.gz
expect_silent sh -c "zcat '$man_gz' | groff -ww -z -man"
zcat "$man_gz" | groff -man -Tutf8 -P-cbou 2>/dev/null >man.txt
for section in "${sections[@]}"; do
  grep -qx "$section" man.txt || fail "the man page has no $section section"
done
documented() { grep -qE "^ +(-[a-z], )?$1( |$)" man.txt; }
help_options=$("$root/usr/bin/vigilmount" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+')
for option in $(grep -oE -- '--[a-z-]+' <<<"$help_options"); do
  documented "$option" || fail "--help lists $option but the man page does not document it"
done
for option in $(sed -n 's/^Exec=vigilmount //p' "$desktop"); do
  documented "$option" || fail "the desktop entry runs $option, which the man page lacks"
done

# --- User unit: as packaged, then verified against the extracted binary and man page ------------
unit=$root/usr/lib/systemd/user/vigilmount.service
grep -qx 'ExecStart=/usr/bin/vigilmount --headless' "$unit" || fail "unexpected ExecStart in $unit"
# systemd-analyze checks that ExecStart exists and that man:vigilmount(1) opens; it needs a
# runtime folder but no running systemd.
mkdir -p unit runtime && chmod 700 runtime
sed "s|=/usr/bin/|=$root/usr/bin/|" "$unit" >unit/vigilmount.service
expect_silent env XDG_RUNTIME_DIR="$scratch/runtime" MANPATH="$root/usr/share/man" \
  systemd-analyze --user verify "$scratch/unit/vigilmount.service"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "The package passed every check."
