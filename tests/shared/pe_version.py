"""The fixed file version of a Windows image's version resource, read from its bytes."""
import struct

# The signature that opens VS_FIXEDFILEINFO.
FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(image):
    """"a.b.c.d" from the image's bytes; an image without a version resource is an error."""
    fixed = image.find(FIXED_INFO_SIGNATURE)
    assert fixed > 0, "no version resource"
    ms, ls = struct.unpack_from("<II", image, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
