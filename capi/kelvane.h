/* Kelvane's core for other programs: reading DC6 sprites into frames of
 * palette indices, packing frames back into DC6 bytes, and the palettes the
 * tools use. Plain C; every function may be called from any thread, none
 * keeps state between calls. Everything returned is owned by the caller and
 * released with the matching kelvane_*_free function. */
#ifndef KELVANE_CAPI_H
#define KELVANE_CAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KELVANE_API __attribute__((visibility("default")))
#else
#define KELVANE_API
#endif

/* Called once per notice, in the order they arise: frame is the frame the
 * notice is about (-1: the whole sprite), text the line the command-line
 * tools print after the file's name (no question, no line break). */
typedef void (*kelvane_notice_fn)(void* context, int32_t frame, const char* text);

typedef struct kelvane_frame {
    int32_t width, height; /* as the frame header gives them */
    int32_t x_offset, y_offset;
    uint32_t header0to3, header20to23, header24to27; /* kept, not interpreted */
    /* 1 when the pixels were decoded; 0 when the frame header lies outside
     * the file or the frame is too large (a notice said so): indices and
     * opaque are then NULL. */
    int32_t decoded;
    /* width x height bytes each, rows top first: the palette index of every
     * pixel (the fill index terminator[3] where no literal run wrote), and 1
     * where a literal run wrote the pixel, 0 elsewhere. */
    uint8_t* indices;
    uint8_t* opaque;
    /* The frame's top-left pixel in the stitched picture. */
    int64_t place_x, place_y;
} kelvane_frame;

typedef struct kelvane_sprite {
    uint32_t header4to7, header8to11, header16to19; /* kept, not interpreted */
    uint8_t terminator[4];
    int32_t separate;    /* 1: some frame has a non-zero offset (frames are written one image each) */
    int32_t frame_count; /* 1..12 */
    kelvane_frame* frames;
    /* The stitched picture the converter draws; stitched_cuts is 1 when it
     * would cut a frame (the converter then writes one image per frame). */
    int64_t stitched_width, stitched_height;
    int32_t stitched_cuts;
    /* The animation canvas (--anim): the union of the frames with pixels,
     * placed by their offsets; 1 x 1 at 0, 0 when no frame has any. */
    int64_t canvas_x, canvas_y, canvas_width, canvas_height;
} kelvane_sprite;

/* Reads the size bytes at bytes as a DC6 sprite. Faults in coded data and
 * damaged frames (a frame header outside the file, a frame larger than the
 * tools' largest canvas) are notices through notice (which may be NULL);
 * the frames that can be decoded are. Returns NULL when the sprite is
 * refused (not version 6, a bad block count, a frame table outside the file,
 * a file of 4 GiB or more) or memory is short, with *reason (when reason is
 * not NULL) set to the tools' text, to be released with kelvane_string_free.
 * Every size is checked before memory is taken for it. */
KELVANE_API kelvane_sprite* kelvane_read(const uint8_t* bytes, size_t size, kelvane_notice_fn notice, void* context,
                                         char** reason);
KELVANE_API void kelvane_sprite_free(kelvane_sprite* sprite);
KELVANE_API void kelvane_string_free(char* text);

/* A frame to pack: width x height pixels given either as indices (with
 * opaque, NULL meaning every pixel opaque, and image_palette, NULL meaning
 * the indices are the sprite palette's) or as rgba (4 bytes a pixel, alpha
 * 0 transparent, 255 opaque, nothing between). */
typedef struct kelvane_frame_in {
    int32_t width, height; /* 0..65535 */
    int32_t x_offset, y_offset;
    uint32_t header0to3, header20to23, header24to27;
    const uint8_t* indices;
    const uint8_t* opaque;
    const uint8_t* image_palette; /* red, green, blue per entry */
    size_t image_palette_entries; /* 1..256 */
    const uint8_t* rgba;
} kelvane_frame_in;

typedef struct kelvane_sprite_in {
    uint32_t header4to7, header8to11, header16to19;
    uint8_t terminator[4];
    int32_t frame_count; /* 1..12 */
    const kelvane_frame_in* frames;
    const uint8_t* palette;  /* the sprite's palette, 768 bytes red, green, blue; NULL: the built-in one */
    const uint8_t* original; /* the sprite the frames came from, or NULL */
    size_t original_size;
    int32_t nearest; /* 1: a colour the palette lacks takes the nearest one */
    /* How the caller's user asks for that ("set the sprite's nearest to True"),
     * told with the refusal of a colour the palette lacks; NULL when the
     * caller offers no way, and the refusal says only to paint with the
     * palette's colours. */
    const char* nearest_advice;
} kelvane_sprite_in;

/* Packs the frames into DC6 bytes as kelvane-pack does: indices of an image
 * palette equal to the sprite's stay as they are, other pixels are mapped by
 * colour; a colour the palette holds at several indices takes the original
 * sprite's index at that pixel where the original shows it there, else the
 * lowest. Returns 1 with *out (release with kelvane_bytes_free) and
 * *out_size; 0 with *reason (release with kelvane_string_free) when the
 * sprite cannot be packed (a colour not in the palette, a partly transparent
 * pixel, a frame that cannot be coded with the terminator, bad sizes).
 * A sprite packed gives kelvane-pack's notices of the pixels that did not
 * come out as given (the lowest of several indices of their colour, the
 * nearest colour, the original's index) through notice (may be NULL), with
 * frame -1. */
KELVANE_API int kelvane_write(const kelvane_sprite_in* sprite, kelvane_notice_fn notice, void* context, uint8_t** out,
                              size_t* out_size, char** reason);
KELVANE_API void kelvane_bytes_free(uint8_t* bytes);

/* Fills rgb with the built-in palette, 256 x red, green, blue. */
KELVANE_API void kelvane_builtin_palette(uint8_t rgb[768]);

/* Reads a palette file of any format kelvane-convert's -p takes into rgb
 * (red, green, blue; fewer than 256 colours padded with black). Returns the
 * number of colours the file held, or 0 with *reason (release with
 * kelvane_string_free): a phrase that follows the file's name. */
KELVANE_API int kelvane_read_palette_file(const char* path, uint8_t rgb[768], char** reason);

#ifdef __cplusplus
}
#endif

#endif
