"""Pictures for the invisible-chrome generator: PNG, 16-bit bitmap and RS3
.tgz reading and writing, smooth stretching and source-over drawing, with
the standard library only (zlib and struct).

A .tgz is one zlib stream of an 18-byte TGA header and ARGB1555 words, top
row first; the editor's own codec writes and reads the same bytes.
"""

import array
import struct
import sys
import zlib

MAX_TGZ_BYTES = 64 * 1024 * 1024
MAX_PIXELS = 16 * 1024 * 1024  # 4096 x 4096: far beyond any dash, and pure Python


class Picture:
    """Width, height and straight (not premultiplied) RGBA bytes."""

    def __init__(self, width, height, rgba=None):
        self.width = width
        self.height = height
        self.rgba = rgba if rgba is not None else bytearray(width * height * 4)
        self.offset = (0, 0)  # a PNG's oFFs position in pixels, where it has one


def png_chunks(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos = 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length:
            raise ValueError("truncated PNG chunk")
        yield kind, body
        pos += 12 + length
        if kind == b"IEND":
            return
    raise ValueError("PNG without IEND")


def unfilter(raw, offset, rows, stride, bpp):
    """Undoes the per-row PNG filters; returns the rows and the next offset."""
    out = bytearray(rows * stride)
    prev = bytearray(stride)
    for y in range(rows):
        if offset + 1 + stride > len(raw):
            raise ValueError("truncated PNG data")
        kind = raw[offset]
        line = bytearray(raw[offset + 1:offset + 1 + stride])
        offset += 1 + stride
        if kind == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, prev))
        elif kind == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - bpp] if i >= bpp else 0
                b = prev[i]
                c = prev[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        elif kind != 0:
            raise ValueError("bad PNG filter type %d" % kind)
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return out, offset


def png_samples(rows, width, height, depth, channels):
    """The rows as one sample list of 0..255 values per pixel channel."""
    if depth == 8:
        return rows
    stride = (width * channels * depth + 7) // 8
    out = bytearray(width * height * channels)
    k = 0
    for y in range(height):
        line = rows[y * stride:(y + 1) * stride]
        if depth == 16:
            out[k:k + width * channels] = line[0::2][:width * channels]
            k += width * channels
            continue
        per_byte = 8 // depth
        top = (1 << depth) - 1
        for i in range(width * channels):
            byte = line[i // per_byte]
            shift = 8 - depth * (i % per_byte + 1)
            out[k] = (byte >> shift) & top
            k += 1
    return out


def decode_png(data):
    header = None
    palette = b""
    trns = b""
    idat = bytearray()
    placed = (0, 0)
    for kind, body in png_chunks(data):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body[:13])
        elif kind == b"oFFs" and len(body) >= 9 and body[8] == 0:
            placed = struct.unpack(">ii", body[:8])
        elif kind == b"PLTE":
            palette = body
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
    if header is None:
        raise ValueError("PNG without IHDR")
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if channels is None or depth not in (1, 2, 4, 8, 16) or width < 1 or height < 1:
        raise ValueError("unsupported PNG layout")
    if width * height > MAX_PIXELS:
        raise ValueError("PNG too large")
    inflater = zlib.decompressobj()
    raw = inflater.decompress(bytes(idat), (width * channels * 2 + 1) * height * 2 + 64)
    bpp = max(1, channels * depth // 8)
    picture = Picture(width, height)
    passes = [(0, 0, 1, 1)] if interlace == 0 else [
        (0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    offset = 0
    for x0, y0, dx, dy in passes:
        pw = (width - x0 + dx - 1) // dx
        ph = (height - y0 + dy - 1) // dy
        if pw <= 0 or ph <= 0:
            continue
        stride = (pw * channels * depth + 7) // 8
        rows, offset = unfilter(raw, offset, ph, stride, bpp)
        samples = png_samples(rows, pw, ph, depth, channels)
        if depth < 8 and colour in (0, 4):
            scale = 255 // ((1 << depth) - 1)
            samples = bytearray(v * scale for v in samples)
        place_samples(picture, samples, pw, ph, x0, y0, dx, dy, colour, depth, palette, trns)
    picture.offset = placed
    return picture


def place_samples(picture, s, pw, ph, x0, y0, dx, dy, colour, depth, palette, trns):
    out = picture.rgba
    key = None
    if trns and colour == 0 and len(trns) >= 2:
        key = struct.unpack(">H", trns[:2])[0]
        key = key if depth < 8 else key >> (8 if depth == 16 else 0)
    if trns and colour == 2 and len(trns) >= 6:
        key = struct.unpack(">HHH", trns[:6])
        if depth == 16:
            key = tuple(v >> 8 for v in key)
    if dx == 1 and (colour == 6 or (colour == 2 and key is None)):
        place_rows(picture, s, pw, ph, y0, dy, colour)
        return
    i = 0
    for py in range(ph):
        base = ((y0 + py * dy) * picture.width + x0) * 4
        for px in range(pw):
            o = base + px * dx * 4
            if colour == 6:
                out[o:o + 4] = s[i:i + 4]
                i += 4
            elif colour == 2:
                r, g, b = s[i], s[i + 1], s[i + 2]
                out[o:o + 4] = bytes((r, g, b, 0 if key == (r, g, b) else 255))
                i += 3
            elif colour == 0:
                v = s[i]
                raw = v if depth >= 8 else v * ((1 << depth) - 1) // 255
                out[o:o + 4] = bytes((v, v, v, 0 if key is not None and raw == key else 255))
                i += 1
            elif colour == 4:
                out[o:o + 4] = bytes((s[i], s[i], s[i], s[i + 1]))
                i += 2
            else:
                n = s[i]
                i += 1
                if 3 * n + 3 > len(palette):
                    raise ValueError("PNG palette index out of range")
                alpha = trns[n] if n < len(trns) else 255
                out[o:o + 4] = bytes((palette[3 * n], palette[3 * n + 1], palette[3 * n + 2], alpha))


def place_rows(picture, s, pw, ph, y0, dy, colour):
    """Whole rows of a true-colour image at once: most PNGs take this way."""
    out = picture.rgba
    channels = 4 if colour == 6 else 3
    for py in range(ph):
        line = s[py * pw * channels:(py + 1) * pw * channels]
        base = (y0 + py * dy) * picture.width * 4
        if channels == 4:
            out[base:base + pw * 4] = line
            continue
        row = bytearray(b"\xff" * (pw * 4))
        row[0::4] = line[0::3]
        row[1::4] = line[1::3]
        row[2::4] = line[2::3]
        out[base:base + pw * 4] = row


def encode_png(picture, with_alpha=True):
    w, h, src = picture.width, picture.height, picture.rgba
    rows = bytearray()
    for y in range(h):
        rows.append(0)
        line = src[y * w * 4:(y + 1) * w * 4]
        if with_alpha:
            rows += line
        else:
            rgb = bytearray(w * 3)
            rgb[0::3] = line[0::4]
            rgb[1::3] = line[1::4]
            rgb[2::3] = line[2::4]
            rows += rgb

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", w, h, 8, 6 if with_alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 6))
            + chunk(b"IEND", b""))


def decode_bmp565(data):
    """16-bit RGB565 bit-field bitmaps, the other form of RS3 backgrounds."""
    if len(data) < 70 or data[:2] != b"BM":
        raise ValueError("not a 16-bit bitmap")
    offset, header_size, width, height = struct.unpack("<I I i i", data[10:26])
    bits, compression = struct.unpack("<H I", data[28:34])
    masks = struct.unpack("<III", data[54:66])
    if header_size < 40 or bits != 16 or compression != 3 or width <= 0 or height == 0 \
            or masks != (0xF800, 0x07E0, 0x001F):
        raise ValueError("not a 16-bit RGB565 bitmap")
    rows = abs(height)
    stride = ((width * 16 + 31) // 32) * 4
    if width * rows > MAX_PIXELS or offset + rows * stride > len(data):
        raise ValueError("truncated bitmap")
    picture = Picture(width, rows)
    out = picture.rgba
    for y in range(rows):
        src = offset + (y if height < 0 else rows - 1 - y) * stride
        for x in range(width):
            v = data[src + 2 * x] | (data[src + 2 * x + 1] << 8)
            r5, g6, b5 = v >> 11, (v >> 5) & 63, v & 31
            o = (y * width + x) * 4
            out[o:o + 4] = bytes(((r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2), 255))
    return picture


def decode_tgz(data):
    """RS3's .tgz: one zlib stream of an 18-byte TGA header and ARGB1555 words."""
    inflater = zlib.decompressobj()
    raw = inflater.decompress(data, MAX_TGZ_BYTES + 1)
    if len(raw) > MAX_TGZ_BYTES or not inflater.eof:
        raise ValueError("damaged or oversized .tgz")
    if len(raw) < 18:
        raise ValueError("short .tgz")
    width, height = struct.unpack("<HH", raw[12:16])
    if width == 0 or height == 0 or len(raw) != 18 + width * height * 2:
        raise ValueError("bad .tgz size")
    if width * height > MAX_PIXELS:
        raise ValueError(".tgz too large")
    picture = Picture(width, height)
    out = picture.rgba
    for i in range(width * height):
        v = raw[18 + 2 * i] | (raw[19 + 2 * i] << 8)
        r, g, b = (v >> 10) & 31, (v >> 5) & 31, v & 31
        out[4 * i:4 * i + 4] = bytes(((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2),
                                      255 if v & 0x8000 else 0))
    return picture


def encode_tgz(picture, opaque):
    """Backgrounds are always opaque; mask art keeps alpha >= 128 as opaque."""
    w, h, src = picture.width, picture.height, picture.rgba
    alphas = (255,) * (w * h) if opaque else src[3::4]
    words = array.array("H", [(0x8000 if a >= 128 else 0) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                              for r, g, b, a in zip(src[0::4], src[1::4], src[2::4], alphas)])
    if sys.byteorder == "big":
        words.byteswap()  # the words are stored low byte first
    header = bytes((0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0)) + struct.pack("<HH", w, h) + bytes((16, 0x21))
    return zlib.compress(header + words.tobytes())


def read_picture(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return decode_png(data)
    if data[:2] == b"BM":
        return decode_bmp565(data)
    if path.lower().endswith(".tgz"):
        return decode_tgz(data)
    raise ValueError("not a PNG, 16-bit bitmap or .tgz picture")


def axis_weights(src, dst, start, end):
    """Sample positions for stretching src pixels over dst, for the target
    pixels start..end-1: (i0, i1, frac) each."""
    table = []
    for d in range(start, end):
        pos = (d + 0.5) * src / dst - 0.5
        i0 = max(0, min(src - 1, int(pos // 1)))
        frac = min(1.0, max(0.0, pos - i0))
        table.append((i0, min(src - 1, i0 + 1), frac))
    return table


def premultiplied(picture):
    src = picture.rgba
    pre = [0.0] * len(src)
    for i in range(0, len(src), 4):
        a = src[i + 3] / 255.0
        pre[i] = src[i] * a
        pre[i + 1] = src[i + 1] * a
        pre[i + 2] = src[i + 2] * a
        pre[i + 3] = src[i + 3]
    return pre


def sample(pre, sw, xs, ys, out, w):
    """Bilinear samples of premultiplied pixels into out (w per row)."""
    o = 0
    for y0, y1, fy in ys:
        r0, r1 = y0 * sw * 4, y1 * sw * 4
        for x0, x1, fx in xs:
            a0, a1 = x0 * 4, x1 * 4
            for c in range(4):
                top = pre[r0 + a0 + c] * (1 - fx) + pre[r0 + a1 + c] * fx
                bottom = pre[r1 + a0 + c] * (1 - fx) + pre[r1 + a1 + c] * fx
                out[o + c] = top * (1 - fy) + bottom * fy
            o += 4
    return out


def stretched_premultiplied(picture, w, h):
    """The picture stretched to w x h, smooth, as premultiplied floats."""
    pre = premultiplied(picture)
    if (picture.width, picture.height) == (w, h):
        return pre
    xs = axis_weights(picture.width, w, 0, w)
    ys = axis_weights(picture.height, h, 0, h)
    return sample(pre, picture.width, xs, ys, [0.0] * (w * h * 4), w)


def draw_over(page, picture, left, top, w, h):
    """Source-over drawing of picture stretched over (left, top, w, h); only
    the part on the page is computed, however large the rectangle."""
    if w < 1 or h < 1:
        return
    if (picture.width, picture.height) == (w, h):
        draw_unscaled(page, picture, left, top)
        return
    x0, x1 = max(0, -left), min(w, page.width - left)
    y0, y1 = max(0, -top), min(h, page.height - top)
    if x0 >= x1 or y0 >= y1:
        return
    xs = axis_weights(picture.width, w, x0, x1)
    ys = axis_weights(picture.height, h, y0, y1)
    vw = x1 - x0
    flat = sample(premultiplied(picture), picture.width, xs, ys, [0.0] * (vw * (y1 - y0) * 4), vw)
    dst, pw = page.rgba, page.width
    for y in range(y1 - y0):
        d = ((top + y0 + y) * pw + left + x0) * 4
        s = y * vw * 4
        for _ in range(vw):
            a = flat[s + 3] / 255.0
            if a > 0.0:
                for c in range(3):
                    dst[d + c] = max(0, min(255, int(flat[s + c] + dst[d + c] * (1 - a) + 0.5)))
                dst[d + 3] = 255
            d += 4
            s += 4


def draw_unscaled(page, picture, left, top):
    """draw_over at the picture's own size: opaque runs are copied whole,
    which is most of a background or a box."""
    w, src, dst, pw = picture.width, picture.rgba, page.rgba, page.width
    x0, x1 = max(0, -left), min(w, pw - left)
    if x0 >= x1:
        return
    opaque = b"\xff" * (x1 - x0)
    for y in range(picture.height):
        py = top + y
        if py < 0 or py >= page.height:
            continue
        row = src[(y * w + x0) * 4:(y * w + x1) * 4]
        d0 = (py * pw + left + x0) * 4
        if row[3::4] == opaque:
            dst[d0:d0 + len(row)] = row
            continue
        for i in range(0, len(row), 4):
            a = row[i + 3]
            if a == 0:
                continue
            d = d0 + i
            if a == 255:
                dst[d:d + 4] = row[i:i + 4]
                continue
            for c in range(3):
                dst[d + c] = (row[i + c] * a + dst[d + c] * (255 - a) + 127) // 255
            dst[d + 3] = 255


def fill_rect(page, left, top, w, h, argb):
    a, r, g, b = (argb >> 24) & 255, (argb >> 16) & 255, (argb >> 8) & 255, argb & 255
    if a == 0 or w < 1 or h < 1:
        return
    swatch = Picture(1, 1, bytearray((r, g, b, a)))
    draw_over(page, swatch, left, top, w, h)


def shrunk(picture, w, h):
    """An area-averaged smaller copy, for the quarter-size preview."""
    out = Picture(w, h)
    sw, sh, src = picture.width, picture.height, picture.rgba
    for y in range(h):
        ya, yb = y * sh // h, max(y * sh // h + 1, (y + 1) * sh // h)
        for x in range(w):
            xa, xb = x * sw // w, max(x * sw // w + 1, (x + 1) * sw // w)
            total = [0, 0, 0]
            for yy in range(ya, yb):
                row = yy * sw * 4
                for c in range(3):
                    total[c] += sum(src[row + xa * 4 + c:row + xb * 4:4])
            n = (yb - ya) * (xb - xa)
            o = (y * w + x) * 4
            out.rgba[o:o + 4] = bytes((total[0] // n, total[1] // n, total[2] // n, 255))
    return out


def picture_size(path):
    """(width, height) of a picture, read from a PNG's header without
    decoding it; None when it cannot be read."""
    try:
        with open(path, "rb") as f:
            head = f.read(24)
        if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR":
            width, height = struct.unpack(">II", head[16:24])
            return (width, height) if width and height else None
        picture = read_picture(path)
        return picture.width, picture.height
    except (OSError, ValueError, zlib.error, struct.error):
        return None
