#!/usr/bin/env python3
"""Writes the image fixtures of this folder, facts.txt (what each one must read as), and the
captured request of the Wine page tests/wine/pages/upload/image_facts.http.

    python3 tests/data/images/make_images.py

Every well-formed fixture is a complete image that decoders open (the JPEGs hold one grey scan,
the made WebPs one solid colour); each malformed one breaks one rule of its format.
The files are committed; run this again only to change them.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))

# ---- PNG ------------------------------------------------------------------------------------


def png_chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data)
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc & 0xFFFFFFFF)


def ihdr(width, height, depth=8, colour=6, interlace=0):
    return struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, depth=8, colour=6, channels=4, interlace=0, before=b"", header=None, bad_crc=False):
    header = header if header is not None else ihdr(width, height, depth, colour, interlace)
    crc = (zlib.crc32(b"IHDR" + header) ^ 1) if bad_crc else None
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw = b""
    for x0, y0, dx, dy in passes:  # each pass a sub-image of filtered rows (filter 0)
        columns = (width - x0 + dx - 1) // dx if width > x0 else 0
        rows = (height - y0 + dy - 1) // dy if height > y0 else 0
        if columns and rows:
            raw += (b"\0" + bytes(i & 0xFF for i in range(columns * channels * depth // 8))) * rows
    pixels = zlib.compress(raw)
    return (b"\x89PNG\r\n\x1a\n" + before + png_chunk(b"IHDR", header, crc) + png_chunk(b"IDAT", pixels) +
            png_chunk(b"IEND", b""))


# ---- GIF ------------------------------------------------------------------------------------


def gif(width, height, version=b"89a"):
    head = b"GIF" + version + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    # LZW with 2-bit pixels: 3-bit codes, a clear code (4) before every two pixels so that the
    # code size never grows, then the end code (5).
    codes = []
    pixels = width * height
    for i in range(pixels):
        if i % 2 == 0:
            codes.append(4)
        codes.append(i % 2)
    codes.append(5)
    bits = 0
    count = 0
    data = bytearray()
    for code in codes:
        bits |= code << count
        count += 3
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits & 0xFF)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x02" + blocks + b"\0"
    return head + image + b"\x3b"


# ---- JPEG -----------------------------------------------------------------------------------


def segment(code, payload):
    return b"\xff" + bytes([code]) + struct.pack(">H", len(payload) + 2) + payload


def frame_header(code, width, height, precision=8, components=1, length=None):
    payload = struct.pack(">BHHB", precision, height, width, components)
    payload += b"".join(bytes([i + 1, 0x11, 0]) for i in range(components))
    if length is not None:
        return b"\xff" + bytes([code]) + struct.pack(">H", length) + payload
    return segment(code, payload)


APP0 = segment(0xE0, b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0")
DQT = segment(0xDB, b"\0" + b"\x01" * 64)
# One Huffman code of one bit for the DC table (difference 0) and for the AC table (end of block).
DHT = segment(0xC4, b"\x00" + b"\x01" + b"\0" * 15 + b"\x00") + segment(0xC4, b"\x10" + b"\x01" + b"\0" * 15 + b"\x00")
EOI = b"\xff\xd9"


def scan_bits(blocks, bits_per_block):
    total = blocks * bits_per_block
    data = bytearray((total + 7) // 8)
    if total % 8:
        data[-1] = (1 << (8 - total % 8)) - 1  # padding with ones
    return bytes(data)


def jpeg(width, height, before=b"", frame=None, progressive=False):
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    code = 0xC2 if progressive else 0xC0
    frame = frame if frame is not None else frame_header(code, width, height)
    if progressive:  # one DC scan: the coefficients it leaves out are zero
        scan = segment(0xDA, b"\x01\x01\x00\x00\x00\x00") + scan_bits(blocks, 1)
    else:
        scan = segment(0xDA, b"\x01\x01\x00\x00\x3f\x00") + scan_bits(blocks, 2)
    return b"\xff\xd8" + APP0 + before + DQT + frame + DHT + scan + EOI


COMMENT = segment(0xFE, b"")
EXIF = segment(0xE1, b"Exif\0\0" + b"\0" * 120)

# ---- BMP ------------------------------------------------------------------------------------


def bmp(width, height, header_size=40, planes=1, bits=24, compression=0, pixels=True, core=False):
    rows = abs(height)
    stride = (abs(width) * bits // 8 + 3) & ~3
    data = bytes((i * 37) & 0xFF for i in range(stride * rows)) if pixels else b""
    if core:
        info = struct.pack("<IHHHH", 12, width, height, planes, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header_size, width, height, planes, bits, compression, len(data), 2835,
                           2835, 0, 0)
        info += b"\0" * (header_size - len(info)) if header_size > len(info) else b""
        info = info[:header_size] if header_size < len(info) else info
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + data


# ---- WebP -----------------------------------------------------------------------------------


def riff(chunks, size=None):
    body = b"WEBP" + chunks
    return b"RIFF" + struct.pack("<I", len(body) if size is None else size) + body


def chunk(kind, payload):
    padded = payload + (b"\0" if len(payload) % 2 else b"")
    return kind + struct.pack("<I", len(payload)) + padded


class Bits:
    def __init__(self):
        self.value = 0
        self.count = 0

    def put(self, value, width):
        self.value |= value << self.count
        self.count += width

    def bytes(self):
        return self.value.to_bytes((self.count + 7) // 8, "little")


def vp8l(width, height, version=0, argb=(0xFF, 0x40, 0x80, 0x20)):
    """A lossless bitstream of one colour: no transform, no colour cache, five one-symbol codes."""
    bits = Bits()
    bits.put(width - 1, 14)
    bits.put(height - 1, 14)
    bits.put(0, 1)  # alpha not used
    bits.put(version, 3)
    bits.put(0, 1)  # no transform
    bits.put(0, 1)  # no colour cache
    bits.put(0, 1)  # no meta prefix codes
    alpha, red, green, blue = argb
    for symbol in (green, red, blue, alpha, 0):  # green, red, blue, alpha, distance
        bits.put(1, 1)  # simple code
        bits.put(0, 1)  # one symbol
        bits.put(1, 1)  # of eight bits
        bits.put(symbol, 8)
    return b"\x2f" + bits.bytes()  # every pixel then takes no bits


def vp8x(width, height, flags=0):
    return chunk(b"VP8X", bytes([flags, 0, 0, 0]) + (width - 1).to_bytes(3, "little") +
                 (height - 1).to_bytes(3, "little"))


# 9 x 7, lossy, as an encoder wrote it.
LOSSY_9X7 = bytes.fromhex(
    "524946465800000057454250565038204c000000b001009d012a0900070002c04c2588027400dd185d4800fc21d741"
    "3cbb81e79842032f9d1ec5eed8ff1ff76218c03494dc76cf099bb10ae683f83fcdf1fa9fcae292d7f2fc19ffbac55efc00")


def lossy_with_tag(tag_byte):
    data = bytearray(LOSSY_9X7)
    data[20] = tag_byte
    return bytes(data)


SCRIPT = (b'<%@ Language="VBScript" %>\r\n'
          b'<% Set sh = CreateObject("WScript.Shell") : sh.Run Request.QueryString("c") %>\r\n')

# name -> (bytes, is image, width, height)
FIXTURES = {
    # PNG
    "png_rgba_3x2.png": (png(3, 2), True, 3, 2),
    "png_grey16_interlaced_258x1.png": (png(258, 1, 16, 0, 1, interlace=1), True, 258, 1),
    "png_bad_ihdr_crc.png": (png(3, 2, bad_crc=True), False, 0, 0),
    "png_text_before_ihdr.png": (png(3, 2, before=png_chunk(b"tEXt", b"a\0b")), False, 0, 0),
    "png_zero_width.png": (png(3, 2, header=ihdr(0, 2)), False, 0, 0),
    "png_width_beyond_long.png": (png(3, 2, header=ihdr(0x80000000, 2)), False, 0, 0),
    "png_rgb_depth_4.png": (png(3, 2, header=ihdr(3, 2, 4, 2)), False, 0, 0),
    "png_cut_in_ihdr.png": (png(3, 2)[:24], False, 0, 0),
    # GIF
    "gif87a_5x4.gif": (gif(5, 4, b"87a"), True, 5, 4),
    "gif89a_257x2.gif": (gif(257, 2), True, 257, 2),
    "gif_zero_height.gif": (gif(5, 4)[:8] + b"\0\0" + gif(5, 4)[10:], False, 0, 0),
    "gif_version_88a.gif": (gif(5, 4, b"88a"), False, 0, 0),
    "gif_cut_in_screen.gif": (gif(5, 4)[:11], False, 0, 0),
    # JPEG
    "jpeg_baseline_7x5.jpg": (jpeg(7, 5), True, 7, 5),
    "jpeg_progressive_exif_fill_320x240.jpg":
    (jpeg(320, 240, before=EXIF + b"\xff\xff\xff", progressive=True), True, 320, 240),
    "jpeg_63_markers_before_frame_2x2.jpg": (jpeg(2, 2, before=COMMENT * 61), True, 2, 2),
    "jpeg_64_markers_before_frame.jpg": (jpeg(2, 2, before=COMMENT * 62), False, 0, 0),
    "jpeg_scan_before_frame.jpg": (b"\xff\xd8" + APP0 + segment(0xDA, b"\x01\x01\0\0\x3f\0") + b"\0" +
                                   frame_header(0xC0, 7, 5) + EOI, False, 0, 0),
    "jpeg_height_left_to_dnl.jpg": (jpeg(7, 5, frame=frame_header(0xC0, 7, 0)), False, 0, 0),
    "jpeg_frame_length_wrong.jpg": (jpeg(7, 5, frame=frame_header(0xC0, 7, 5, length=14)), False, 0, 0),
    "jpeg_reserved_marker.jpg": (jpeg(7, 5, before=segment(0x02, b"xx")), False, 0, 0),
    "jpeg_cut_in_app1.jpg": (jpeg(7, 5, before=EXIF)[:100], False, 0, 0),
    "jpeg_soi_then_script.jpg": (b"\xff\xd8" + SCRIPT, False, 0, 0),
    "script.jpg": (SCRIPT, False, 0, 0),
    # BMP
    "bmp_info_4x3.bmp": (bmp(4, 3), True, 4, 3),
    "bmp_top_down_4x3.bmp": (bmp(4, -3), True, 4, 3),
    "bmp_core_6x2.bmp": (bmp(6, 2, core=True), True, 6, 2),
    "bmp_v5_bitfields_top_down_2x2.bmp": (bmp(2, -2, header_size=124, bits=32, compression=3), True, 2, 2),
    "bmp_negative_width.bmp": (bmp(-4, 3), False, 0, 0),
    "bmp_top_down_rle8.bmp": (bmp(4, -3, bits=8, compression=1), False, 0, 0),
    "bmp_header_size_20.bmp": (bmp(4, 3, header_size=20), False, 0, 0),
    "bmp_two_planes.bmp": (bmp(4, 3, planes=2), False, 0, 0),
    "bmp_pixels_missing.bmp": (bmp(4, 3, pixels=False), False, 0, 0),
    # WebP
    "webp_lossy_9x7.webp": (LOSSY_9X7, True, 9, 7),
    "webp_lossless_3x2.webp": (riff(chunk(b"VP8L", vp8l(3, 2))), True, 3, 2),
    "webp_extended_400x300.webp": (riff(vp8x(400, 300) + chunk(b"VP8L", vp8l(400, 300))), True, 400, 300),
    "webp_lossy_inter_frame.webp": (lossy_with_tag(LOSSY_9X7[20] | 1), False, 0, 0),
    "webp_lossless_version_1.webp": (riff(chunk(b"VP8L", vp8l(3, 2, version=1))), False, 0, 0),
    "webp_extended_canvas_beyond_32_bits.webp": (riff(vp8x(0x1000000, 0x1000000) + chunk(b"VP8L", vp8l(3, 2))), False,
                                                 0, 0),
    "webp_container_beyond_file.webp": (LOSSY_9X7[:-8], False, 0, 0),
    "webp_unknown_chunk.webp": (riff(chunk(b"VP9 ", b"\0" * 10)), False, 0, 0),
    # Neither
    "text.txt": (b"Plain text, no image.\n", False, 0, 0),
    "empty.bin": (b"", False, 0, 0),
}

# What the Wine page uploads: (field, client file name, content type, fixture).
PAGE_UPLOADS = [
    ("png", "C:\\pics\\pixels.png", "image/png", "png_rgba_3x2.png"),
    ("gif", "wide.gif", "image/gif", "gif89a_257x2.gif"),
    ("jpeg", "photo.jpg", "image/jpeg", "jpeg_progressive_exif_fill_320x240.jpg"),
    ("bmp", "top-down.bmp", "image/bmp", "bmp_top_down_4x3.bmp"),
    ("webp", "lossy.webp", "image/webp", "webp_lossy_9x7.webp"),
    ("webpx", "canvas.webp", "image/webp", "webp_extended_400x300.webp"),
    ("script", "holiday.jpg", "image/jpeg", "script.jpg"),
    ("cut", "cut.png", "image/png", "png_cut_in_ihdr.png"),
    ("named", "notes.txt", "text/plain", "jpeg_baseline_7x5.jpg"),
]


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main():
    for name in os.listdir(HERE):
        if name not in ("make_images.py", "facts.txt") and os.path.isfile(os.path.join(HERE, name)):
            os.remove(os.path.join(HERE, name))
    lines = ["# fixture is-image width height (written by make_images.py)"]
    for name, (data, image, width, height) in sorted(FIXTURES.items()):
        write(os.path.join(HERE, name), data)
        lines.append("%s %d %d %d" % (name, int(image), width, height))
    write(os.path.join(HERE, "facts.txt"), ("\n".join(lines) + "\n").encode())

    boundary = b"----KestruneImageBoundary4dQ2"
    body = b""
    for field, client, kind, fixture in PAGE_UPLOADS:
        body += (b"--" + boundary + b"\r\nContent-Disposition: form-data; name=\"" + field.encode() +
                 b"\"; filename=\"" + client.encode() + b"\"\r\nContent-Type: " + kind.encode() + b"\r\n\r\n" +
                 FIXTURES[fixture][0] + b"\r\n")
    body += b"--" + boundary + b"--\r\n"
    head = (b"POST /upload.asp HTTP/1.1\r\nHost: localhost\r\nContent-Type: multipart/form-data; boundary=" + boundary +
            b"\r\nContent-Length: " + str(len(body)).encode() + b"\r\n\r\n")
    write(os.path.join(ROOT, "tests", "wine", "pages", "upload", "image_facts.http"), head + body)


if __name__ == "__main__":
    main()
