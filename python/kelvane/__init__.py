"""DC6 sprites in Python, on the converter's own core (libkelvane-core, by ctypes).

kelvane.read(path_or_bytes) -> Sprite; kelvane.write(sprite) -> bytes.
Notices come as kelvane.Notice warnings, refusals as kelvane.Error.
"""
import ctypes
import os
import warnings

__all__ = ["Error", "Notice", "Frame", "Sprite", "read", "write", "builtin_palette", "read_palette_file"]


class Error(Exception):
    """The sprite, or what was asked of it, is refused."""


class Notice(Warning):
    """A fault in a sprite that did not stop it being read."""


def _load():
    names = []
    if os.environ.get("KELVANE_CORE_LIBRARY"):
        names.append(os.environ["KELVANE_CORE_LIBRARY"])
    names.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), "libkelvane-core.so"))
    names.append("libkelvane-core.so")
    last = None
    for name in names:
        try:
            return ctypes.CDLL(name)
        except OSError as error:
            last = error
    raise ImportError("libkelvane-core.so not found (set KELVANE_CORE_LIBRARY): %s" % last)


_lib = _load()
_u8p = ctypes.POINTER(ctypes.c_uint8)


class _Frame(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int32), ("height", ctypes.c_int32),
                ("x_offset", ctypes.c_int32), ("y_offset", ctypes.c_int32),
                ("header0to3", ctypes.c_uint32), ("header20to23", ctypes.c_uint32),
                ("header24to27", ctypes.c_uint32), ("decoded", ctypes.c_int32),
                ("indices", _u8p), ("opaque", _u8p),
                ("place_x", ctypes.c_int64), ("place_y", ctypes.c_int64)]


class _Sprite(ctypes.Structure):
    _fields_ = [("header4to7", ctypes.c_uint32), ("header8to11", ctypes.c_uint32),
                ("header16to19", ctypes.c_uint32), ("terminator", ctypes.c_uint8 * 4),
                ("separate", ctypes.c_int32), ("frame_count", ctypes.c_int32),
                ("frames", ctypes.POINTER(_Frame)),
                ("stitched_width", ctypes.c_int64), ("stitched_height", ctypes.c_int64),
                ("stitched_cuts", ctypes.c_int32),
                ("canvas_x", ctypes.c_int64), ("canvas_y", ctypes.c_int64),
                ("canvas_width", ctypes.c_int64), ("canvas_height", ctypes.c_int64)]


class _FrameIn(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int32), ("height", ctypes.c_int32),
                ("x_offset", ctypes.c_int32), ("y_offset", ctypes.c_int32),
                ("header0to3", ctypes.c_uint32), ("header20to23", ctypes.c_uint32),
                ("header24to27", ctypes.c_uint32),
                ("indices", ctypes.c_char_p), ("opaque", ctypes.c_char_p),
                ("image_palette", ctypes.c_char_p), ("image_palette_entries", ctypes.c_size_t),
                ("rgba", ctypes.c_char_p)]


class _SpriteIn(ctypes.Structure):
    _fields_ = [("header4to7", ctypes.c_uint32), ("header8to11", ctypes.c_uint32),
                ("header16to19", ctypes.c_uint32), ("terminator", ctypes.c_uint8 * 4),
                ("frame_count", ctypes.c_int32), ("frames", ctypes.POINTER(_FrameIn)),
                ("palette", ctypes.c_char_p), ("original", ctypes.c_char_p),
                ("original_size", ctypes.c_size_t), ("nearest", ctypes.c_int32),
                ("nearest_advice", ctypes.c_char_p)]


_NOTICE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p)
_lib.kelvane_read.restype = ctypes.POINTER(_Sprite)
_lib.kelvane_read.argtypes = [ctypes.c_char_p, ctypes.c_size_t, _NOTICE, ctypes.c_void_p,
                              ctypes.POINTER(ctypes.c_void_p)]
