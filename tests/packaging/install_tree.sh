#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR with the default prefix and
# checks what a desktop expects there: both programs (their --help, --version
# and usage errors), the desktop entry (validated where desktop-file-utils is
# installed), the icon as SVG and as a 256 x 256 PNG, the compressed manual
# pages and the package documents; the installed programs find their formats
# module.
#   install_tree.sh BUILD_DIR [SOURCE_DIR]
set -eu
build=$1
src=${2:-$(cd "$(dirname "$0")/../.." && pwd)}
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR="$dest" cmake --install "$build" --prefix /usr/local >"$dest.log" 2>&1 || { cat "$dest.log"; fail "cmake --install"; }
rm -f "$dest.log"
root="$dest/usr/local"
expected="bin/sorrelquint
bin/sqimg
lib/sorrelquint/modules/sorrelquint-formats.so
share/applications/sorrelquint.desktop
share/doc/sorrelquint/changelog.gz
share/doc/sorrelquint/copyright
share/icons/hicolor/256x256/apps/sorrelquint.png
share/icons/hicolor/scalable/apps/sorrelquint.svg
share/man/man1/sorrelquint.1.gz
share/man/man1/sqimg.1.gz"
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || { echo "installed:"; echo "$actual"; fail "the installed tree differs"; }
[ -z "$(find "$dest" -path "$root" -prune -o -type f -print)" ] || fail "files outside the prefix"

for p in sorrelquint sqimg; do
  [ -x "$root/bin/$p" ] || fail "$p is not executable"
  perm=$(stat -c %a "$root/share/man/man1/$p.1.gz")
  [ "$perm" = 644 ] || fail "$p.1.gz has mode $perm"
  gzip -t "$root/share/man/man1/$p.1.gz" || fail "$p.1.gz is not gzip"
  zcat "$root/share/man/man1/$p.1.gz" | grep -q "^\.TH $(echo "$p" | tr a-z A-Z) 1" || fail "$p.1 has no .TH line"
done
gzip -t "$root/share/doc/sorrelquint/changelog.gz" || fail "changelog.gz"

# Options of the installed programs, with no display at all.
run() { # expected-status program args... ; leaves out/err in $dest
  local want=$1; shift
  set +e; env -u DISPLAY -u WAYLAND_DISPLAY "$@" >"$dest/out" 2>"$dest/err"; local got=$?; set -e
  [ "$got" = "$want" ] || { cat "$dest/err"; fail "$* exited $got, not $want"; }
}
run 0 "$root/bin/sorrelquint" --help
grep -q '^Usage: sorrelquint' "$dest/out" || fail "--help prints no usage on stdout"
[ ! -s "$dest/err" ] || fail "--help wrote to stderr"
run 0 "$root/bin/sorrelquint" --version
grep -qx 'sorrelquint [0-9.]*' "$dest/out" || fail "--version prints '$(cat "$dest/out")'"
run 2 "$root/bin/sorrelquint" --no-such-option
[ ! -s "$dest/out" ] || fail "an unknown option wrote to stdout"
grep -q "unknown option '--no-such-option'" "$dest/err" && grep -q '^Usage: sorrelquint' "$dest/err" ||
  fail "an unknown option gives no message and usage on stderr"
run 2 "$root/bin/sorrelquint" -display
run 0 "$root/bin/sqimg" --help
grep -q '^usage: sqimg' "$dest/out" || fail "sqimg --help prints no usage on stdout"
run 0 "$root/bin/sqimg" --version
run 2 "$root/bin/sqimg" --no-such-option
grep -q '^usage: sqimg' "$dest/err" || fail "sqimg: usage error not on stderr"
# The photograph readers live in the module installed beside the programs;
# the loader's trace tells which file was opened.
env -u DISPLAY QT_QPA_PLATFORM=offscreen LD_DEBUG=files \
  "$root/bin/sqimg" load "$src/fuzz/corpus/fuzz_photos/reads-heic.heic" >"$dest/out" 2>"$dest/err" ||
  { cat "$dest/err"; fail "the installed sqimg cannot read a HEIC picture"; }
opened=$(sed -n 's/.*file=\([^ ]*sorrelquint-formats\.so\).*/\1/p' "$dest/err" | head -n 1)
[ "$(readlink -f "$opened")" = "$(readlink -f "$root/lib/sorrelquint/modules/sorrelquint-formats.so")" ] ||
  fail "the installed sqimg opened the formats module '$opened'"

# The desktop entry.
entry="$root/share/applications/sorrelquint.desktop"
field() { sed -n "s/^$1=//p" "$entry"; }
[ "$(field Exec)" = "sorrelquint %f" ] || fail "Exec is '$(field Exec)'"
[ "$(field Icon)" = sorrelquint ] || fail "Icon is '$(field Icon)'"
[ "$(field Categories)" = "Graphics;Viewer;" ] || fail "Categories"
[ -n "$(field 'Name\[ja\]')" ] || fail "no Japanese name"
# Only the kinds the program shows in its preview (phone videos by their first
# frame): claiming text, pages, mails, AVI or folders would make it the
# default program for them
# on a desktop with no other, where it shows a folder instead of the text;
# icons, cursors and metafiles it opens with their default program, which
# would be itself again.
pictures="image/jpeg image/bmp image/png image/gif image/webp image/tiff
  image/heic image/heif image/avif image/jxl image/x-canon-cr2 image/x-canon-cr3
  image/x-nikon-nef image/x-sony-arw image/x-adobe-dng image/x-olympus-orf
  image/x-fuji-raf image/x-panasonic-rw2 video/mp4 video/quicktime video/x-matroska video/webm"
pictures=$(echo $pictures)
for m in $pictures; do
  case ";$(field MimeType)" in *";$m;"*) ;; *) fail "MimeType lacks $m" ;; esac
done
for m in $(field MimeType | tr ';' ' '); do
  case " $pictures " in *" $m "*) ;; *) fail "MimeType claims $m, which is no picture kind the program shows" ;; esac
done
for m in text/plain text/html message/rfc822 inode/directory video/x-msvideo image/x-icon image/x-emf image/x-wmf; do
  case ";$(field MimeType)" in *";$m;"*) fail "MimeType claims $m" ;; esac
done
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "desktop-file-validate"
else
  echo "SKIP: desktop-file-validate is not installed; the entry was not validated"
fi

# The icon: an SVG, and a PNG of 256 x 256 pixels with an alpha channel.
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/sorrelquint.svg" || fail "the SVG icon is not SVG"
png="$root/share/icons/hicolor/256x256/apps/sorrelquint.png"
[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the PNG icon is not PNG"
size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
[ "$size" = 256x256 ] || fail "the PNG icon is $size"
colour=$(od -An -tu1 -j25 -N1 "$png" | tr -d ' ')
[ "$colour" = 6 ] || fail "the PNG icon has no alpha channel (colour type $colour)"
# The package's dependencies: xdg-open runs "open with its program" and
# "open in the file manager".
config="$build/CPackConfig.cmake"
[ -f "$config" ] || fail "no CPackConfig.cmake in $build"
depends=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$config")
[ -n "$depends" ] || fail "the package names no dependencies"
case ", $depends," in *", xdg-utils,"*) ;; *) fail "the package does not depend on xdg-utils: $depends" ;; esac
# A Wayland session without XWayland needs Qt's Wayland plugin.
case ", $depends," in *", qt6-wayland,"*) ;; *) fail "the package does not depend on qt6-wayland: $depends" ;; esac

echo "ok: $(echo "$expected" | wc -l) files installed under a DESTDIR, options and desktop entry checked, icon $size"
