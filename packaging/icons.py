"""The program's icons at the sizes a desktop asks for, from the pixel-art
icons under assets/ (16, 32 and 48 pixels). A size that does not exist is the
largest icon that divides it, scaled up by nearest neighbour, so every source
pixel becomes a square block and nothing is blurred.

usage: icons.py png ASSETS_DIR SIZE OUT.png
       icons.py ico ASSETS_DIR OUT.ico       (16, 32, 48 and 256 in one file)"""

import os
import sys

from PIL import Image

SIZES = (16, 32, 48)


def icon(assets, size):
    if size in SIZES:
        return Image.open(os.path.join(assets, f"icon{size}.png")).convert("RGBA")
    source = max((s for s in SIZES if size % s == 0), default=None)
    if source is None:
        raise SystemExit(f"no icon divides {size}")
    small = Image.open(os.path.join(assets, f"icon{source}.png")).convert("RGBA")
    return small.resize((size, size), Image.NEAREST)


def write(image, out, **kw):
    # Written whole or not at all: a build stopped half-way leaves no torn file.
    part = out + ".part"
    image.save(part, **kw)
    os.replace(part, out)


def main(argv):
    if len(argv) == 5 and argv[1] == "png":
        write(icon(argv[2], int(argv[3])), argv[4], format="PNG")
    elif len(argv) == 4 and argv[1] == "ico":
        images = [icon(argv[2], s) for s in (256, *SIZES)]
        write(images[0], argv[3], format="ICO", sizes=[i.size for i in images],
              append_images=images[1:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