_lib.kelvane_sprite_free.argtypes = [ctypes.POINTER(_Sprite)]
_lib.kelvane_string_free.argtypes = [ctypes.c_void_p]
_lib.kelvane_bytes_free.argtypes = [ctypes.c_void_p]
_lib.kelvane_write.restype = ctypes.c_int
_lib.kelvane_write.argtypes = [ctypes.POINTER(_SpriteIn), _NOTICE, ctypes.c_void_p,
                               ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_size_t),
                               ctypes.POINTER(ctypes.c_void_p)]
_lib.kelvane_builtin_palette.argtypes = [ctypes.c_char_p]
_lib.kelvane_read_palette_file.restype = ctypes.c_int
_lib.kelvane_read_palette_file.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]


def _take_text(pointer):
    if not pointer.value:
        return ""
    text = ctypes.string_at(pointer.value).decode("utf-8", "replace")
    _lib.kelvane_string_free(pointer.value)
    return text


class Frame:
    """One frame: indices (bytes, rows top first), opaque (1 where the sprite has a pixel)."""

    def __init__(self, width=0, height=0, indices=b"", opaque=None, x_offset=0, y_offset=0,
                 header0to3=0, header20to23=0, header24to27=0):
        self.width, self.height = width, height
        self.indices = bytes(indices)
        self.opaque = bytes(opaque) if opaque is not None else b"\x01" * (width * height)
        self.x_offset, self.y_offset = x_offset, y_offset
        self.header0to3, self.header20to23, self.header24to27 = header0to3, header20to23, header24to27
        self.decoded = True
        self.place = (0, 0)
        self.image_palette = None  # RGB bytes when indices are of another palette
        self.rgba = None           # or RGBA bytes instead of indices


class Sprite:
    def __init__(self, frames=None, terminator=b"\xee\xee\xee\xee", header4to7=0, header8to11=0, header16to19=0):
        self.frames = list(frames or [])
        self.terminator = bytes(terminator)
        self.header4to7, self.header8to11, self.header16to19 = header4to7, header8to11, header16to19
        self.separate = False
        self.stitched_size = (0, 0)
        self.stitched_cuts = False
        self.canvas = (0, 0, 1, 1)  # x, y, width, height of the animation canvas
        self.palette = None   # 768 RGB bytes to pack with; None: the built-in palette
        self.original = None  # the bytes of the sprite the frames came from
        self.nearest = False


