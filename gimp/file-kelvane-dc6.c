/* file-kelvane-dc6: opens DC6 sprites in GIMP 2.10 and exports them back.
 *
 * Open gives an indexed image with the sprite's palette and one layer per
 * frame, "frame N", the bottom layer being frame 0 (GIMP's own order for
 * animations); Export writes the layers back in the same order.
 *
 * What an image cannot hold rides as persistent parasites, so XCF keeps it:
 *   image "kelvane-dc6-sprite"    the file header's kept fields, terminator,
 *                                 layout and canvas origin (sprite_parasite)
 *   image "kelvane-dc6-original"  the bytes of the file opened, whose indices
 *                                 the writer keeps where palette entries
 *                                 share a colour
 *   layer "kelvane-dc6-frame"     the frame's kept header fields and the
 *                                 offsets it was opened with
 *
 * The palette: the file named by the environment variable KELVANE_PALETTE,
 * else by the gimprc setting (kelvane-dc6-palette "FILE"), else the built-in
 * one. */
#include <libgimp/gimp.h>
#include <string.h>

#include "sprite_io.h"

#define LOAD_PROC "file-kelvane-dc6-load"
#define SAVE_PROC "file-kelvane-dc6-save"
#define PLUG_IN_BINARY "file-kelvane-dc6"
#define SPRITE_PARASITE "kelvane-dc6-sprite"
#define ORIGINAL_PARASITE "kelvane-dc6-original"
#define FRAME_PARASITE "kelvane-dc6-frame"
#define PARASITE_VERSION 1u

/* Parasite contents, little-endian 32-bit words. */
enum { SPRITE_WORDS = 9, FRAME_WORDS = 6 };

static void query(void);
static void run(const gchar* name, gint nparams, const GimpParam* param, gint* nreturn_vals, GimpParam** return_vals);

const GimpPlugInInfo PLUG_IN_INFO = {NULL, NULL, query, run};

MAIN()

static void query(void) {
    static const GimpParamDef load_args[] = {
        {GIMP_PDB_INT32, "run-mode", "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }"},
        {GIMP_PDB_STRING, "filename", "The name of the file to load"},
        {GIMP_PDB_STRING, "raw-filename", "The name entered"}};
    static const GimpParamDef load_values[] = {{GIMP_PDB_IMAGE, "image", "Output image"}};
    static const GimpParamDef save_args[] = {
        {GIMP_PDB_INT32, "run-mode", "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }"},
        {GIMP_PDB_IMAGE, "image", "Image to export"},
        {GIMP_PDB_DRAWABLE, "drawable", "Drawable to export (every layer is a frame)"},
        {GIMP_PDB_STRING, "filename", "The name of the file to export the image in"},
        {GIMP_PDB_STRING, "raw-filename", "The name entered"}};

    gimp_install_procedure(LOAD_PROC, "Opens DC6 sprites", "Opens a DC6 sprite, one layer per frame",
                           "Kelvane Converter", "Kelvane Converter", "2026", "DC6 sprite", NULL, GIMP_PLUGIN,
                           G_N_ELEMENTS(load_args), G_N_ELEMENTS(load_values), load_args, load_values);
    gimp_register_file_handler_mime(LOAD_PROC, "image/x-dc6");
    gimp_register_magic_load_handler(LOAD_PROC, "dc6", "", "0,string,\\006\\000\\000\\000");

    gimp_install_procedure(SAVE_PROC, "Exports DC6 sprites",
                           "Exports each layer as a frame of a DC6 sprite, the bottom layer first", "Kelvane Converter",
                           "Kelvane Converter", "2026", "DC6 sprite", "INDEXED*, RGB*", GIMP_PLUGIN,
                           G_N_ELEMENTS(save_args), 0, save_args, NULL);
    gimp_register_file_handler_mime(SAVE_PROC, "image/x-dc6");
    gimp_register_save_handler(SAVE_PROC, "dc6", "");
}

static void put_word(guint8* p, guint32 v) {
    p[0] = (guint8)v;
    p[1] = (guint8)(v >> 8);
    p[2] = (guint8)(v >> 16);
    p[3] = (guint8)(v >> 24);
}

static guint32 get_word(const guint8* p) {
    return (guint32)p[0] | (guint32)p[1] << 8 | (guint32)p[2] << 16 | (guint32)p[3] << 24;
}

