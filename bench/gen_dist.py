#!/usr/bin/env python3
"""Makes the benchmark's distribution: setup.exe and Pictv6.exe of a build, and FOLDERS folders
of FILES pseudo-random files each (random so that no file system or cache squeezes them),
listed in the manifest by one folder record and one pattern record per folder.

    gen_dist.py BUILD_DIR OUT_DIR [--folders 20] [--files 100] [--size 51200]
"""
import argparse
import os
import random
import shutil

parser = argparse.ArgumentParser()
parser.add_argument("build")
parser.add_argument("out")
parser.add_argument("--folders", type=int, default=20)
parser.add_argument("--files", type=int, default=100, help="files per folder")
parser.add_argument("--size", type=int, default=50 * 1024, help="bytes per file")
args = parser.parse_args()

shutil.rmtree(args.out, ignore_errors=True)
os.makedirs(args.out)
for program in ("setup.exe", "Pictv6.exe"):
    shutil.copy2(os.path.join(args.build, program), args.out)

# A fixed seed: every run copies the same bytes.
rng = random.Random(6)
records = ["File Copy: Pictv6.exe", "File Copy: setup.exe>PictvUnInst.exe"]
for f in range(1, args.folders + 1):
    folder = f"Data{f:02d}"
    os.makedirs(os.path.join(args.out, folder))
    for n in range(1, args.files + 1):
        with open(os.path.join(args.out, folder, f"part{n:04d}.dat"), "wb") as out:
            out.write(rng.randbytes(args.size))
    records += [f"Make Dir: {folder}", f"File Copy: {folder}\\*.dat"]

with open(os.path.join(args.out, "PictvUnInst.log"), "w", newline="\r\n") as manifest:
    manifest.write("\n".join(records) + "\n")
