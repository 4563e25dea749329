/* The plug-in's sprite functions on the converter's C library. */
#include "sprite_io.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capi/kelvane.h"

static void set_reason(char* reason, size_t reason_size, char* text) {
    if (reason != NULL && reason_size > 0) snprintf(reason, reason_size, "%s", text ? text : "");
    kelvane_string_free(text);
}

typedef struct {
    SpriteNoticeFn fn;
    void* context;
} NoticeRelay;

static void relay_notice(void* context, int32_t frame, const char* text) {
    NoticeRelay* relay = context;
    char line[1024];
    if (frame >= 0)
        snprintf(line, sizeof line, "frame %d: %s", (int)frame, text);
    else
        snprintf(line, sizeof line, "%s", text);
    if (relay->fn != NULL) relay->fn(line, relay->context);
}

int sprite_read(const uint8_t* bytes, size_t size, SpriteImage* image, SpriteNoticeFn notice, void* context,
                char* reason, size_t reason_size) {
    memset(image, 0, sizeof *image);
    NoticeRelay relay = {notice, context};
    char* why = NULL;
    kelvane_sprite* sprite = kelvane_read(bytes, size, relay_notice, &relay, &why);
    if (sprite == NULL) {
        set_reason(reason, reason_size, why);
        return -1;
    }
    image->kept[0] = sprite->header4to7;
    image->kept[1] = sprite->header8to11;
    image->kept[2] = sprite->header16to19;
    memcpy(image->terminator, sprite->terminator, 4);
    /* A stitched picture that would cut a frame is shown as the converter
     * writes it then: frames one by one, on the animation canvas. */
    int separate = sprite->separate || sprite->stitched_cuts;
    image->layout = separate ? SPRITE_LAYOUT_SEPARATE : SPRITE_LAYOUT_STITCHED;
    int64_t width = separate ? sprite->canvas_width : sprite->stitched_width;
    int64_t height = separate ? sprite->canvas_height : sprite->stitched_height;
    if (width < 1 || height < 1 || width > 262144 || height > 262144) {
        kelvane_sprite_free(sprite);
        snprintf(reason, reason_size, "the sprite's picture is too large to open");
        return -1;
    }
    image->picture_width = (int32_t)width;
    image->picture_height = (int32_t)height;
    image->origin_x = separate ? (int32_t)-sprite->canvas_x : 0;
    image->origin_y = separate ? (int32_t)-sprite->canvas_y : 0;
    image->frame_count = (size_t)sprite->frame_count;
    image->frames = calloc(image->frame_count, sizeof *image->frames);
    if (image->frames == NULL) {
        kelvane_sprite_free(sprite);
        snprintf(reason, reason_size, "out of memory");
        return -1;
    }
    for (size_t i = 0; i < image->frame_count; i++) {
        const kelvane_frame* in = &sprite->frames[i];
        SpriteFrame* out = &image->frames[i];
        out->x_offset = in->x_offset;
        out->y_offset = in->y_offset;
        out->kept[0] = in->header0to3;
        out->kept[1] = in->header20to23;
        out->kept[2] = in->header24to27;
        out->place_x = separate ? in->x_offset + image->origin_x : (int32_t)in->place_x;
        out->place_y = separate ? in->y_offset + image->origin_y : (int32_t)in->place_y;
        if (!in->decoded || in->width < 1 || in->height < 1) continue; /* an empty layer */
        size_t n = (size_t)in->width * (size_t)in->height;
        out->indices = malloc(n);
        out->opaque = malloc(n);
        if (out->indices == NULL || out->opaque == NULL) {
            kelvane_sprite_free(sprite);
            sprite_free_image(image);
            snprintf(reason, reason_size, "out of memory");
            return -1;
        }
        out->width = in->width;
        out->height = in->height;
        memcpy(out->indices, in->indices, n);
        memcpy(out->opaque, in->opaque, n);
    }
    kelvane_sprite_free(sprite);
    return 0;
}

int sprite_write(const SpriteImage* image, const uint8_t* palette, const uint8_t* original, size_t original_size,
                 SpriteNoticeFn notice, void* context, uint8_t** bytes, size_t* size, char* reason,
                 size_t reason_size) {
    kelvane_frame_in* frames = calloc(image->frame_count ? image->frame_count : 1, sizeof *frames);
    if (frames == NULL) {
        snprintf(reason, reason_size, "out of memory");
        return -1;
    }
    for (size_t i = 0; i < image->frame_count; i++) {
        const SpriteFrame* in = &image->frames[i];
        kelvane_frame_in* out = &frames[i];
        out->width = in->width;
        out->height = in->height;
        if (image->layout == SPRITE_LAYOUT_SEPARATE) {
            out->x_offset = in->place_x - image->origin_x;
            out->y_offset = in->place_y - image->origin_y;
        } else {
            out->x_offset = in->x_offset;
            out->y_offset = in->y_offset;
        }
        out->header0to3 = in->kept[0];
        out->header20to23 = in->kept[1];
        out->header24to27 = in->kept[2];
        out->indices = in->indices;
        out->opaque = in->opaque;
        out->rgba = in->rgba;
    }
    kelvane_sprite_in sprite;
    memset(&sprite, 0, sizeof sprite);
    sprite.header4to7 = image->kept[0];
    sprite.header8to11 = image->kept[1];
    sprite.header16to19 = image->kept[2];
    memcpy(sprite.terminator, image->terminator, 4);
    sprite.frame_count = (int32_t)image->frame_count;
    sprite.frames = frames;
    sprite.palette = palette;
    sprite.original = original;
    sprite.original_size = original_size;
    char* why = NULL;
    NoticeRelay relay = {notice, context};
    int ok = kelvane_write(&sprite, relay_notice, &relay, bytes, size, &why);
    free(frames);
    if (!ok) {
        set_reason(reason, reason_size, why);
        return -1;
    }
    return 0;
}

int sprite_palette(const char* path, uint8_t palette[768], char* reason, size_t reason_size) {
    if (path == NULL) {
        kelvane_builtin_palette(palette);
        return 0;
    }
    char* why = NULL;
    if (kelvane_read_palette_file(path, palette, &why) == 0) {
        char text[1024];
        snprintf(text, sizeof text, "%s: %s", path, why ? why : "");
        kelvane_string_free(why);
        snprintf(reason, reason_size, "%s", text);
        return -1;
    }
    return 0;
}

void sprite_free_image(SpriteImage* image) {
    for (size_t i = 0; i < image->frame_count && image->frames != NULL; i++) {
        free(image->frames[i].indices);
        free(image->frames[i].opaque);
    }
    free(image->frames);
    image->frames = NULL;
    image->frame_count = 0;
}

void sprite_free_bytes(uint8_t* bytes) { kelvane_bytes_free(bytes); }