static void attach_image_parasite(gint32 image, const char* name, gsize size, gconstpointer data) {
    GimpParasite* parasite = gimp_parasite_new(name, GIMP_PARASITE_PERSISTENT, (guint32)size, data);
    gimp_image_attach_parasite(image, parasite);
    gimp_parasite_free(parasite);
}

static void notice_to_message(const char* text, void* context) {
    (void)context;
    g_message("%s", text);
}

/* The palette file named by the environment or gimprc, or null. */
static gchar* palette_setting(void) {
    const char* env = g_getenv("KELVANE_PALETTE");
    if (env != NULL && env[0] != '\0') return g_strdup(env);
    gchar* value = gimp_gimprc_query("kelvane-dc6-palette");
    if (value != NULL && value[0] == '\0') {
        g_free(value);
        value = NULL;
    }
    return value;
}

static gboolean load_palette(guint8 palette[768], GError** error) {
    char reason[512];
    gchar* path = palette_setting();
    int rc = sprite_palette(path, palette, reason, sizeof reason);
    g_free(path);
    if (rc != 0) {
        g_set_error(error, G_FILE_ERROR, G_FILE_ERROR_FAILED, "%s", reason);
        return FALSE;
    }
    return TRUE;
}

static gboolean any_transparent(const SpriteFrame* frame) {
    gsize n = (gsize)frame->width * (gsize)frame->height;
    for (gsize i = 0; i < n; i++)
        if (!frame->opaque[i]) return TRUE;
    return FALSE;
}

static gint32 add_frame_layer(gint32 image, const SpriteImage* sprite, size_t index) {
    const SpriteFrame* frame = &sprite->frames[index];
    gboolean alpha = any_transparent(frame);
    gchar* name = g_strdup_printf("frame %u", (unsigned)index);
    /* A frame of no pixels still needs a layer to keep its place in the order. */
    gint width = frame->width > 0 ? frame->width : 1;
    gint height = frame->height > 0 ? frame->height : 1;
    gint32 layer = gimp_layer_new(image, name, width, height, alpha ? GIMP_INDEXEDA_IMAGE : GIMP_INDEXED_IMAGE, 100.0,
                                  gimp_image_get_default_new_layer_mode(image));
    g_free(name);
    gimp_image_insert_layer(image, layer, 0, 0); /* on top: frame 0 ends at the bottom */
    gimp_layer_set_offsets(layer, frame->place_x, frame->place_y);

    if (frame->width > 0 && frame->height > 0) {
        gsize n = (gsize)frame->width * (gsize)frame->height;
        gsize channels = alpha ? 2 : 1;
        guint8* pixels = g_malloc(n * channels);
        for (gsize i = 0; i < n; i++) {
            pixels[i * channels] = frame->indices[i];
            if (alpha) pixels[i * channels + 1] = frame->opaque[i] ? 255 : 0;
        }
        GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
        gegl_buffer_set(buffer, GEGL_RECTANGLE(0, 0, frame->width, frame->height), 0, gimp_drawable_get_format(layer),
                        pixels, GEGL_AUTO_ROWSTRIDE);
        g_object_unref(buffer);
        g_free(pixels);
    } else {
        gimp_layer_add_alpha(layer);
        gimp_drawable_fill(layer, GIMP_FILL_TRANSPARENT);
    }

    guint8 words[FRAME_WORDS * 4];
    put_word(words, PARASITE_VERSION);
    put_word(words + 4, frame->kept[0]);
    put_word(words + 8, frame->kept[1]);
    put_word(words + 12, frame->kept[2]);
    put_word(words + 16, (guint32)frame->x_offset);
    put_word(words + 20, (guint32)frame->y_offset);
    GimpParasite* parasite = gimp_parasite_new(FRAME_PARASITE, GIMP_PARASITE_PERSISTENT, sizeof words, words);
    gimp_item_attach_parasite(layer, parasite);
    gimp_parasite_free(parasite);
    return layer;
}

