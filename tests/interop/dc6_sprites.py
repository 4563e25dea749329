"""DC6 sprite files made in the tests: pixel rows (top row first, None for a
pixel the frame leaves transparent) coded as the format codes them."""
import struct

TERMINATOR = bytes([0x01, 0xEE, 0xEE, 0xEE])  # the fill byte is 0xEE
FILL = 0xEE


def code(rows, terminator=TERMINATOR):
    """DC6 scan lines: bottom row first, skip and literal runs, a row end after each row."""
    out = bytearray()
    for row in reversed(rows):
        last = max((i for i, v in enumerate(row) if v is not None), default=-1)
        i = 0
        while i <= last:
            run = []
            transparent = row[i] is None
            while i <= last and (row[i] is None) == transparent and len(run) < 127:
                run.append(row[i])
                i += 1
            out += bytes([0x80 + len(run)]) if transparent else bytes([len(run)] + run)
        out.append(0x80)
    return bytes(out) + terminator


def sprite(*frames, terminator=TERMINATOR):
    """frames: (rows, x offset, y offset)."""
    header = struct.pack("<i8s4s4si", 6, bytes(8), terminator, bytes(4), len(frames))
    offset = len(header) + 4 * len(frames)
    table, body = b"", b""
    for rows, x, y in frames:
        data = code(rows, terminator)
        table += struct.pack("<I", offset + len(body))
        body += struct.pack("<Iiiii8sI", 0, len(rows[0]), len(rows), x, y, bytes(8), len(data)) + data
    return header + table + body
