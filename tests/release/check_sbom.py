#!/usr/bin/env python3
"""Checks a release ZIP's inventory against the archive itself.

Usage: check_sbom.py RELEASE.zip
- every file of the archive is listed with its SHA-1 and SHA-256, and nothing else is;
- the package verification code matches the files;
- the DLL links each expected component (relationship STATIC_LINK), each with one Debian version
  and a licence;
- the libcurl and OpenSSL versions in the DLL's version resource (what `qmtsr --version` prints)
  are the inventory's: the Debian versions equal, the upstream numbers their start.
Exits non-zero with one line per fault.
"""
import hashlib
import json
import re
import subprocess
import sys
import tempfile
import zipfile

DOCUMENT = "NRDEnrollmentCPPWrapper.spdx.json"
DLL = "bin/NRDEnrollmentCPPWrapper.dll"
EXPECTED = ["libcurl", "OpenSSL libcrypto", "RapidJSON", "mingw-w64 runtime",
            "libstdc++ and libgcc", "winpthreads"]
# Resource value -> (inventory component, Debian source package named in the value)
RESOURCE_VERSIONS = {"LibcurlVersion": ("libcurl", "curl"),
                     "OpenSSLVersion": ("OpenSSL libcrypto", "openssl")}

faults = []


def fault(text):
    faults.append(text)


def resource_values(dll_bytes, arch):
    """String values of the DLL's version resource, read with binutils' windres."""
    with tempfile.NamedTemporaryFile(suffix=".dll") as f:
        f.write(dll_bytes)
        f.flush()
        rc = subprocess.run([f"{arch}-w64-mingw32-windres", "-i", f.name, "-O", "rc"],
                            check=True, capture_output=True, text=True).stdout
    return dict(re.findall(r'VALUE "([^"]+)", "([^"]*)', rc))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    path = sys.argv[1]
    arch = re.search(r"-windows-(i686|x86_64)\.zip$", path).group(1)
    with zipfile.ZipFile(path) as archive:
        contents = {i.filename: archive.read(i) for i in archive.infolist() if not i.is_dir()}
    top = next(iter(contents)).split("/")[0]
    contents = {name[len(top) + 1:]: data for name, data in contents.items()}
    if DOCUMENT not in contents:
        sys.exit(f"{path} holds no {DOCUMENT}")
    document = json.loads(contents.pop(DOCUMENT))

    if document.get("spdxVersion") != "SPDX-2.3" or document.get("dataLicense") != "CC0-1.0":
        fault("not an SPDX 2.3 document")
    listed = {f["fileName"][2:]: {c["algorithm"]: c["checksumValue"] for c in f["checksums"]}
              for f in document["files"]}
    for name in sorted(set(listed) | set(contents)):
        if name not in contents:
            fault(f"the inventory lists {name}, which the archive lacks")
        elif name not in listed:
            fault(f"the inventory does not list {name}")
        else:
            for algorithm, function in (("SHA1", hashlib.sha1), ("SHA256", hashlib.sha256)):
                if listed[name].get(algorithm) != function(contents[name]).hexdigest():
                    fault(f"{algorithm} of {name} differs from the inventory's")
    main_package = document["packages"][0]
    code = hashlib.sha1("".join(sorted(hashlib.sha1(d).hexdigest()
                                       for d in contents.values())).encode()).hexdigest()
    if main_package["packageVerificationCode"]["packageVerificationCodeValue"] != code:
        fault("the package verification code does not match the files")

    ids = {f["fileName"][2:]: f["SPDXID"] for f in document["files"]}
    packages = {p["SPDXID"]: p for p in document["packages"]}
    linked_by_dll = {}
    for relation in document["relationships"]:
        if relation["relationshipType"] == "STATIC_LINK" and \
                relation["spdxElementId"] == ids.get(DLL):
            component = packages[relation["relatedSpdxElement"]]
            linked_by_dll[component["name"]] = component
    for name in EXPECTED:
        component = linked_by_dll.get(name)
        if component is None:
            fault(f"the inventory has no STATIC_LINK from {DLL} to {name}")
        elif not re.fullmatch(r"[0-9][^ ]*", component.get("versionInfo", "")) or \
                component.get("licenseDeclared", "NOASSERTION") == "NOASSERTION":
            fault(f"{name} lacks a Debian version or a licence: {component}")

    values = resource_values(contents[DLL], arch)
    for value, (name, source) in RESOURCE_VERSIONS.items():
        text = values.get(value, "")
        match = re.fullmatch(rf"(\S+) \(Debian {source} (\S+)\)", text)
        listed_version = linked_by_dll.get(name, {}).get("versionInfo")
        if not match:
            fault(f"the DLL's {value} is '{text}', not 'UPSTREAM (Debian {source} VERSION)'")
        elif match.group(2) != listed_version:
            fault(f"the DLL carries {name} {match.group(2)}, the inventory {listed_version}")
        elif not listed_version.split(":")[-1].startswith(match.group(1)):
            fault(f"{name}: upstream {match.group(1)} is not that of Debian {listed_version}")

    for line in faults:
        print(f"check_sbom: {line}", file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"check_sbom: {path}: {len(contents)} files, "
          + ", ".join(f"{n} {linked_by_dll[n]['versionInfo']}" for n in EXPECTED))


if __name__ == "__main__":
    main()
