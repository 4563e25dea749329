/* What the GIMP plug-in needs of a sprite file: the frames as index rows with
 * an opaque mask, the fields an image cannot hold, and the writer. The
 * functions are implemented on the converter's C library, so that GIMP reads
 * and writes sprites by exactly the tools' rules. */
#ifndef KELVANE_GIMP_SPRITE_IO_H
#define KELVANE_GIMP_SPRITE_IO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum { SPRITE_LAYOUT_SEPARATE = 0, SPRITE_LAYOUT_STITCHED = 1 } SpriteLayout;

typedef struct {
    int32_t width;
    int32_t height;
    int32_t x_offset; /* the offsets the file gives */
    int32_t y_offset;
    int32_t place_x; /* top-left corner in the picture (canvas or stitched) */
    int32_t place_y;
    uint32_t kept[3]; /* frame header bytes 0..3, 20..23, 24..27 */
    uint8_t* indices; /* width * height, rows top first */
    uint8_t* opaque;  /* width * height, 1 where the sprite draws the pixel */
    uint8_t* rgba;    /* instead of indices: 4 bytes a pixel, mapped by colour */
} SpriteFrame;

typedef struct {
    uint32_t kept[3];      /* file header bytes 4..7, 8..11, 16..19 */
    uint8_t terminator[4]; /* file header bytes 12..15 */
    SpriteLayout layout;
    int32_t picture_width; /* the animation canvas or the stitched picture */
    int32_t picture_height;
    int32_t origin_x; /* canvas position of offset (0, 0), separate sprites */
    int32_t origin_y;
    size_t frame_count;
    SpriteFrame* frames;
} SpriteImage;

/* Receives each notice's text, as the tools print it. */
typedef void (*SpriteNoticeFn)(const char* text, void* context);

/* Reads size bytes. Returns 0 and fills image, or -1 with the refusal's
 * reason in reason (reason_size bytes, always terminated). */
int sprite_read(const uint8_t* bytes, size_t size, SpriteImage* image, SpriteNoticeFn notice, void* context,
                char* reason, size_t reason_size);

/* Writes image by the packer's rules, palette (768 bytes) being the
 * sprite's, into a buffer the caller frees with sprite_free_bytes. original
 * (may be null) is the file the image was opened from, whose indices win
 * where two palette entries share a colour. The packer's notices go to
 * notice (may be null). */
int sprite_write(const SpriteImage* image, const uint8_t* palette, const uint8_t* original, size_t original_size,
                 SpriteNoticeFn notice, void* context, uint8_t** bytes, size_t* size, char* reason, size_t reason_size);

/* The built-in palette, or the palette file at path (any format the
 * converter's -p reads). */
int sprite_palette(const char* path, uint8_t palette[768], char* reason, size_t reason_size);

void sprite_free_image(SpriteImage* image);
void sprite_free_bytes(uint8_t* bytes);

#ifdef __cplusplus
}
#endif

#endif