static gint32 load_image(const gchar* filename, GError** error) {
    gchar* bytes = NULL;
    gsize size = 0;
    if (!g_file_get_contents(filename, &bytes, &size, error)) return -1;

    guint8 palette[768];
    if (!load_palette(palette, error)) {
        g_free(bytes);
        return -1;
    }
    SpriteImage sprite;
    char reason[512];
    if (sprite_read((const uint8_t*)bytes, size, &sprite, notice_to_message, NULL, reason, sizeof reason) != 0) {
        g_set_error(error, G_FILE_ERROR, G_FILE_ERROR_FAILED, "%s: %s", gimp_filename_to_utf8(filename), reason);
        g_free(bytes);
        return -1;
    }

    gint width = sprite.picture_width > 0 ? sprite.picture_width : 1;
    gint height = sprite.picture_height > 0 ? sprite.picture_height : 1;
    gint32 image = gimp_image_new(width, height, GIMP_INDEXED);
    gimp_image_set_filename(image, filename);
    gimp_image_set_colormap(image, palette, 256);
    for (size_t i = 0; i < sprite.frame_count; i++) add_frame_layer(image, &sprite, i);

    guint8 words[SPRITE_WORDS * 4];
    put_word(words, PARASITE_VERSION);
    put_word(words + 4, sprite.kept[0]);
    put_word(words + 8, sprite.kept[1]);
    put_word(words + 12, sprite.kept[2]);
    memcpy(words + 16, sprite.terminator, 4);
    put_word(words + 20, (guint32)sprite.layout);
    put_word(words + 24, (guint32)sprite.origin_x);
    put_word(words + 28, (guint32)sprite.origin_y);
    put_word(words + 32, (guint32)sprite.frame_count);
    attach_image_parasite(image, SPRITE_PARASITE, sizeof words, words);
    attach_image_parasite(image, ORIGINAL_PARASITE, size, bytes);

    sprite_free_image(&sprite);
    g_free(bytes);
    return image;
}

/* Reads a layer's pixels as indices and mask: directly from an indexed
 * image, through the packer's colour rules from an RGB one. */
