#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small real files copied from
Debian packages where they are installed, and crafted edge cases. Run it again
after adding a case; existing files are overwritten, others left alone (found
crashes kept as regressions stay)."""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def be32(*values):
    return b"".join(struct.pack(">I", v & 0xFFFFFFFF) for v in values)


def be16(*values):
    return b"".join(struct.pack(">H", v & 0xFFFF) for v in values)


def seed(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def copy(target, path, name=None):
    if os.path.exists(path):
        seed(target, name or os.path.basename(path), open(path, "rb").read())
    else:
        print("not installed, skipped:", path, file=sys.stderr)


# --- ICC profiles (ICC.1:2010 section 7) ---

def profile(tags, declared_count=None, declared_size=None, version=0x02100000):
    """tags: list of (signature, data) or (signature, offset, size) raw entries."""
    count = len(tags)
    data_start = 128 + 4 + 12 * count
    directory = b""
    body = b""
    for tag in tags:
        if len(tag) == 3:
            directory += tag[0] + be32(tag[1], tag[2])
            continue
        sig, data = tag
        offset = data_start + len(body)
        directory += sig + be32(offset, len(data))
        body += data + b"\0" * (-len(data) % 4)
    size = data_start + len(body)
    header = bytearray(128)
    header[0:4] = be32(declared_size if declared_size is not None else size)
    header[4:8] = b"lcms"
    header[8:12] = be32(version)
    header[12:16] = b"mntr"
    header[16:20] = b"RGB "
    header[20:24] = b"XYZ "
    header[24:36] = be16(2024, 1, 2, 3, 4, 5)
    header[36:40] = b"acsp"
    header[68:80] = be32(0xF6D6, 0x10000, 0xD32D)
    n = declared_count if declared_count is not None else count
    return bytes(header) + be32(n) + directory + body


def desc(text, unicode_text=""):
    ascii_part = text.encode("latin-1") + b"\0"
    uni = unicode_text.encode("utf-16-be")
    return (b"desc" + be32(0, len(ascii_part)) + ascii_part + be32(0, len(uni) // 2) + uni +
            be16(0) + b"\0" + b"\0" * 67)


def mluc(records, record_size=12):
    """records: list of (language, country, text)."""
    table = 16 + record_size * len(records)
    head = b"mluc" + be32(0, len(records), record_size)
    entries = b""
    texts = b""
    for language, country, text in records:
        encoded = text.encode("utf-16-be")
        entries += language + country + be32(len(encoded), table + len(texts))
        entries += b"\0" * (record_size - 12)
        texts += encoded
    return head + entries + texts


def vcgt_table(entry_size, channels=3, entries=256, gamma_type=0, cut=0):
    values = b""
    for c in range(channels):
        for j in range(entries):
            v = (j * 65535 // max(entries - 1, 1)) ^ (c * 0x0101)
            values += be16(v) if entry_size == 2 else bytes([v >> 8])
    data = b"vcgt" + be32(0, gamma_type) + be16(channels, entries, entry_size) + values
    return data[:len(data) - cut] if cut else data


def icc_seeds():
    icc = "/usr/share/color/icc"
    for path in [f"{icc}/Gray.icc", f"{icc}/compatibleWithAdobeRGB1998.icc", f"{icc}/CineLogCurve.icc",
                 f"{icc}/colord/Gamma6500K.icc", f"{icc}/colord/Crayons.icc",
                 "/usr/share/color/argyll/ref/lab2lab.icm", "/usr/share/color/argyll/ref/sRGB.icm"]:
        copy("icc_profile", path)

    xyz = b"XYZ " + be32(0, 0xF6D6, 0x10000, 0xD32D)
    curv = b"curv" + be32(0, 3) + be16(0, 0x8000, 0xFFFF)
    seed("icc_profile", "shared-offsets.icc", profile([(b"rXYZ", xyz), (b"gXYZ", 128 + 4 + 36, 20),
                                                     (b"bXYZ", 128 + 4 + 36, 12)]))
    seed("icc_profile", "count-beyond-file.icc", profile([(b"desc", desc("x"))], declared_count=0x15555555))
    seed("icc_profile", "count-above-limit.icc", profile([(b"rTRC", curv)] * 101))
    seed("icc_profile", "tag-past-end.icc", profile([(b"desc", 200, 0xFFFFFFF0), (b"wtpt", xyz)]))
    seed("icc_profile", "size-beyond-file.icc", profile([(b"wtpt", xyz)], declared_size=0x7FFFFFFF))
    seed("icc_profile", "header-only.icc", profile([])[:129])
    seed("icc_profile", "curv-count-huge.icc", profile([(b"rTRC", b"curv" + be32(0, 0x40000000) + be16(1))]))
    seed("icc_profile", "pseq.icc", profile([(b"pseq", b"pseq" + be32(0, 2) +
                                             (be32(1, 2, 0, 0, 3) + desc("a") + desc("b")) * 2)]))
    seed("icc_profile", "pseq-not-desc.icc", profile([(b"pseq", b"pseq" + be32(0, 5) + be32(1, 2, 0, 0, 3) +
                                                       b"mluc" + be32(0) * 8)]))
    seed("icc_profile", "ncl2-count-huge.icc", profile([(b"ncl2", b"ncl2" + be32(0, 0, 0x7FFFFFFF, 3) +
                                                         b"\0" * 64 + b"red" + b"\0" * 29 + be16(1, 2, 3))]))
    seed("icc_profile", "mft2-grid.icc", profile([(b"A2B0", b"mft2" + be32(0) + bytes([15, 15, 255, 0]) +
                                                   be32(0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x10000) +
                                                   be16(4096, 4096) + b"\0" * 64)]))
    seed("icc_profile", "mft2-cut.icc", profile([(b"A2B0", b"mft2" + be32(0) + bytes([3, 3]))]))
    seed("icc_profile", "scrn.icc", profile([(b"scrn", b"scrn" + be32(0, 0, 0x55555556) + be32(1, 2, 3))]))
    seed("icc_profile", "bfd.icc", profile([(b"bfd ", b"bfd " + be32(0, 0xFFFFFFFF) + be16(1, 2))]))
    seed("icc_profile", "small-types.icc", profile([
        (b"calt", b"dtim" + be32(0) + be16(2024, 1, 2, 3, 4, 5)),
        (b"tech", b"sig " + be32(0) + b"CRT "),
        (b"meas", b"meas" + be32(0, 1, 0, 0, 0, 0, 0)),
        (b"view", b"view" + be32(0, 1, 2, 3)),
        (b"ncol", b"ncol" + be32(0, 1)),
        (b"A2B1", b"mft1" + be32(0) + bytes([3, 3, 2, 0]) + be32(1, 2, 3)),
        (b"sf32", b"sf32" + be32(0, 1, 2, 3, 4, 5)),
        (b"data", b"data" + be32(0)),
        (b"tiny", b"XY"),
        (b"none", b""),
    ]))

    # The description tag alone; the target wraps it in a valid profile.
    for path, sig in [(f"{icc}/Gray.icc", b"desc"), (f"{icc}/colord/Gamma6500K.icc", b"desc"),
                      (f"{icc}/colord/Crayons.icc", b"desc")]:
        if os.path.exists(path):
            seed("icc_description", "from-" + os.path.basename(path), tag_of(open(path, "rb").read(), sig))
    seed("icc_description", "desc-unicode.bin", desc("Plain", "Wide text"))
    seed("icc_description", "desc-count-huge.bin", b"desc" + be32(0, 0xFFFFFFFF) + b"abc")
    seed("icc_description", "desc-long.bin", desc("L" * 400))
    seed("icc_description", "desc-no-terminator.bin", b"desc" + be32(0, 8) + b"abcdefgh")
    seed("icc_description", "mluc-en-us-last.bin", mluc([(b"de", b"DE", "Deutsch"), (b"en", b"GB", "British"),
                                                        (b"en", b"US", "American")]))
    seed("icc_description", "mluc-wide-records.bin", mluc([(b"fr", b"FR", "\u00e9t\u00e9 \u20ac \U0001F600")], 20))
    seed("icc_description", "mluc-odd-length.bin", b"mluc" + be32(0, 1, 12) + b"enUS" + be32(3, 28) + b"\0a\0")
    seed("icc_description", "mluc-offset-outside.bin", b"mluc" + be32(0, 1, 12) + b"enUS" + be32(2, 0xFFFFFFFF))
    seed("icc_description", "mluc-records-huge.bin", b"mluc" + be32(0, 0x40000000, 0x40000000) + b"enUS")
    seed("icc_description", "mluc-long-surrogates.bin", mluc([(b"en", b"US", "\U0001F600" * 300)]))
    lone = be16(0x41, 0xD800, 0x42, 0xDC00, 0xD800)  # surrogates without partners
    seed("icc_description", "mluc-lone-surrogates.bin", b"mluc" + be32(0, 1, 12) + b"enUS" + be32(len(lone), 28) + lone)
    seed("icc_description", "text-type.bin", b"text" + be32(0) + b"not a description\0")

    # The gamma table tag alone.
    for name in ["Gamma6500K.icc", "Bluish.icc"]:
        path = f"{icc}/colord/{name}"
        if os.path.exists(path):
            seed("icc_vcgt", "from-" + name, tag_of(open(path, "rb").read(), b"vcgt"))
    seed("icc_vcgt", "table-2-bytes.bin", vcgt_table(2))
    seed("icc_vcgt", "table-1-byte.bin", vcgt_table(1))
    seed("icc_vcgt", "table-cut.bin", vcgt_table(2, cut=1))
    seed("icc_vcgt", "table-4-bytes.bin", vcgt_table(2)[:16] + be16(4) + vcgt_table(2)[18:])
    seed("icc_vcgt", "table-1024-entries.bin", vcgt_table(1, entries=1024))
    seed("icc_vcgt", "table-1-channel.bin", vcgt_table(2, channels=1))
    seed("icc_vcgt", "formula.bin", b"vcgt" + be32(0, 1) + be32(0x10000, 0, 0x10000) * 3)
    seed("icc_vcgt", "header-cut.bin", b"vcgt" + be32(0, 0))
    seed("icc_vcgt", "wrong-type.bin", b"curv" + vcgt_table(2)[4:])

    # The same tag as the loader decodes it: every form, resampled or computed.
    for name in os.listdir(os.path.join(CORPUS, "icc_vcgt")):
        seed("icc_calibration", name, open(os.path.join(CORPUS, "icc_vcgt", name), "rb").read())
    seed("icc_calibration", "table-16-entries.bin", vcgt_table(2, entries=16))
    seed("icc_calibration", "table-2-entries-1-channel.bin", vcgt_table(1, channels=1, entries=2))
    seed("icc_calibration", "formula-raised.bin", b"vcgt" + be32(0, 1) + be32(0x23333, 0x1000, 0xF000) * 3)
    seed("icc_calibration", "formula-negative-gamma.bin", b"vcgt" + be32(0, 1) + be32(0xFFFF0000, 0, 0x10000) * 3)
    seed("icc_calibration", "counts-huge.bin", b"vcgt" + be32(0, 0) + be16(3, 0xFFFF, 2))


# --- Support services: settings text, language files, GUI settings, file types, strings ---

REPO = os.path.dirname(os.path.dirname(HERE))
DEPS = os.path.join(REPO, "build", "deps", "work")


def support_seeds():
    copy("settings", os.path.join(REPO, "data", "EnglishLanguage"))
    copy("catalogue", os.path.join(REPO, "data", "EnglishLanguage"))
    texts = {
        "words.txt": b'unitx = 8\nbgcolor = "255 255 255"\nflag = TRUE\noff = false\nname = word\n',
        "nested.txt": b'a = { b = { c = 1 } d = "x \\"y\\"" }\na = { e = 2 }\n# comment\nf = -12\n',
        "deep.txt": b"k = {" * 70 + b"}" * 70,
        "unterminated.txt": b'a = "open\nb = { c = 1\n',
        "missing-equals.txt": b"a = 1\nb 2\nc = 3\n",
        "top-close.txt": b"a = 1\n}\nb = 2\n",
        "nul-inside.txt": b"a = 1\n\0b = 2\n",
        "numbers.txt": b"big = 2147483648\nsmall = -2147483648\nplus = +5\nsp = \" 7 \"\n",
        "crlf-lines.txt": b"1 first\r\n2 \"quoted\" text\r\n3\r\n\r\n  4   spaced  \r\n",
        "backslashes.txt": b'a = "\\\\" b = "\\' ,
    }
    for name, data in texts.items():
        seed("settings", name, data)
    seed("catalogue", "mac-letters.txt", b"1 Gr\x9a\x9fe \x80\x85\x86\x8a\xa7\n2 caf\x8e \x88 la\n3 adi\x97s\n")
    seed("catalogue", "line-breaks.txt", b"20206 one\\ntwo\\\\nthree\\n\n20207 \\\n20208 \\n\\n\\n\n")
    seed("catalogue", "odd-keys.txt", b"007 leading zero\n-5 negative\n2147483648 too big\n+3 plus\n 9 blank first\n")
    seed("catalogue", "quotes-and-braces.txt", b'1 "quoted start\n2 { brace\n}\n3 after\n')

    gui = {
        "example.txt": b'unitx = 4\nunity = 8\nred = "255 0 0"\nback = "pic.bmp"\n'
                       b'883 = { bgcolor = "212 208 200" bgimage = back\n'
                       b'  "1-5,7" = { x = 10 y = 20 w = 30 h = 40 bgcolor = red fgcolor = "0 0 255" }\n'
                       b'  3 = { x = red }\n}\n',
        "ranges.txt": b'1 = { "3-1" = { x = 1 } 0 = { x = 1 } unitx = { x = 1 } "2,4-5" = { w = 5 }\n'
                      b'"2,0,3" = { h = 1 } "1-2147483647" = { bgcolor = "1 2 3" } "98-150" = { fgcolor = "1" }\n'
                      b'"-5" = { x = 1 } "5-" = { x = 1 } ",,," = { x = 1 } 12 = 7 }\n',
        "extremes.txt": b'unitx = -2147483648\n2 = { unity = 1 "1" = { x = 2147483647 y = -2147483648 '
                        b'w = 2147483647 h = 2147483647 } }\n3 = { unitx = 1 "99" = { x = 99999 } }\n',
        "constants.txt": b'c = c\nn = 5\ns = { }\n4 = { bgcolor = s bgimage = n "1" = { x = n y = s fgcolor = c } }\n',
    }
    for name, data in gui.items():
        seed("gui_settings", name, data)

    png = os.path.join(DEPS, "libpng1.6-1.6.39", "contrib", "pngsuite")
    jpeg = os.path.join(DEPS, "libjpeg-turbo-2.1.5", "testimages")
    tiff = os.path.join(DEPS, "tiff-4.5.0", "test", "images")
    copy("file_types", os.path.join(png, "basn0g01.png"))
    copy("file_types", os.path.join(tiff, "miniswhite-1c-1b.tiff"))
    copy("file_types", "/usr/share/color/icc/Gray.icc")
    seed("file_types", "jpeg-start.bin", b"\xff\xd8\xff\xe0\0\x10JFIF\0")
    seed("file_types", "tiff-mm.bin", b"MM\0*\0\0\0\x08")
    seed("file_types", "eps.bin", b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n")
    seed("file_types", "eps-dos.bin", b"\xc5\xd0\xd3\xc6" + b"\0" * 28)
    seed("file_types", "eps-one-line.bin", b"%!PS-Adobe EPSF")
    seed("file_types", "ps.bin", b"%!PS\n")
    seed("file_types", "pdf.bin", b"%PDF-1.4\n")
    seed("file_types", "zeros.bin", b"\0" * 300)
    seed("file_types", "scitex.bin", b" " * 80 + b"CT" + b"\0" * 10)
    seed("file_types", "bmp.bin", b"BM" + be32(0) + b"\0\0\0\0")
    seed("file_types", "bmp-cut.bin", b"BM\0\0\0\0\0\0\0")
    seed("file_types", "gif.bin", b"GIF89a")
    seed("file_types", "cxf.bin", b'<?xml version="1.0"?><cc:CxF xmlns:cc="CXF">')
    seed("file_types", "name-with-extension.bin", b"Some.Name.JPG\nrest")
    seed("file_types", "name-long-extension.bin", b"a." + b"x" * 20 + b"\n")

    for name, data in {"path.bin": b"\\C:\\dir\\file.icm", "fields.bin": b",\x03\x05a,,b,c,",
                       "long.bin": b" \x10\x00" + b"word " * 30, "inline-edge.bin": b"\0\x13\x00" + b"x" * 19,
                       "one-separator.bin": b";\x00\x00;", "nul.bin": b"-\x01\x02ab\0cd"}.items():
        seed("tstring", name, data)


# --- Dialog templates (Win32 DLGTEMPLATE and DLGTEMPLATEEX, little-endian) ---

def le16(*values):
    return b"".join(struct.pack("<H", v & 0xFFFF) for v in values)


def le32(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def wide(text):
    return text.encode("utf-16-le") + b"\0\0"


def align4(data):
    return data + b"\0" * (-len(data) % 4)


def dialog(style=0x40 | 0x80, menu=b"\0\0", cls=b"\0\0", title=wide("Profiles"), face="MS Sans Serif",
           items=2, extended=False):
    if extended:
        out = le16(1, 0xFFFF) + le32(0, 0, style) + le16(items, 10, 10, 200, 100)
    else:
        out = le32(style, 0) + le16(items, 10, 10, 200, 100)
    out += menu + cls + title
    if style & 0x40:
        out += le16(8) + (le16(400) + b"\0\1" if extended else b"") + wide(face)
    for i in range(items):
        out = align4(out)
        if extended:
            out += le32(0, 0, 0x50010000) + le16(5, 5 + 20 * i, 50, 14) + le32(100 + i)
        else:
            out += le32(0x50010000, 0) + le16(5, 5 + 20 * i, 50, 14, 100 + i)
        out += le16(0xFFFF, 0x0080) + wide("OK %d" % i) + le16(0)
    return out


def template_seeds():
    seed("template_font", "plain.dlg", dialog())
    seed("template_font", "ordinals.dlg", dialog(menu=le16(0xFFFF, 7), cls=le16(0xFFFF, 0x8002), title=b"\0\0"))
    seed("template_font", "named-menu-class.dlg", dialog(menu=wide("MENU"), cls=wide("MyClass")))
    seed("template_font", "no-setfont.dlg", dialog(style=0x80))
    seed("template_font", "long-face.dlg", dialog(face="F" * 40))
    seed("template_font", "empty-face.dlg", dialog(face="", items=1))
    seed("template_font", "no-items.dlg", dialog(items=0))
    seed("template_font", "face-unterminated.dlg", dialog(items=0)[:-2])
    seed("template_font", "title-unterminated.dlg", le32(0xC0, 0) + le16(0, 0, 0, 1, 1) + b"\0\0\0\0" + b"A\0" * 8)
    seed("template_font", "header-cut.dlg", le32(0xC0, 0) + le16(1, 0, 0))
    seed("template_font", "extended.dlg", dialog(extended=True))
    seed("template_font", "extended-no-setfont.dlg", dialog(extended=True, style=0x80))
    seed("template_font", "extended-ordinals.dlg", dialog(extended=True, menu=le16(0xFFFF, 1),
                                                          cls=le16(0xFFFF, 2), face="Tahoma"))
    seed("template_font", "extended-cut-in-font.dlg", dialog(extended=True, items=0)[:-14])


# --- Images ---

def bmp(width, height, bits=24, compression=0, planes=1, offset=None, rows=None, header_size=40):
    row = (width * bits // 8 + 3) // 4 * 4 if bits >= 8 else 4
    pixels = rows if rows is not None else bytes((i * 7) & 0xFF for i in range(row * abs(height)))
    start = 14 + header_size if offset is None else offset
    info = le32(header_size) + struct.pack("<ii", width, height) + le16(planes, bits) + \
        le32(compression, len(pixels), 3780, 3780, 0, 0)
    info = info[:header_size] + b"\0" * (header_size - len(info))
    return b"BM" + le32(start + len(pixels), 0, start) + info + pixels


def scitex(separations, width, height, units=0, width_text=None, height_text=None, data=None, cut=0):
    block = bytearray(256)
    block[0] = units
    block[1] = separations
    block[4:18] = b"%-14s" % b"84.666"
    block[18:32] = b"%-14s" % b"84.666"
    block[32:44] = (height_text or b"%d" % height).ljust(12)[:12]
    block[44:56] = (width_text or b"%d" % width).ljust(12)[:12]
    line = (width + (width & 1)) * max(separations, 1)
    body = data if data is not None else bytes((i * 13) & 0xFF for i in range(line * max(height, 0)))
    out = b"CT" * 40 + b"CT" + b"\0" * (1024 - 82) + bytes(block) + b"\0" * 768 + body
    return out[:len(out) - cut] if cut else out


def png_chunk(kind, data):
    import zlib
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, color_type=2, depth=8, extra=b"", interlace=0, rows=None):
    import zlib
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color_type]
    stride = (width * channels * depth + 7) // 8
    raw = rows if rows is not None else b"".join(b"\0" + bytes((x * 31 + y) & 0xFF for x in range(stride))
                                                 for y in range(height))
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra +
            png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))


def jpeg_with_segments(base, segments):
    """Inserts marker segments right after SOI."""
    return base[:2] + b"".join(b"\xff" + bytes([m]) + struct.pack(">H", len(d) + 2) + d for m, d in segments) + base[2:]


def image_seeds():
    # Windows bitmaps: 24 bits uncompressed is the one form read.
    copy("bmp_reader", os.path.join(DEPS, "libjpeg-turbo-2.1.5", "testimages", "vgl_5674_0098.bmp"))
    seed("bmp_reader", "rgb-3-wide.bmp", bmp(3, 2))
    seed("bmp_reader", "rgb-4-wide.bmp", bmp(4, 3))
    seed("bmp_reader", "top-down.bmp", bmp(5, -2))
    seed("bmp_reader", "palette-8.bmp", bmp(4, 2, bits=8))
    seed("bmp_reader", "rle8.bmp", bmp(4, 2, bits=8, compression=1))
    seed("bmp_reader", "two-planes.bmp", bmp(2, 2, planes=2))
    seed("bmp_reader", "rows-cut.bmp", bmp(7, 5)[:-20])
    seed("bmp_reader", "offset-past-end.bmp", bmp(2, 2, offset=0x7FFFFFF0))
    seed("bmp_reader", "huge-width.bmp", bmp(0x7FFFFFFF, 1, rows=b"\1\2\3\0"))
    seed("bmp_reader", "min-height.bmp", bmp(1, -0x80000000, rows=b"\1\2\3\0"))
    seed("bmp_reader", "zero-size.bmp", bmp(0, 0, rows=b""))
    seed("bmp_reader", "core-header.bmp", bmp(2, 2, header_size=12))
    seed("bmp_reader", "header-cut.bmp", bmp(2, 2)[:30])

    # Scitex CT: parameter block at 1024, lines from 2048.
    seed("scitex_reader", "gray.sct", scitex(1, 4, 3))
    seed("scitex_reader", "rgb-odd.sct", scitex(3, 5, 2))
    seed("scitex_reader", "cmyk-odd.sct", scitex(4, 5, 2, units=1))
    seed("scitex_reader", "two-separations.sct", scitex(2, 4, 2))
    seed("scitex_reader", "zero-width.sct", scitex(3, 0, 2))
    seed("scitex_reader", "lines-cut.sct", scitex(3, 7, 4, cut=9))
    seed("scitex_reader", "texts.sct", scitex(1, 2, 2, width_text=b"-5", height_text=b"99999999999"))
    seed("scitex_reader", "text-no-digits.sct", scitex(4, 2, 2, width_text=b"twelve      ", height_text=b"\xff" * 12))
    seed("scitex_reader", "huge.sct", scitex(4, 0, 0, width_text=b"2147483647", height_text=b"2147483647", data=b"x"))
    seed("scitex_reader", "block-cut.sct", scitex(1, 2, 2)[:1100])

    # PNG: the suite's basic forms, interlaced ones, and libpng's own crash regressions.
    suite = os.path.join(DEPS, "libpng1.6-1.6.39", "contrib", "pngsuite")
    for name in ["basn0g01.png", "basn0g16.png", "basn2c08.png", "basn3p04.png", "basn4a16.png",
                 "basn6a08.png", "ibasn2c16.png", "ftbwn3p08.png", "ftp0n0g08.png"]:
        copy("png_reader", os.path.join(suite, name))
    crashers = os.path.join(DEPS, "libpng1.6-1.6.39", "contrib", "testpngs", "crashers")
    for name in ["bad_iCCP.png", "badadler.png", "badcrc.png", "huge_IDAT.png", "huge_iCCP_chunk.png",
                 "huge_pHYs_chunk.png", "empty_ancillary_chunks.png"]:
        copy("png_reader", os.path.join(crashers, name))
    import zlib
    icc = open("/usr/share/color/icc/Gray.icc", "rb").read() if os.path.exists("/usr/share/color/icc/Gray.icc") else b"x" * 200
    seed("png_reader", "iccp-phys.png", png(3, 2, extra=png_chunk(b"iCCP", b"gray\0\0" + zlib.compress(icc)) +
                                                png_chunk(b"pHYs", struct.pack(">IIB", 3780, 3780, 1))))
    seed("png_reader", "iccp-tiny.png", png(2, 2, color_type=0, extra=png_chunk(b"iCCP", b"p\0\0" + zlib.compress(b"abc"))))
    # Rows laid out as if not interlaced: the passes find the wrong amount of data.
    seed("png_reader", "interlaced-16-misfit.png", png(9, 9, color_type=6, depth=16, interlace=1))
    seed("png_reader", "rows-short.png", png(8, 8, rows=b"\0" * 10))
    seed("png_reader", "huge-dimensions.png", png(0x7FFFFFFF, 0x7FFFFFFF, rows=b"\0"))

    # JPEG: libjpeg-turbo's test images (baseline, progressive, arithmetic) and
    # the markers the reader looks at: APP2 ICC profile chunks and APP13. The
    # loader of LoadImageFile starts from the same files.
    testimages = os.path.join(DEPS, "libjpeg-turbo-2.1.5", "testimages")
    for target in ["jpeg_reader", "jpeg_loader"]:
        for name in ["testorig.jpg", "testimgint.jpg", "testimgari.jpg"]:
            copy(target, os.path.join(testimages, name))
    base_path = os.path.join(testimages, "testorig.jpg")
    if os.path.exists(base_path):
        base = open(base_path, "rb").read()
        chunk = b"ICC_PROFILE\0"
        sof = base.index(b"\xff\xc0")
        for target in ["jpeg_reader", "jpeg_loader"]:
            seed(target, "icc-two-chunks.jpg", jpeg_with_segments(base, [
                (0xE2, chunk + b"\1\2" + icc[:200]), (0xE2, chunk + b"\2\2" + icc[200:])]))
            seed(target, "icc-chunk-missing.jpg", jpeg_with_segments(base, [(0xE2, chunk + b"\2\3" + icc[:50])]))
            seed(target, "icc-count-zero.jpg", jpeg_with_segments(base, [(0xE2, chunk + b"\0\0")]))
            seed(target, "icc-duplicate.jpg", jpeg_with_segments(base, [(0xE2, chunk + b"\1\1abc"),
                                                                       (0xE2, chunk + b"\1\1defg")]))
            seed(target, "app13.jpg", jpeg_with_segments(base, [(0xED, b"Photoshop 3.0\0" + b"8BIM" + b"\0" * 20)]))
            seed(target, "cut.jpg", base[:len(base) // 2])
            seed(target, "header-only.jpg", base[:base.index(b"\xff\xda")])
            # A frame header claiming 65500 x 65500 over the scans of a small image.
            seed(target, "huge-frame.jpg", base[:sof + 5] + be16(65500, 65500) + base[sof + 9:])
        # The last byte picks the loader's progress: stop at the third row, cancelled or with another status.
        seed("jpeg_loader", "progress-cancel.jpg", base + b"\xc2")
        seed("jpeg_loader", "progress-status.jpg", base + b"\x82")

    # TIFF: small files of libtiff's own test suite, strips and loops; the
    # loader of LoadImageFile starts from the same files.
    images = os.path.join(DEPS, "tiff-4.5.0", "test", "images")
    for target in ["tiff_reader", "tiff_loader"]:
        for name in ["miniswhite-1c-1b.tiff", "palette-1c-1b.tiff", "minisblack-2c-8b-alpha.tiff", "logluv-3c-16b.tiff",
                     "test_ifd_loop_to_self.tif", "test_ifd_loop_to_first.tif", "test_two_ifds.tif",
                     "test_float64_predictor2_le_lzw.tif", "custom_dir_EXIF_GPS.tiff", "palette-1c-4b.tiff",
                     "deflate-last-strip-extra-data.tiff"]:
            copy(target, os.path.join(images, name))
        seed(target, "rgb-big-endian.tif", tiff_rgb(b"MM", 3, 2))
        seed(target, "rgb-little-endian.tif", tiff_rgb(b"II", 4, 3))
        seed(target, "strip-past-end.tif", tiff_rgb(b"II", 4, 3, strip_offset=0x7FFFFFF0))
        seed(target, "count-huge.tif", b"II*\0" + le32(8) + le16(0xFFFF) + b"\0" * 12)
        seed(target, "header-only.tif", b"MM\0*\0\0\0\x08")
    for name in ["minisblack-1c-16b.tiff", "rgb-3c-16b.tiff", "minisblack-1c-8b.tiff"]:
        copy("tiff_loader", os.path.join(images, name))
    seed("tiff_loader", "rgb-cut.tif", tiff_rgb(b"MM", 5, 4)[:-7])

    # Orientation and 16 to 8 bits: rows, columns, colour space / extra
    # channels / bits, flags, then samples.
    for name, head in [("rgb-turn-left.bin", b"\x03\x05\x01\x01"), ("gray16-all-flags.bin", b"\x04\x02\x40\x1f"),
                       ("cmyk-alpha16-flip.bin", b"\x07\x03\x52\x18"), ("turn180-flip.bin", b"\x02\x06\x01\x0a"),
                       ("empty.bin", b"\x00\x09\x01\x05")]:
        seed("pixel_transforms", name, head + bytes(range(1, 97)))


def tiff_rgb(order, width, height, strip_offset=None):
    """A baseline RGB TIFF (TIFF 6.0 section 6), one uncompressed strip."""
    pack16 = (lambda v: struct.pack(">H", v)) if order == b"MM" else (lambda v: struct.pack("<H", v))
    pack32 = (lambda v: struct.pack(">I", v)) if order == b"MM" else (lambda v: struct.pack("<I", v))
    pixels = bytes((i * 5) & 0xFF for i in range(width * height * 3))
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 3, None), (259, 3, 1, 1), (262, 3, 1, 2),
               (273, 4, 1, None), (277, 3, 1, 3), (278, 4, 1, height), (279, 4, 1, len(pixels)), (284, 3, 1, 1)]
    ifd_size = 2 + 12 * len(entries) + 4
    bits_at = 8 + ifd_size
    pixels_at = bits_at + 6
    out = order + pack16(42) + pack32(8) + pack16(len(entries))
    for tag, kind, count, value in entries:
        if tag == 258:
            value = bits_at
        if tag == 273:
            value = strip_offset if strip_offset is not None else pixels_at
        field = pack16(value) + b"\0\0" if kind == 3 and count == 1 else pack32(value)
        out += pack16(tag) + pack16(kind) + pack32(count) + field
    return out + pack32(0) + pack16(8) * 3 + pixels


def tag_of(profile_bytes, signature):
    count = struct.unpack(">I", profile_bytes[128:132])[0]
    for i in range(count):
        sig, offset, size = struct.unpack(">4sII", profile_bytes[132 + 12 * i:144 + 12 * i])
        if sig == signature:
            return profile_bytes[offset:offset + size]
    raise KeyError(signature)


if __name__ == "__main__":
    icc_seeds()
    support_seeds()
    template_seeds()
    image_seeds()