def read(source):
    """Reads a sprite from a path or bytes; notices are kelvane.Notice warnings."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        data = bytes(source)
    else:
        with open(source, "rb") as f:
            data = f.read()
    notices = []
    callback = _NOTICE(lambda _c, frame, text: notices.append((frame, text.decode("utf-8", "replace"))))
    reason = ctypes.c_void_p()
    raw = _lib.kelvane_read(data, len(data), callback, None, ctypes.byref(reason))
    for frame, text in notices:
        warnings.warn(Notice(text), stacklevel=2)
    if not raw:
        raise Error(_take_text(reason) or "the sprite is refused")
    try:
        s = raw.contents
        sprite = Sprite(terminator=bytes(s.terminator), header4to7=s.header4to7, header8to11=s.header8to11,
                        header16to19=s.header16to19)
        sprite.separate = bool(s.separate)
        sprite.stitched_size = (s.stitched_width, s.stitched_height)
        sprite.stitched_cuts = bool(s.stitched_cuts)
        sprite.canvas = (s.canvas_x, s.canvas_y, s.canvas_width, s.canvas_height)
        for i in range(s.frame_count):
            f = s.frames[i]
            n = f.width * f.height if f.decoded else 0
            decoded = bool(f.decoded)
            try:
                indices = ctypes.string_at(f.indices, n) if n else b""
                opaque = ctypes.string_at(f.opaque, n) if n else b""
            except MemoryError:
                # The core could hold the frame but Python cannot copy it:
                # the frame is lost, as the core's own shortage is.
                indices = opaque = b""
                decoded = False
                warnings.warn(Notice("Not enough memory for image frame %d; it was not written." % i), stacklevel=2)
            frame = Frame(f.width, f.height, indices, opaque, f.x_offset, f.y_offset,
                          f.header0to3, f.header20to23, f.header24to27)
            frame.decoded = decoded
            frame.place = (f.place_x, f.place_y)
            sprite.frames.append(frame)
        sprite.original = data
        return sprite
    finally:
        _lib.kelvane_sprite_free(raw)


def write(sprite):
    """Packs the sprite's frames into DC6 bytes by kelvane-pack's rules; raises kelvane.Error.

    Pixels that did not come out as given (nearest colours, shared colours)
    are counted in kelvane.Notice warnings, as kelvane-pack prints them."""
    return _write(sprite, "set the sprite's nearest to True")


def _write(sprite, nearest_advice):
    """write, with how the caller's user asks for the nearest colours."""
    count = len(sprite.frames)
    frames = (_FrameIn * max(count, 1))()
    keep = []
    for i, f in enumerate(sprite.frames):
        g = frames[i]
        g.width, g.height, g.x_offset, g.y_offset = f.width, f.height, f.x_offset, f.y_offset
        g.header0to3, g.header20to23, g.header24to27 = f.header0to3, f.header20to23, f.header24to27
        n = f.width * f.height
        if f.rgba is not None:
            if len(f.rgba) != 4 * n:
                raise Error("frame %d: %d bytes of RGBA for %d pixels" % (i, len(f.rgba), n))
            g.rgba = bytes(f.rgba)
        else:
            if len(f.indices) != n or len(f.opaque) != n:
                raise Error("frame %d: indices or mask do not have %d bytes" % (i, n))
            g.indices, g.opaque = f.indices, f.opaque
            if f.image_palette is not None:
                g.image_palette = bytes(f.image_palette)
                g.image_palette_entries = len(f.image_palette) // 3
        keep.append(g)
    s = _SpriteIn()
    s.header4to7, s.header8to11, s.header16to19 = sprite.header4to7, sprite.header8to11, sprite.header16to19
    for i in range(4):
        s.terminator[i] = sprite.terminator[i]
    s.frame_count, s.frames = count, frames
    if sprite.palette is not None:
        if len(sprite.palette) != 768:
            raise Error("a palette has 768 bytes, not %d" % len(sprite.palette))
        s.palette = bytes(sprite.palette)
    if sprite.original is not None:
        s.original, s.original_size = bytes(sprite.original), len(sprite.original)
    s.nearest = 1 if sprite.nearest else 0
    s.nearest_advice = nearest_advice.encode("utf-8")
    out, size, reason = ctypes.c_void_p(), ctypes.c_size_t(), ctypes.c_void_p()
    notices = []
    callback = _NOTICE(lambda _c, frame, text: notices.append(text.decode("utf-8", "replace")))
    packed = _lib.kelvane_write(ctypes.byref(s), callback, None, ctypes.byref(out), ctypes.byref(size),
                                ctypes.byref(reason))
    for text in notices:
        warnings.warn(Notice(text), stacklevel=3)
    if not packed:
        raise Error(_take_text(reason) or "the sprite cannot be packed")
    try:
        return ctypes.string_at(out.value, size.value)
    finally:
        _lib.kelvane_bytes_free(out.value)


def builtin_palette():
    """The built-in palette: 768 bytes, red, green, blue."""
    buf = ctypes.create_string_buffer(768)
    _lib.kelvane_builtin_palette(buf)
    return buf.raw


def read_palette_file(path):
    """A palette file of any format kelvane-convert's -p reads, as 768 bytes RGB."""
    buf = ctypes.create_string_buffer(768)
    reason = ctypes.c_void_p()
    if _lib.kelvane_read_palette_file(os.fsencode(path), buf, ctypes.byref(reason)) == 0:
        raise Error("%s: %s" % (path, _take_text(reason)))
    return buf.raw