static gboolean read_layer(gint32 image, gint32 layer, SpriteFrame* frame) {
    gint width = gimp_drawable_width(layer);
    gint height = gimp_drawable_height(layer);
    gsize n = (gsize)width * (gsize)height;
    frame->width = width;
    frame->height = height;
    frame->indices = g_malloc(n > 0 ? n : 1);
    frame->opaque = g_malloc(n > 0 ? n : 1);
    GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
    if (gimp_image_base_type(image) == GIMP_INDEXED) {
        gboolean alpha = gimp_drawable_has_alpha(layer);
        gsize channels = alpha ? 2 : 1;
        guint8* pixels = g_malloc(n * channels + 1);
        gegl_buffer_get(buffer, GEGL_RECTANGLE(0, 0, width, height), 1.0, gimp_drawable_get_format(layer), pixels,
                        GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        for (gsize i = 0; i < n; i++) {
            frame->indices[i] = pixels[i * channels];
            frame->opaque[i] = (guint8)(!alpha || pixels[i * channels + 1] != 0);
        }
        g_free(pixels);
    } else {
        /* The packer maps colours to indices and refuses one the palette lacks. */
        frame->rgba = g_malloc(n * 4 + 1);
        gegl_buffer_get(buffer, GEGL_RECTANGLE(0, 0, width, height), 1.0, babl_format("R'G'B'A u8"), frame->rgba,
                        GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        g_free(frame->indices);
        g_free(frame->opaque);
        frame->indices = NULL;
        frame->opaque = NULL;
    }
    g_object_unref(buffer);

    GimpParasite* parasite = gimp_item_get_parasite(layer, FRAME_PARASITE);
    if (parasite != NULL && gimp_parasite_data_size(parasite) >= FRAME_WORDS * 4 &&
        get_word(gimp_parasite_data(parasite)) == PARASITE_VERSION) {
        const guint8* w = gimp_parasite_data(parasite);
        for (int k = 0; k < 3; k++) frame->kept[k] = get_word(w + 4 + 4 * k);
        /* The offsets it was opened with: a stitched sprite's frames keep them. */
        frame->x_offset = (gint32)get_word(w + 16);
        frame->y_offset = (gint32)get_word(w + 20);
    }
    if (parasite != NULL) gimp_parasite_free(parasite);
    return TRUE;
}

static gboolean save_image(const gchar* filename, gint32 image, GError** error) {
    SpriteImage sprite;
    memset(&sprite, 0, sizeof sprite);
    memset(sprite.terminator, 0xEE, sizeof sprite.terminator);
    sprite.layout = SPRITE_LAYOUT_SEPARATE;

    GimpParasite* parasite = gimp_image_get_parasite(image, SPRITE_PARASITE);
    if (parasite != NULL && gimp_parasite_data_size(parasite) >= SPRITE_WORDS * 4 &&
        get_word(gimp_parasite_data(parasite)) == PARASITE_VERSION) {
        const guint8* w = gimp_parasite_data(parasite);
        for (int k = 0; k < 3; k++) sprite.kept[k] = get_word(w + 4 + 4 * k);
        memcpy(sprite.terminator, w + 16, 4);
        sprite.layout = get_word(w + 20) == SPRITE_LAYOUT_STITCHED ? SPRITE_LAYOUT_STITCHED : SPRITE_LAYOUT_SEPARATE;
        sprite.origin_x = (gint32)get_word(w + 24);
        sprite.origin_y = (gint32)get_word(w + 28);
    }
    if (parasite != NULL) gimp_parasite_free(parasite);

    guint8 palette[768];
    memset(palette, 0, sizeof palette);
    if (gimp_image_base_type(image) == GIMP_INDEXED) {
        gint colours = 0;
        guchar* map = gimp_image_get_colormap(image, &colours);
        if (map != NULL) memcpy(palette, map, (gsize)MIN(colours, 256) * 3);
        g_free(map);
    } else if (!load_palette(palette, error)) {
        return FALSE;
    }

    gint count = 0;
    gint* layers = gimp_image_get_layers(image, &count);
    gboolean ok = TRUE;
    sprite.frame_count = (size_t)count;
    sprite.frames = g_new0(SpriteFrame, count > 0 ? (gsize)count : 1u);
    sprite.picture_width = gimp_image_width(image);
    sprite.picture_height = gimp_image_height(image);
    for (gint i = 0; i < count && ok; i++) {
        /* GIMP lists the top layer first; the bottom one is frame 0. */
        gint32 layer = layers[count - 1 - i];
        SpriteFrame* frame = &sprite.frames[i];
        gint x = 0, y = 0;
        gimp_drawable_offsets(layer, &x, &y);
        frame->place_x = x;
        frame->place_y = y;
        ok = read_layer(image, layer, frame);
    }
    g_free(layers);

    guint8* original = NULL;
    gsize original_size = 0;
    GimpParasite* kept = gimp_image_get_parasite(image, ORIGINAL_PARASITE);
    if (kept != NULL) {
        original = (guint8*)gimp_parasite_data(kept);
        original_size = (gsize)gimp_parasite_data_size(kept);
    }
    if (ok) {
        uint8_t* bytes = NULL;
        size_t size = 0;
        char reason[512];
        if (sprite_write(&sprite, palette, original, original_size, notice_to_message, NULL, &bytes, &size, reason,
                         sizeof reason) != 0) {
            g_set_error(error, G_FILE_ERROR, G_FILE_ERROR_FAILED, "%s", reason);
            ok = FALSE;
        } else {
            ok = g_file_set_contents(filename, (const gchar*)bytes, (gssize)size, error);
            sprite_free_bytes(bytes);
        }
    }
    if (kept != NULL) gimp_parasite_free(kept);
    for (size_t i = 0; i < sprite.frame_count; i++) {
        g_free(sprite.frames[i].indices);
        g_free(sprite.frames[i].opaque);
        g_free(sprite.frames[i].rgba);
    }
    g_free(sprite.frames);
    return ok;
}

static void run(const gchar* name, gint nparams, const GimpParam* param, gint* nreturn_vals, GimpParam** return_vals) {
    static GimpParam values[2];
    GError* error = NULL;
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;

    gegl_init(NULL, NULL);
    *nreturn_vals = 1;
    *return_vals = values;
    values[0].type = GIMP_PDB_STATUS;

    if (strcmp(name, LOAD_PROC) == 0 && nparams >= 2) {
        gint32 image = load_image(param[1].data.d_string, &error);
        if (image != -1) {
            *nreturn_vals = 2;
            values[1].type = GIMP_PDB_IMAGE;
            values[1].data.d_image = image;
        } else {
            status = GIMP_PDB_EXECUTION_ERROR;
        }
    } else if (strcmp(name, SAVE_PROC) == 0 && nparams >= 4) {
        if (!save_image(param[3].data.d_string, param[1].data.d_int32, &error)) status = GIMP_PDB_EXECUTION_ERROR;
    } else {
        status = GIMP_PDB_CALLING_ERROR;
    }

    if (status != GIMP_PDB_SUCCESS && error != NULL) {
        *nreturn_vals = 2;
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = error->message; /* GIMP shows it in its message */
    }
    values[0].data.d_status = status;
}
