#!/usr/bin/env python3
# Copies the JPEGs of a folder into another with an Exif APP1 segment put
# right after SOI carrying the given Orientation (default 6, the usual tag of
# a portrait photograph), for timing the upright turn with bench_thumbs:
#   bench/tag_orientation.py /tmp/bench/corpus/2mp /tmp/bench/tagged/2mp 6
import os
import struct
import sys


def payload(orientation):
    tiff = b'II' + struct.pack('<HI', 42, 8) + struct.pack('<H', 2)
    tiff += struct.pack('<HHI', 0x010F, 2, 4) + b'Cam\0'
    tiff += struct.pack('<HHIHH', 0x0112, 3, 1, orientation, 0)
    tiff += struct.pack('<I', 0)
    return b'Exif\0\0' + tiff


def main():
    src, dst = sys.argv[1], sys.argv[2]
    orientation = int(sys.argv[3]) if len(sys.argv) > 3 else 6
    os.makedirs(dst, exist_ok=True)
    seg = payload(orientation)
    app1 = b'\xff\xe1' + struct.pack('>H', len(seg) + 2) + seg
    for name in sorted(os.listdir(src)):
        if not name.lower().endswith('.jpg'):
            continue
        data = open(os.path.join(src, name), 'rb').read()
        if data[:2] != b'\xff\xd8':
            continue
        with open(os.path.join(dst, name), 'wb') as f:
            f.write(data[:2] + app1 + data[2:])


if __name__ == '__main__':
    main()
