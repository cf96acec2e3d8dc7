#!/usr/bin/env python3
"""Packs one folder into a ZIP whose bytes depend only on the files' content and names.

Usage: release_zip.py PARENT TOP OUT.zip
Packs PARENT/TOP as TOP/... : the entries sorted by name, folders before their content, every
entry dated SOURCE_DATE_EPOCH (UTC; ZIP cannot date before 1980), folders 0755 and files 0644
(0755 for the Windows programs and DLLs), deflated at one fixed level.
"""
import os
import sys
import time
import zipfile


def entry(name, epoch, mode):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, 315532800))[:6])
    info.create_system = 3  # Unix: the modes below are read from external_attr
    info.external_attr = mode << 16
    return info


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    parent, top, out = sys.argv[1:]
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    names = []
    for folder, dirs, files in os.walk(os.path.join(parent, top)):
        relative = os.path.relpath(folder, parent)
        names.append(relative + "/")
        names.extend(os.path.join(relative, f) for f in files)
    temporary = out + ".partial"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in sorted(names):
            if name.endswith("/"):
                info = entry(name, epoch, 0o40755)
                info.external_attr |= 0x10  # the MS-DOS folder attribute
                archive.writestr(info, b"")
                continue
            with open(os.path.join(parent, name), "rb") as f:
                data = f.read()
            program = name.endswith((".dll", ".exe"))
            info = entry(name, epoch, 0o100755 if program else 0o100644)
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(temporary, out)


if __name__ == "__main__":
    main()
