"""read_image and write_image: every pixel type and byte order, files written by others, and
files that cannot be read or written."""
import numpy as np
import pytest

import rav_vuzav as rav

TYPES = {"float32": "FLOAT", "int16": "SignedShort", "uint16": "UnsignedShort",
         "int32": "SignedInteger", "uint32": "UnsignedInteger"}
# Values at the ends of each type's range, and one that a float cannot hold exactly.
VALUES = {"float32": [-1.5e38, -0.0, 1e-42, 3.25], "int16": [-32768, -1, 0, 32767],
          "uint16": [0, 1, 32768, 65535], "int32": [-2**31, -1, 16777217, 2**31 - 1],
          "uint32": [0, 2**31, 16777217, 2**32 - 1]}


def header_text(path):
    data = path.read_bytes()
    return data[:1024].decode("ascii")


@pytest.mark.parametrize("dtype", TYPES)
@pytest.mark.parametrize("byte_order, marker", [("little", "<"), ("big", ">")])
def test_every_type_and_byte_order_round_trips(tmp_path, dtype, byte_order, marker):
    image = np.array(VALUES[dtype] * 3, dtype=dtype).reshape(3, 4)
    path = tmp_path / "image.zlf"
    rav.write_image(str(path), image, byte_order=byte_order)
    header = header_text(path)
    assert f"DataType = {TYPES[dtype]};" in header
    assert ("HighByteFirst" if byte_order == "big" else "LowByteFirst") in header
    assert header.endswith("}\n")
    # The pixels on disk are the values in that byte order, nothing else.
    assert path.read_bytes()[1024:] == image.astype(np.dtype(dtype).newbyteorder(marker)).tobytes()
    back = rav.read_image(str(path))
    assert back.dtype == np.float32 and back.shape == (3, 4)
    assert np.array_equal(back, image.astype(np.float32))


def test_an_image_written_by_hand_is_read(tmp_path):
    # Lower-case keys, blanks and line ends anywhere, a header before the one of image 1, a
    # keyword the reader does not know: the pixels are 4-byte big-endian signed integers.
    pixels = np.array([[-7, 0, 70000], [1, 2, 3]], dtype=">i4")
    first = b"{ image = 2 ; size = 24 ; dim_1 = 3; dim_2 = 2 ;}\n" + bytes(24)
    second = (b"{\n Image = 1 ;\n DataType = SignedInteger;\n ByteOrder = HighByteFirst ;\n"
              b" dim_1 = 3 ;\n Dim_2 = 2;\n Comment = none;\n}\n")
    path = tmp_path / "hand.zlf"
    path.write_bytes(first + second + pixels.tobytes() + b" " * 1024)
    assert np.array_equal(rav.read_image(str(path)), pixels.astype(np.float32))


def test_each_file_is_read_afresh(tmp_path):
    # A header without ByteOrder is little-endian, whatever the file read before said.
    big = tmp_path / "big.zlf"
    rav.write_image(str(big), np.array([[1.0, 2.0]], np.float32), byte_order="big")
    plain = tmp_path / "plain.zlf"
    pixels = np.array([[5.5, -1.0]], "<f4")
    plain.write_bytes(b"{ Image = 1; DataType = FLOAT; Dim_1 = 2; Dim_2 = 1; }\n" +
                      pixels.tobytes() + b" " * 1024)
    assert np.array_equal(rav.read_image(str(big)), [[1.0, 2.0]])
    assert np.array_equal(rav.read_image(str(plain)), pixels)


@pytest.mark.parametrize("image, dtype, stored", [
    (np.arange(6).reshape(2, 3), None, "SignedInteger"),      # int64
    (np.arange(6, dtype=np.uint8).reshape(2, 3), None, "UnsignedShort"),
    (np.arange(6, dtype=np.int8).reshape(2, 3), None, "SignedShort"),
    (np.linspace(0, 1, 6).reshape(2, 3), None, "FLOAT"),      # float64
    (np.array([[0.4, 0.6, 2.5]]), "uint16", "UnsignedShort"),  # rounded: 0, 1, 2
])
def test_the_stored_type_follows_the_array(tmp_path, image, dtype, stored):
    path = tmp_path / "typed.zlf"
    rav.write_image(str(path), image, dtype=dtype)
    assert f"DataType = {stored};" in header_text(path)
    expected = np.rint(image) if dtype else image
    assert np.array_equal(rav.read_image(str(path)), expected.astype(np.float32))


@pytest.mark.parametrize("image, keywords, error, message", [
    (np.array([[70000]]), {"dtype": "uint16"}, ValueError, "do not fit uint16"),
    (np.array([[2**40]]), {}, ValueError, "do not fit int32"),
    (np.array([[np.nan]]), {"dtype": "int16"}, ValueError, "not finite"),
    (np.ones((2, 2)), {"dtype": "float64"}, ValueError, "stores float32, int16"),
    (np.ones((2, 2, 2)), {}, ValueError, "2-D array"),
    (np.ones((0, 2)), {}, ValueError, "at least one pixel"),
    (np.ones((2, 2)), {"byte_order": "middle"}, ValueError, "byte_order must be"),
    (np.ones((2, 2), complex), {}, TypeError, "real numbers"),
])
def test_what_cannot_be_written(tmp_path, image, keywords, error, message):
    with pytest.raises(error, match=message):
        rav.write_image(str(tmp_path / "no.zlf"), image, **keywords)
    assert not (tmp_path / "no.zlf").exists()


def test_files_that_cannot_be_opened(tmp_path):
    with pytest.raises(FileNotFoundError, match="cannot open the image"):
        rav.read_image(str(tmp_path / "missing.zlf"))
    with pytest.raises(IsADirectoryError):
        rav.read_image(str(tmp_path))
    with pytest.raises(FileNotFoundError, match="cannot create the image"):
        rav.write_image(str(tmp_path / "no" / "such.zlf"), np.ones((2, 2)))


@pytest.mark.parametrize("content, message", [
    (b"{ Image = 1; Compression = JPEG; DataType = FLOAT; Dim_1 = 2; Dim_2 = 1; }\n",
     "compression"),
    (b"{ Image = 1; DataType = COMPLEX; Dim_1 = 2; Dim_2 = 1; }\n", "unsupported"),
    (b"{ Image = 1; Dim_1 = 2; Dim_2 = 1; }\n", "No data type is known"),
    (b"{ Image = 3; DataType = FLOAT; Dim_1 = 2; Dim_2 = 1; }\n", "has not been found"),
    (b"no header at all", "Error in reading start of header"),
])
def test_files_that_hold_no_readable_image(tmp_path, content, message):
    path = tmp_path / "bad.zlf"
    path.write_bytes(content.ljust(2048, b" "))
    with pytest.raises(ValueError, match=message):
        rav.read_image(str(path))


def test_a_truncated_image(tmp_path):
    path = tmp_path / "short.zlf"
    rav.write_image(str(path), np.ones((64, 64), np.float32))
    path.write_bytes(path.read_bytes()[:-100])
    with pytest.raises(ValueError, match="truncated"):
        rav.read_image(str(path))
    with pytest.raises(ValueError, match="no image size"):
        path.write_bytes(b"{ Image = 1; DataType = FLOAT; }\n".ljust(2048))
        rav.read_image(str(path))
