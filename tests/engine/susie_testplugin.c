/* A Susie plug-in of the tests. It accepts files starting with the magic
 * (SQPX, or what SQ_MAGIC says) followed by width, height (32-bit LE), bit
 * count (24 or 8) and a mode: 0 normal bottom-up, 1 top-down, 2 pixel block
 * far too small, 3 refuse with code 2. Pixel (x, y) is (10x, 10y, 77); in
 * 8 bits palette entry (x + y) % 4 is that colour of x = y = entry. The
 * preview is always 2 x 2 of (1, 2, 3). */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef SQ_MAGIC
#define SQ_MAGIC "SQPX"
#endif

static uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

int IsSupported(const char* name, void* head)
{
    (void)name;
    return memcmp(head, SQ_MAGIC, 4) == 0;
}

static void put32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

static int make(int w, int h, int bits, int mode, void** info, void** pixels)
{
    int colours = bits == 8 ? 4 : 0;
    unsigned char* bi = calloc(1, 40 + 4 * colours);
    put32(bi, 40);
    put32(bi + 4, (uint32_t)w);
    put32(bi + 8, (uint32_t)(mode == 1 ? -h : h));
    bi[12] = 1;
    bi[14] = (unsigned char)bits;
    put32(bi + 32, (uint32_t)colours);
    for (int i = 0; i < colours; ++i) {
        bi[40 + 4 * i] = 77;
        bi[40 + 4 * i + 1] = (unsigned char)(10 * i);
        bi[40 + 4 * i + 2] = (unsigned char)(10 * i);
    }
    int stride = (bits * w + 31) / 32 * 4;
    unsigned char* px = calloc(1, mode == 2 ? 1 : (size_t)stride * h);
    for (int y = 0; mode != 2 && y < h; ++y) {
        unsigned char* row = px + stride * (mode == 1 ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            if (bits == 8) {
                row[x] = (unsigned char)((x + y) % 4);
            } else {
                row[3 * x] = 77;
                row[3 * x + 1] = (unsigned char)(10 * y);
                row[3 * x + 2] = (unsigned char)(10 * x);
            }
        }
    }
    *info = bi;
    *pixels = px;
    return 0;
}

int GetPicture(const char* source, long offset, unsigned int flags, void** info, void** bits,
               void* progress, long data)
{
    (void)offset; (void)flags; (void)progress; (void)data;
    unsigned char head[14];
    FILE* f = fopen(source, "rb");
    if (!f)
        return 6;
    size_t n = fread(head, 1, sizeof head, f);
    fclose(f);
    if (n < 14 || memcmp(head, SQ_MAGIC, 4) != 0)
        return 2;
    if (head[13] == 3)
        return 2;
    return make((int)le32(head + 4), (int)le32(head + 8), head[12], head[13], info, bits);
}

int GetPreview(const char* source, long offset, unsigned int flags, void** info, void** bits,
               void* progress, long data)
{
    (void)source; (void)offset; (void)flags; (void)progress; (void)data;
    make(2, 2, 24, 0, info, bits);
    unsigned char* px = *bits;
    for (int i = 0; i < 2; ++i) {
        unsigned char* row = px + 8 * i;
        row[0] = row[3] = 3;
        row[1] = row[4] = 2;
        row[2] = row[5] = 1;
    }
    return 0;
}
