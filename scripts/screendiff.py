#!/usr/bin/python3
"""Prints, in one line, how a screenshot differs from a reference one: nothing, their sizes,
or how many pixels differ, by how much at most, and the box that holds them. Needs python3-pil.
Exits 0 whatever it finds: the line is a report, not a verdict."""

import argparse

from PIL import Image, ImageChops


def difference(reference_path, other_path):
    reference = Image.open(reference_path).convert("RGB")
    other = Image.open(other_path).convert("RGB")
    if reference.size != other.size:
        return "the sizes differ: %dx%d against %dx%d" % (other.size + reference.size)
    delta = ImageChops.difference(reference, other)
    box = delta.getbbox()
    if box is None:
        return "identical, %dx%d pixels" % reference.size
    differing = sum(1 for pixel in delta.getdata() if pixel != (0, 0, 0))
    largest = max(high for _, high in delta.getextrema())
    total = reference.size[0] * reference.size[1]
    return "%d of %d pixels differ (%.2f%%), by at most %d in a channel, within x %d..%d, y %d..%d" % (
        differing, total, 100.0 * differing / total, largest, box[0], box[2] - 1, box[1], box[3] - 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("label")
    parser.add_argument("reference")
    parser.add_argument("screenshot")
    args = parser.parse_args()
    print("%s: %s" % (args.label, difference(args.reference, args.screenshot)))


if __name__ == "__main__":
    main()
