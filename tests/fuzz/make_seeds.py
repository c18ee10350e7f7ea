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
