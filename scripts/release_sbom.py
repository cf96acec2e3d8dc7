#!/usr/bin/env python3
"""Writes the release's inventory, an SPDX 2.3 JSON document, from what the build used.

What each shipped binary links comes from its link map (the archive members and objects the
linker took) and from the compiler's header dependencies of the objects it links; every such
file is traced to the Debian package it came from: the dependency cache's archives and headers
to the source packages the cache records in its .complete, everything else to the installed
package that owns it (dpkg). A component known only through headers (RapidJSON) is listed too.
A file of no known origin, or a package without a known licence, stops the release: nothing is
listed from memory. The document also gives the SHA-1 and SHA-256 of every file beside it.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import uuid

DOCUMENT_NAME = "NRDEnrollmentCPPWrapper.spdx.json"

# Debian source package -> (component name, SPDX licence expression of what is linked).
COMPONENTS = {
    "curl": ("libcurl", "curl"),
    "openssl": ("OpenSSL libcrypto", "Apache-2.0"),
    "rapidjson": ("RapidJSON", "MIT"),
    "gcc-mingw-w64": ("libstdc++ and libgcc", "GPL-3.0-or-later WITH GCC-exception-3.1"),
    "mingw-w64": ("mingw-w64 runtime", "ZPL-2.1"),
    # mingw-w64's threads library, a component of its own: its own licence and its own advisories.
    "mingw-w64:winpthreads": ("winpthreads", "MIT AND BSD-3-Clause"),
}
WINPTHREADS_FILES = {"libwinpthread.a", "libpthread.a"}

# Files of the dependency cache (scripts/windows-deps.sh) and the source package each comes from.
CACHE_FILES = {
    "lib/libcurl.a": "curl",
    "include/curl/": "curl",
    "lib/libcrypto.a": "openssl",
    "include/openssl/": "openssl",
}


class Origin:
    """Where one linked or included file came from."""

    def __init__(self, source, source_version, binary=None, binary_version=None):
        self.source = source
        self.source_version = source_version
        self.binary = binary
        self.binary_version = binary_version


def fail(message):
    sys.exit(f"release_sbom: {message}")


def digest(path, algorithm):
    h = hashlib.new(algorithm)
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            h.update(block)
    return h.hexdigest()


def linked_inputs(map_path):
    """The archives that gave members and the objects the linker loaded, as written in the map."""
    archives, objects = set(), set()
    # "ARCHIVE(MEMBER)" at the line's start, the referring file after it or on the next line.
    member = re.compile(r"^(\S+\.a)\(([^()\s]+)\)(\s|$)")
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            found = member.match(line)
            if found:
                archives.add(found.group(1))
            elif line.startswith("LOAD ") and re.search(r"\.(o|obj)$", line):
                objects.add(line[5:])
    return archives, objects


def header_dependencies(build):
    """object path (as the link map names it) -> headers the compiler read for it."""
    text = subprocess.run(["ninja", "-C", build, "-t", "deps"], check=True, capture_output=True,
                          text=True).stdout
    deps, current = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace():
            current = deps.setdefault(line.split(": #deps")[0], set())
        elif line.strip() and current is not None:
            current.add(line.strip())
    return deps


def inside(path, folder):
    return os.path.commonpath([os.path.abspath(path), folder]) == folder


def dpkg_owners(paths):
    """path -> owning binary package, for the paths dpkg knows."""
    owners = {}
    if not paths:
        return owners
    result = subprocess.run(["dpkg-query", "-S", *sorted(paths)], capture_output=True, text=True)
    for line in result.stdout.splitlines():
        if line.startswith("diversion ") or ": " not in line:
            continue
        packages, path = line.split(": ", 1)
        owners[path] = packages.split(",")[0].strip()
    return owners


def package_versions(binary):
    out = subprocess.run(
        ["dpkg-query", "-W", "-f", "${Version}\t${source:Package}\t${source:Version}", binary],
        check=True, capture_output=True, text=True).stdout
    version, source, source_version = out.split("\t")
    return version, source, source_version


class Resolver:
    """Traces files to their Debian packages."""

    def __init__(self, deps):
        self.deps = os.path.abspath(deps)
        self.cache_versions = {}
        with open(os.path.join(self.deps, ".complete"), encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    package, version = line.split()
                    self.cache_versions[package] = version

    def resolve(self, paths):
        """path -> Origin for every path; stops on a path of unknown origin."""
        origins, system = {}, {}
        for path in paths:
            if inside(path, self.deps):
                relative = os.path.relpath(os.path.abspath(path), self.deps)
                source = next((s for prefix, s in CACHE_FILES.items()
                               if relative == prefix or relative.startswith(prefix)), None)
                if source:
                    if source not in self.cache_versions:
                        fail(f"the dependency cache does not record the version of {source}")
                    origins[path] = Origin(source, self.cache_versions[source])
                    continue
                # The cache copies header-only libraries from the installed packages: the same
                # bytes under /usr/include are the package's.
                twin = os.path.join("/usr", relative)
                if not os.path.isfile(twin) or open(twin, "rb").read() != open(path, "rb").read():
                    fail(f"{relative} of the dependency cache matches no installed file")
                system[path] = twin
            else:
                system[path] = os.path.normpath(path)
        owners = dpkg_owners(set(system.values()))
        unknown = {p: os.path.realpath(p) for p, s in system.items() if s not in owners}
        owners.update(dpkg_owners(set(unknown.values())))
        versions = {}
        for path, system_path in system.items():
            owner = owners.get(system_path) or owners.get(unknown.get(path, ""))
            if not owner:
                fail(f"no installed package holds {system_path}")
            if owner not in versions:
                versions[owner] = package_versions(owner)
            version, source, source_version = versions[owner]
            origins[path] = Origin(source, source_version, owner, version)
        return origins


def component_key(origin, path):
    if origin.source == "mingw-w64" and os.path.basename(path) in WINPTHREADS_FILES:
        return "mingw-w64:winpthreads"
    return origin.source


def spdx_id(kind, text):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", text)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--top", required=True, help="the folder packed as the archive's top")
    parser.add_argument("--name", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", required=True, help="the source tree that was built")
    parser.add_argument("--build", required=True)
    parser.add_argument("--maps", required=True)
    parser.add_argument("--deps", required=True)
    parser.add_argument("--commit", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    source_tree = os.path.abspath(args.source)
    resolver = Resolver(args.deps)
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))

    files = []
    for folder, dirs, names in os.walk(args.top):
        dirs.sort()
        for name in sorted(names):
            relative = os.path.relpath(os.path.join(folder, name), args.top)
            if relative != DOCUMENT_NAME:
                files.append(relative)
    files.sort()
    shipped = {os.path.basename(f): f for f in files}

    # What each shipped binary took in, by component.
    binaries = [f for f in files if f.endswith((".dll", ".exe"))]
    links, dynamic_links = {}, {}
    every_header_source = {}
    headers_of = header_dependencies(build)
    for binary in binaries:
        map_path = os.path.join(args.maps, os.path.basename(binary) + ".map")
        if not os.path.isfile(map_path):
            fail(f"no link map for {binary} in {args.maps}")
        archives, objects = linked_inputs(map_path)
        ours = lambda p: not os.path.isabs(p) or inside(p, build)
        foreign = {p for p in archives | objects if not ours(p)}
        for archive in archives - foreign:
            imported = os.path.basename(archive)
            if imported.endswith(".dll.a") and imported[:-2] in shipped:
                dynamic_links.setdefault(binary, set()).add(shipped[imported[:-2]])
        headers = set()
        for obj in objects - foreign:
            headers |= {h for h in headers_of.get(obj, ()) if os.path.isabs(h)
                        and not inside(h, build) and not inside(h, source_tree)}
        components = links.setdefault(binary, {})
        for path, origin in resolver.resolve(foreign).items():
            components.setdefault(component_key(origin, path), []).append((path, origin))
        for path, origin in resolver.resolve(headers).items():
            every_header_source.setdefault(binary, {}).setdefault(
                component_key(origin, path), []).append((path, origin))
    # Header-only libraries: packages a binary read headers of but linked nothing from.
    for binary, by_key in every_header_source.items():
        for key, entries in by_key.items():
            if not any(o.source == entries[0][1].source for e in links[binary].values()
                       for _, o in e):
                links[binary][key] = entries

    packages, relationships = [], []
    main_id = spdx_id("Package", "NRDEnrollmentCPPWrapper")
    component_ids = {}
    for key in sorted({k for by_key in links.values() for k in by_key}):
        if key not in COMPONENTS:
            fail(f"no licence known for Debian source package {key.split(':')[0]}")
        name, licence = COMPONENTS[key]
        entries = [e for by_key in links.values() for e in by_key.get(key, [])]
        sources = sorted({(o.source, o.source_version) for _, o in entries})
        if len(sources) != 1:
            fail(f"{name} comes from several source versions: {sources}")
        source, source_version = sources[0]
        binaries_used = sorted({f"{o.binary} {o.binary_version}" for _, o in entries if o.binary})
        info = f"Debian source package {source} {source_version}"
        info += (f"; installed binary packages: {', '.join(binaries_used)}" if binaries_used
                 else "; built by scripts/windows-deps.sh from that source")
        archives = sorted({os.path.basename(p) for p, _ in entries if p.endswith((".a", ".o"))})
        component_ids[key] = spdx_id("Package", key.replace(":", "-"))
        packages.append({
            "SPDXID": component_ids[key],
            "name": name,
            "versionInfo": source_version,
            "supplier": "Organization: Debian",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "sourceInfo": info,
            "licenseConcluded": licence,
            "licenseDeclared": licence,
            "copyrightText": "NOASSERTION",
            "comment": ("linked: " + ", ".join(archives)) if archives else "headers only",
            "externalRefs": [{
                "referenceCategory": "PACKAGE-MANAGER",
                "referenceType": "purl",
                "referenceLocator":
                    f"pkg:deb/debian/{source}@{source_version.replace('+', '%2B')}?arch=source",
            }],
        })

    file_entries, sha1s = [], []
    for relative in files:
        path = os.path.join(args.top, relative)
        sha1 = digest(path, "sha1")
        sha1s.append(sha1)
        file_entries.append({
            "SPDXID": spdx_id("File", relative),
            "fileName": "./" + relative,
            "checksums": [{"algorithm": "SHA1", "checksumValue": sha1},
                          {"algorithm": "SHA256", "checksumValue": digest(path, "sha256")}],
            "licenseConcluded": "NOASSERTION",
            "copyrightText": "NOASSERTION",
        })
    verification = hashlib.sha1("".join(sorted(sha1s)).encode()).hexdigest()
    packages.insert(0, {
        "SPDXID": main_id,
        "name": "NRDEnrollmentCPPWrapper",
        "versionInfo": args.version,
        "downloadLocation": "NOASSERTION",
        "filesAnalyzed": True,
        "packageVerificationCode": {"packageVerificationCodeValue": verification},
        "hasFiles": [spdx_id("File", f) for f in files],
        "sourceInfo": f"built from commit {args.commit}",
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": "NOASSERTION",
        "copyrightText": "NOASSERTION",
        "primaryPackagePurpose": "LIBRARY",
    })

    relationships.append({"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                          "relatedSpdxElement": main_id})
    for relative in files:
        relationships.append({"spdxElementId": main_id, "relationshipType": "CONTAINS",
                              "relatedSpdxElement": spdx_id("File", relative)})
    for key in sorted(component_ids):
        relationships.append({"spdxElementId": main_id, "relationshipType": "STATIC_LINK",
                              "relatedSpdxElement": component_ids[key]})
    for binary in binaries:
        for key in sorted(links[binary]):
            relationships.append({"spdxElementId": spdx_id("File", binary),
                                  "relationshipType": "STATIC_LINK",
                                  "relatedSpdxElement": component_ids[key]})
        for library in sorted(dynamic_links.get(binary, ())):
            relationships.append({"spdxElementId": spdx_id("File", binary),
                                  "relationshipType": "DYNAMIC_LINK",
                                  "relatedSpdxElement": spdx_id("File", library)})

    namespace = uuid.uuid5(uuid.NAMESPACE_URL, f"{args.name}/{args.commit}/{verification}")
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": args.name,
        "documentNamespace": f"https://spdx.org/spdxdocs/{args.name}-{namespace}",
        "creationInfo": {"created": created.strftime("%Y-%m-%dT%H:%M:%SZ"),
                         "creators": ["Tool: NRDEnrollmentCPPWrapper-scripts-release.sh"]},
        "documentDescribes": [main_id],
        "packages": packages,
        "files": file_entries,
        "relationships": relationships,
    }
    with open(os.path.join(args.top, DOCUMENT_NAME), "w", encoding="utf-8") as f:
        json.dump(document, f, indent=2)
        f.write("\n")


if __name__ == "__main__":
    main()
