"""A Pillow format for DC6 sprites: import kelvane.pillow, then Image.open / save.

Frames open as mode P with the palette `kelvane.pillow.palette` (768 bytes RGB;
the built-in palette unless set); info["offset"] is the frame's (x, y) offset,
info["transparency"] the sprite's fill index (pixels no run wrote).
im.save(..., save_all=True, append_images=[...]) packs the images as frames;
nearest=True takes the nearest colour for one the palette lacks.
"""
import warnings

from PIL import Image, ImageFile, ImagePalette

import kelvane

palette = None  # 768 bytes RGB for opened sprites; None: the built-in palette


def _accept(prefix):
    return prefix[:4] == b"\x06\x00\x00\x00"


class Dc6ImageFile(ImageFile.ImageFile):
    format = "DC6"
    format_description = "DC6 sprite"

    def _open(self):
        data = self.fp.read()
        try:
            self._sprite = kelvane.read(data)
        except kelvane.Error as error:
            raise SyntaxError(str(error))
        self._frames = [f for f in self._sprite.frames if f.decoded]
        if not self._frames:
            raise SyntaxError("no frame of the sprite can be decoded")
        self._n = 0
        try:
            self.mode = "P"
        except AttributeError:  # newer Pillow: the mode is read-only
            self._mode = "P"
        self._show(0)

    def _show(self, n):
        # The pixels are made when asked for (load), so that Pillow's own
        # size limit is checked before memory is taken for them.
        frame = self._frames[n]
        self._size = (frame.width, frame.height)
        self.info["offset"] = (frame.x_offset, frame.y_offset)
        self.info["transparency"] = self._sprite.terminator[3]
        self.tile = []
        self.im = None
        self._loaded = None
        self._rgb = bytes(palette) if palette is not None else kelvane.builtin_palette()
        self.palette = ImagePalette.ImagePalette("RGB", self._rgb)
        self.frame_opaque = frame.opaque

    @property
    def n_frames(self):
        return len(self._frames)

    @property
    def is_animated(self):
        return len(self._frames) > 1

    def seek(self, frame):
        if not 0 <= frame < len(self._frames):
            raise EOFError("no frame %d" % frame)
        # Image.open checks the first frame's size against Pillow's limit; the others are checked here.
        Image._decompression_bomb_check((self._frames[frame].width, self._frames[frame].height))
        self._n = frame
        self._show(frame)

    def tell(self):
        return self._n

    def load(self):
        if self._loaded != self._n:
            frame = self._frames[self._n]
            size = (frame.width, frame.height)
            img = Image.frombytes("P", size, frame.indices) if frame.width and frame.height else Image.new("P", size)
            img.putpalette(self._rgb)
            self.im = img.im
            self._loaded = self._n
        return Image.Image.load(self)


def _frame_of(im):
    offset = im.info.get("offset", (0, 0))
    if im.mode == "P":
        rgb = bytes(im.getpalette() or b"")
        rgb = rgb[:768]
        frame = kelvane.Frame(im.width, im.height, im.tobytes(), None, offset[0], offset[1])
        fill = im.info.get("transparency")
        if isinstance(fill, int):
            frame.opaque = bytes(0 if v == fill else 1 for v in frame.indices)
        frame.image_palette = rgb if rgb else None
        return frame
    rgba = im.convert("RGBA")
    frame = kelvane.Frame(im.width, im.height, b"", b"", offset[0], offset[1])
    frame.rgba = rgba.tobytes()
    return frame


def _save(im, fp, filename, save_all=False):
    # An opened sprite saved as it is keeps its frames' pixels exactly (an
    # opaque pixel of the fill index stays opaque); other images are packed
    # from what they show.
    if isinstance(im, Dc6ImageFile):
        frames = list(im._frames) if save_all else [im._frames[im.tell()]]
        original = im._sprite.original
        terminator = im._sprite.terminator
    else:
        frames = [_frame_of(im)]
        original = None
        terminator = b"\xee\xee\xee\xee"
    if save_all:
        frames += [_frame_of(i) for i in im.encoderinfo.get("append_images", [])]
    sprite = kelvane.Sprite(frames)
    sprite.terminator = bytes(im.encoderinfo.get("terminator", terminator))
    sprite.palette = im.encoderinfo.get("sprite_palette", palette)
    sprite.original = im.encoderinfo.get("original", original)
    sprite.nearest = bool(im.encoderinfo.get("nearest", False))
    fp.write(kelvane._write(sprite, "save with nearest=True"))


def _save_all(im, fp, filename):
    _save(im, fp, filename, save_all=True)


Image.register_open(Dc6ImageFile.format, Dc6ImageFile, _accept)
Image.register_save(Dc6ImageFile.format, _save)
Image.register_save_all(Dc6ImageFile.format, _save_all)
Image.register_extension(Dc6ImageFile.format, ".dc6")
