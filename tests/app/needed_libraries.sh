#!/usr/bin/env bash
# The program loads FFmpeg only when a video is met, and the photograph,
# mail and metafile readers (its formats module) only when such a file is:
# neither the program nor any library it loads at start may need those
# libraries, whose loading and initialisers (and FFmpeg's own dependencies:
# codecs, network, GPU) would slow every start.
#   needed_libraries.sh PROGRAM
set -u
program=$1
command -v ldd >/dev/null || { echo "SKIP: ldd is missing"; exit 77; }
libs=$(ldd "$program") || { echo "ldd failed on $program"; exit 1; }
found=$(printf '%s\n' "$libs" | grep -E 'lib(avcodec|avformat|avutil|swscale|swresample|heif|jxl|raw_r|raw|gmime-3\.0|emf2svg|uemf|Qt6Svg)\.so' || true)
if [ -n "$found" ]; then
  echo "loaded at start:"
  printf '%s\n' "$found"
  exit 1
fi
echo "$(printf '%s\n' "$libs" | wc -l) libraries at start, no FFmpeg and no format library"
