/* The C interface from C: a sprite packed from frames reads back as given,
 * and a sprite the tools refuse is refused with their reason. */
#include <stdio.h>
#include <string.h>

#include "capi/kelvane.h"

static int failures = 0;
#define CHECK(c)                                                    \
    do {                                                            \
        if (!(c)) {                                                 \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); \
            ++failures;                                             \
        }                                                           \
    } while (0)

int main(void) {
    const uint8_t indices[6] = {1, 2, 3, 200, 0, 7};
    const uint8_t opaque[6] = {1, 1, 0, 1, 0, 1};
    kelvane_frame_in frame;
    memset(&frame, 0, sizeof frame);
    frame.width = 3;
    frame.height = 2;
    frame.x_offset = -4;
    frame.y_offset = 9;
    frame.header20to23 = 0xABCD;
    frame.indices = indices;
    frame.opaque = opaque;
    kelvane_sprite_in in;
    memset(&in, 0, sizeof in);
    memset(in.terminator, 0xEE, 4);
    in.header8to11 = 77;
    in.frame_count = 1;
    in.frames = &frame;
    uint8_t* bytes = NULL;
    size_t size = 0;
    char* reason = NULL;
    CHECK(kelvane_write(&in, NULL, NULL, &bytes, &size, &reason) == 1);
    kelvane_sprite* sprite = kelvane_read(bytes, size, NULL, NULL, &reason);
    CHECK(sprite != NULL && sprite->frame_count == 1 && sprite->header8to11 == 77);
    if (sprite != NULL) {
        const kelvane_frame* f = &sprite->frames[0];
        CHECK(f->decoded && f->width == 3 && f->height == 2 && f->x_offset == -4 && f->y_offset == 9);
        CHECK(f->header20to23 == 0xABCD);
        for (int i = 0; i < 6; ++i) {
            CHECK(f->opaque[i] == opaque[i]);
            CHECK(f->indices[i] == (opaque[i] ? indices[i] : sprite->terminator[3]));
        }
    }
    kelvane_sprite_free(sprite);
    bytes[0] = 5; /* version 5 */
    CHECK(kelvane_read(bytes, size, NULL, NULL, &reason) == NULL);
    CHECK(reason != NULL && strstr(reason, "version 6") != NULL);
    kelvane_string_free(reason);
    kelvane_bytes_free(bytes);
    return failures == 0 ? 0 : 1;
}
