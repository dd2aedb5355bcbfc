#!/usr/bin/env python3
"""Makes the benchmark's distribution: setup.exe and Pictv6.exe of a build, and FOLDERS folders
of FILES pseudo-random files each (random so that no file system or cache squeezes them),
listed in the manifest by one folder record and one pattern record per folder. With --nsis, also
writes the script of an NSIS installer of the same payload (the folders, not the setup's own two
programs), for makensis to build into --nsis-exe.

    gen_dist.py BUILD_DIR OUT_DIR [--folders 20] [--files 100] [--size 51200]
                [--nsis SCRIPT --nsis-exe INSTALLER]
"""
import argparse
import os
import random
import shutil


def folder_names(folders):
    # Zero-padded so that the plain loop, NSIS and the setup program meet the folders in the
    # same order whatever their count.
    width = max(2, len(str(folders)))
    return [f"Data{f:0{width}d}" for f in range(1, folders + 1)]


def manifest_records(folders):
    records = ["File Copy: Pictv6.exe", "File Copy: setup.exe>PictvUnInst.exe"]
    for folder in folders:
        records += [f"Make Dir: {folder}", f"File Copy: {folder}\\*.dat"]
    return records


def nsis_script(dist, folders, installer):
    """The peer installer as plain as NSIS makes one: stored, not compressed, one section that
    unpacks the folders, and an uninstaller that removes the folder whole."""
    lines = [
        "; Written by bench/gen_dist.py for bench/run.sh.",
        "Unicode true",
        "SetCompress off",
        # The payload is random, so no two files share their data; the search for such pairs
        # takes makensis minutes at 20,000 files and changes nothing in the installer.
        "SetDatablockOptimize off",
        'Name "Pictavo bench payload"',
        f'OutFile "{installer}"',
        'InstallDir "$PROGRAMFILES\\NSIS bench"',
        "RequestExecutionLevel user",
        "",
        'Section "Payload"',
        "  SetOutPath $INSTDIR",
    ]
    lines += [f'  File /r "{os.path.join(dist, folder)}"' for folder in folders]
    lines += [
        '  WriteUninstaller "$INSTDIR\\Uninstall.exe"',
        "SectionEnd",
        "",
        'Section "Uninstall"',
        "  RMDir /r $INSTDIR",
        "SectionEnd",
    ]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("out")
    parser.add_argument("--folders", type=int, default=20)
    parser.add_argument("--files", type=int, default=100, help="files per folder")
    parser.add_argument("--size", type=int, default=50 * 1024, help="bytes per file")
    parser.add_argument("--nsis", help="where to write the NSIS script")
    parser.add_argument("--nsis-exe", help="the installer that the NSIS script makes")
    args = parser.parse_args()
    if (args.nsis is None) != (args.nsis_exe is None):
        parser.error("--nsis and --nsis-exe go together")
    if args.folders < 1 or args.files < 1 or args.size < 0:
        parser.error("at least one folder of one file, of no negative size")

    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    for program in ("setup.exe", "Pictv6.exe"):
        shutil.copy2(os.path.join(args.build, program), args.out)

    # A fixed seed: every run copies the same bytes.
    rng = random.Random(6)
    folders = folder_names(args.folders)
    for folder in folders:
        os.makedirs(os.path.join(args.out, folder))
        for n in range(1, args.files + 1):
            with open(os.path.join(args.out, folder, f"part{n:04d}.dat"), "wb") as out:
                out.write(rng.randbytes(args.size))

    with open(os.path.join(args.out, "PictvUnInst.log"), "w", newline="\r\n") as manifest:
        manifest.write("\n".join(manifest_records(folders)) + "\n")

    if args.nsis:
        with open(args.nsis, "w") as script:
            script.write(
                nsis_script(os.path.abspath(args.out), folders, os.path.abspath(args.nsis_exe))
            )


if __name__ == "__main__":
    main()
