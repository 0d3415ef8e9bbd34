#!/usr/bin/env python3
"""Configures a build as scripts/package.sh does (packaging/package-cache.cmake) and reads CMake's own
description of it (the file API's code model): every program it would build is installed into a package,
and every library serves one of them, so making the packages compiles no test, benchmark or tool.

    python3 check_package_build.py CMAKE SOURCE_DIR
"""
import json
import pathlib
import subprocess
import sys
import tempfile

CONFIGURE_SECONDS = 90


def code_model(cmake, source, build):
    query = build / ".cmake" / "api" / "v1" / "query"
    query.mkdir(parents=True)
    (query / "codemodel-v2").touch()
    subprocess.run([cmake, "-C", str(source / "packaging" / "package-cache.cmake"), "-S", str(source),
                    "-B", str(build)], check=True, stdout=subprocess.DEVNULL, timeout=CONFIGURE_SECONDS)
    reply = build / ".cmake" / "api" / "v1" / "reply"
    index = json.loads(next(reply.glob("index-*.json")).read_text())
    model = index["reply"]["codemodel-v2"]
    codemodel = json.loads((reply / model["jsonFile"]).read_text())
    targets = {}
    for ref in codemodel["configurations"][0]["targets"]:
        target = json.loads((reply / ref["jsonFile"]).read_text())
        targets[target["id"]] = target
    return targets


def main():
    cmake, source = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
    with tempfile.TemporaryDirectory(prefix="dealbrix-package-build.") as scratch:
        targets = code_model(cmake, source, pathlib.Path(scratch))
    problems = []
    programs = [t for t in targets.values() if t["type"] == "EXECUTABLE"]
    installed = [t for t in programs if t.get("install")]
    for program in programs:
        if not program.get("install"):
            problems.append(f"program {program['name']} is built but goes into no package")
    # What the installed programs are made of, followed through their dependencies.
    needed, todo = set(), [t["id"] for t in installed]
    while todo:
        current = todo.pop()
        if current in needed:
            continue
        needed.add(current)
        todo.extend(dep["id"] for dep in targets[current].get("dependencies", []))
    for target in targets.values():
        if target["type"].endswith("_LIBRARY") and target["id"] not in needed:
            problems.append(f"library {target['name']} is built but no packaged program uses it")
    names = sorted(t["name"] for t in installed)
    if "dealbrix" not in names:
        problems.append(f"the package build does not make the game; it installs {names}")
    print("packaged programs:", ", ".join(names))
    print("targets configured:", ", ".join(sorted(t["name"] for t in targets.values())))
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
