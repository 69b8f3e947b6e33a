#!/usr/bin/python3
"""Other people's code on our files, for the tests of the image and volume formats.

Writes the keyword-header images of a synthetic scan again as TIFF files (tifffile) or as an
HDF5 file in the DataExchange layout (h5py), and reads the volumes the program writes with
tifffile, h5py and VTK's MetaImage reader, so that the tests can compare them with the raw
volume.

  formats_client.py modules MODULE...            exit 3 when a module is missing
  formats_client.py tiff SCAN [--stack NAME] [--tiled] [--compress] [--short-page N]
  formats_client.py hdf5 SCAN NAME [--chunked] [--no-theta] [--theta-step DEG] [--drop N...]
  formats_client.py stack OUT FILE...            keyword-header images as one TIFF stack (.tif)
                                                 or HDF5 dataset /images (.h5)
  formats_client.py read-tiff FILE RAW           the pages one after another as raw floats
  formats_client.py read-hdf5 FILE RAW           /volume as raw floats; prints its attributes
  formats_client.py read-mhd FILE RAW            through vtkMetaImageReader; prints the header
"""
import argparse
import glob
import importlib
import json
import os
import sys

import numpy as np


def read_zlf(path):
    """The image of a keyword-header file: a header of key = value; pairs in braces, the pixels
    right after the byte that follows the closing brace."""
    data = open(path, "rb").read()
    start = data.index(b"{")
    end = data.index(b"}", start)
    pairs = {}
    for pair in data[start + 1:end].decode("ascii").split(";"):
        if "=" in pair:
            key, value = pair.split("=", 1)
            pairs[key.strip().upper()] = value.strip().upper()
    types = {"FLOAT": "f4", "REAL": "f4", "UNSIGNEDSHORT": "u2", "SIGNEDSHORT": "i2",
             "UNSIGNEDINTEGER": "u4", "SIGNEDINTEGER": "i4"}
    order = ">" if pairs.get("BYTEORDER") == "HIGHBYTEFIRST" else "<"
    dtype = np.dtype(order + types[pairs["DATATYPE"]])
    width, height = int(pairs["DIM_1"]), int(pairs["DIM_2"])
    pixels = np.frombuffer(data, dtype, width * height, end + 2)
    return pixels.reshape(height, width).astype(dtype.newbyteorder("="))


def projections(scan):
    names = sorted(glob.glob(os.path.join(scan, "proj_*.zlf")))
    return np.stack([read_zlf(name) for name in names])


def write_tiff(args):
    import tifffile
    options = {}
    if args.tiled:
        options["tile"] = (16, 16)
    if args.compress:
        options["compression"] = "zlib"
        options["predictor"] = True
    stack = projections(args.scan)
    if args.stack:
        pages = list(stack)
        if args.short_page is not None:
            pages[args.short_page] = pages[args.short_page][:-1, :]
        with tifffile.TiffWriter(os.path.join(args.scan, args.stack)) as tif:
            for page in pages:
                tif.write(page, contiguous=False, **options)
    else:
        for name in sorted(glob.glob(os.path.join(args.scan, "proj_*.zlf"))):
            tifffile.imwrite(name[:-4] + ".tif", read_zlf(name), **options)
    for name in ("background", "flat"):
        tifffile.imwrite(os.path.join(args.scan, name + ".tif"),
                         read_zlf(os.path.join(args.scan, name + ".zlf")), **options)


def write_hdf5(args):
    import h5py
    data = projections(args.scan)
    keep = [j for j in range(len(data)) if j not in set(args.drop)]
    dark = read_zlf(os.path.join(args.scan, "background.zlf"))
    white = read_zlf(os.path.join(args.scan, "flat.zlf"))
    options = {"chunks": (1, 2, data.shape[2]), "compression": "gzip"} if args.chunked else {}
    with h5py.File(os.path.join(args.scan, args.name), "w") as f:
        f.create_dataset("/exchange/data", data=data[keep], **options)
        # Two images each whose mean is the keyword-header image, value for value.
        f.create_dataset("/exchange/data_white", data=np.stack([white - 1, white + 1]))
        f.create_dataset("/exchange/data_dark", data=np.stack([dark + 1, dark - 1]))
        if not args.no_theta:
            theta = np.arange(len(data), dtype=np.float64) * args.theta_step
            f.create_dataset("/exchange/theta", data=theta[keep].astype(np.float32))


def write_stack(args):
    images = np.stack([read_zlf(name) for name in args.files])
    if args.out.endswith(".h5"):
        import h5py
        with h5py.File(args.out, "w") as f:
            f.create_dataset("/images", data=images)
    else:
        import tifffile
        with tifffile.TiffWriter(args.out) as tif:
            for image in images:
                tif.write(image, contiguous=False)


def read_tiff(args):
    import tifffile
    with tifffile.TiffFile(args.file) as tif:
        pages = [page.asarray() for page in tif.pages]
        print(json.dumps({"pages": len(pages), "bigtiff": tif.is_bigtiff,
                          "dtype": str(pages[0].dtype), "shape": list(pages[0].shape)}))
    np.stack(pages).astype("<f4").tofile(args.raw)


def read_hdf5(args):
    import h5py
    with h5py.File(args.file, "r") as f:
        volume = f["/volume"]
        attributes = {key: (value.decode() if isinstance(value, bytes) else value.tolist())
                      for key, value in volume.attrs.items()}
        print(json.dumps({"shape": list(volume.shape), "dtype": str(volume.dtype),
                          "attributes": attributes}))
        volume[...].astype("<f4").tofile(args.raw)


def read_mhd(args):
    import vtk
    from vtk.util import numpy_support
    reader = vtk.vtkMetaImageReader()
    reader.SetFileName(args.file)
    reader.Update()
    image = reader.GetOutput()
    scalars = numpy_support.vtk_to_numpy(image.GetPointData().GetScalars())
    print(json.dumps({"dimensions": list(image.GetDimensions()),
                      "spacing": list(image.GetSpacing()), "origin": list(image.GetOrigin()),
                      "type": image.GetScalarTypeAsString()}))
    scalars.astype("<f4").tofile(args.raw)


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="command", required=True)
    modules = commands.add_parser("modules")
    modules.add_argument("names", nargs="+")
    tiff = commands.add_parser("tiff")
    tiff.add_argument("scan")
    tiff.add_argument("--stack")
    tiff.add_argument("--tiled", action="store_true")
    tiff.add_argument("--compress", action="store_true")
    tiff.add_argument("--short-page", type=int)
    hdf5 = commands.add_parser("hdf5")
    hdf5.add_argument("scan")
    hdf5.add_argument("name")
    hdf5.add_argument("--chunked", action="store_true")
    hdf5.add_argument("--no-theta", action="store_true")
    hdf5.add_argument("--theta-step", type=float, default=0.0)
    hdf5.add_argument("--drop", type=int, nargs="*", default=[])
    stack = commands.add_parser("stack")
    stack.add_argument("out")
    stack.add_argument("files", nargs="+")
    for name in ("read-tiff", "read-hdf5", "read-mhd"):
        reader = commands.add_parser(name)
        reader.add_argument("file")
        reader.add_argument("raw")
    args = parser.parse_args()
    if args.command == "modules":
        missing = []
        for name in args.names:
            try:
                importlib.import_module(name)
            except ImportError:
                missing.append(name)
        if missing:
            print("missing Python modules: " + " ".join(missing))
            return 3
        return 0
    {"tiff": write_tiff, "hdf5": write_hdf5, "stack": write_stack, "read-tiff": read_tiff, "read-hdf5": read_hdf5,
     "read-mhd": read_mhd}[args.command](args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
