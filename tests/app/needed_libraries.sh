#!/usr/bin/env bash
# The program loads FFmpeg only when a video is met: neither the program nor
# any library it loads at start may need FFmpeg's libraries, whose own
# dependencies (codecs, network, GPU) would be loaded at every start.
#   needed_libraries.sh PROGRAM
set -u
program=$1
command -v ldd >/dev/null || { echo "SKIP: ldd is missing"; exit 77; }
libs=$(ldd "$program") || { echo "ldd failed on $program"; exit 1; }
found=$(printf '%s\n' "$libs" | grep -E 'lib(avcodec|avformat|avutil|swscale|swresample)\.so' || true)
if [ -n "$found" ]; then
  echo "loaded at start:"
  printf '%s\n' "$found"
  exit 1
fi
echo "$(printf '%s\n' "$libs" | wc -l) libraries at start, no FFmpeg"
