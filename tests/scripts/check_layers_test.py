#!/usr/bin/env python3
"""scripts/check-layers against a scratch copy of the sources: the copy as it
stands passes, and each way of going against the layers, planted alone in a
copy of its own, fails with a fault that names it."""
import concurrent.futures
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = pathlib.Path(os.environ.get("VUK_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))


def copy_sources(target: pathlib.Path):
    """What configuring the libraries reads: the source tree without build
    folders, version control, tests, benchmarks and documents."""
    def skipped(folder, names):
        if pathlib.Path(folder) == SOURCE:
            return [n for n in names if n.startswith(("build", ".")) or n in ("tests", "bench", "docs")]
        return []
    shutil.copytree(SOURCE, target, symlinks=True, ignore=skipped)


def first(tree: pathlib.Path, folder: str, pattern: str) -> str:
    found = sorted((tree / folder).glob(pattern))
    if not found:
        raise AssertionError(f"no {pattern} in {folder}")
    return found[0].relative_to(tree).as_posix()


def prepend(tree: pathlib.Path, path: str, line: str):
    file = tree / path
    file.write_text(line + "\n" + file.read_text(encoding="utf-8"), encoding="utf-8")


def include_from(folder: str, include) -> callable:
    """Plants `include(tree)` as line 1 of the first source of folder."""
    def plant(tree):
        source = first(tree, folder, "*.cpp")
        prepend(tree, source, include(tree))
        return f"{source}:1:"
    return plant


def header_of(folder: str):
    return lambda tree: first(tree, folder, "*.h")


def append(path: str, text: str, expected: str):
    def plant(tree):
        with open(tree / path, "a", encoding="utf-8") as file:
            file.write("\n" + text + "\n")
        return expected
    return plant


def replace(path: str, edits, expected: str):
    def plant(tree):
        file = tree / path
        text = file.read_text(encoding="utf-8")
        for old, new in edits:
            if text.count(old) != 1:
                raise AssertionError(f"{path}: expected one {old!r} to edit")
            text = text.replace(old, new)
        file.write_text(text, encoding="utf-8")
        return expected
    return plant


def same_folder_header(tree):
    """A header the command set builds, lying in the server's folder and
    included from there by its plain name (two libraries in one folder)."""
    (tree / "automation/server/commandsextra.h").write_text("#pragma once\n")
    with open(tree / "automation/commands/CMakeLists.txt", "a", encoding="utf-8") as file:
        file.write("\ntarget_sources(remote_commands PRIVATE ${PROJECT_SOURCE_DIR}/automation/server/commandsextra.h)\n")
    return include_from("automation/server", lambda t: '#include "commandsextra.h"')(tree)


def header_in_sub_folder(tree):
    """A header in a sub-folder of device, which no glob of the build lists."""
    (tree / "device/detail").mkdir()
    (tree / "device/detail/probe.h").write_text(f'#pragma once\n#include "{header_of("app")(tree)}"\n')
    return "device/detail/probe.h:2:"


def unknown_library(tree):
    (tree / "extras").mkdir()
    (tree / "extras/extras.cpp").write_text("#include <QString>\nQString extra() { return {}; }\n")
    (tree / "extras/CMakeLists.txt").write_text("vuk_add_subsystem_library(extras PUBLIC_LIBS Qt5::Core)\n")
    with open(tree / "CMakeLists.txt", "a", encoding="utf-8") as file:
        file.write("\nadd_subdirectory(extras)\n")
    return "extras is a library the layer table does not name"


def quoted(folder):
    return lambda tree: f'#include "{header_of(folder)(tree)}"'


CASES = {
    # An #include "<folder>/x.h" of a higher library, from each lower one.
    "algorithms includes device": include_from("algorithms", quoted("device")),
    "device includes measurement": include_from("device", quoted("measurement")),
    "measurement includes app": include_from("measurement", quoted("app")),
    "frontend includes measurement": include_from("frontend", quoted("measurement")),
    "server includes app": include_from("automation/server", quoted("app")),
    "server includes the command set": include_from("automation/server", quoted("automation/commands")),
    "app includes the command set": include_from("app", quoted("automation/commands")),
    # A CMake link to a higher library, in the library's own call and later.
    "device lists measurement": replace("device/CMakeLists.txt", [("PRIVATE_LIBS", "PRIVATE_LIBS measurement")],
                                        "device links measurement"),
    "server linked to app later": append("app/CMakeLists.txt", "target_link_libraries(automation PUBLIC app)",
                                         "automation links app"),
    # The forms a regex over the sources misses.
    "angle brackets": include_from("measurement", lambda t: f"#include <{header_of('app')(t)}>"),
    "path relative to the file": include_from("measurement", lambda t: f'#include "../{header_of("app")(t)}"'),
    "same-folder header of another library": same_folder_header,
    "link through a variable": append("frontend/CMakeLists.txt",
                                      "set(vuk_numerics algorithms)\ntarget_link_libraries(frontend PRIVATE ${vuk_numerics})",
                                      "frontend links algorithms, a library it may not use"),
    "header in a sub-folder": header_in_sub_folder,
    # Links that the files do not justify, and a library outside the table.
    "link nothing includes": append("automation/commands/CMakeLists.txt",
                                    "target_link_libraries(remote_commands PRIVATE frontend)",
                                    "remote_commands links frontend, but none of its files includes a header of it"),
    "public link no header needs": replace("device/CMakeLists.txt",
                                           [("PRIVATE_LIBS algorithms", "PRIVATE_LIBS"),
                                            ("PUBLIC_LIBS", "PUBLIC_LIBS algorithms")],
                                           "device links algorithms publicly, but none of its headers needs it"),
    "library outside the table": unknown_library,
}


def run_check(scratch: pathlib.Path, name: str, plant):
    tree = scratch / name.replace(" ", "_")
    copy_sources(tree)
    expected = plant(tree) if plant else None
    done = subprocess.run([sys.executable, str(tree / "scripts/check-layers")],
                          capture_output=True, text=True, timeout=90)
    return expected, done


def runs_of_shard():
    """The runs of this process: all of them, or with VUK_CHECK_LAYERS_SHARD
    "i/n" every n-th from the i-th (the suite runs the shards as tests of
    their own, so that none takes long even on a loaded machine)."""
    runs = dict(CASES, unchanged=None)
    spec = os.environ.get("VUK_CHECK_LAYERS_SHARD")
    if not spec:
        return runs
    index, count = (int(part) for part in spec.split("/"))
    names = sorted(runs)
    return {name: runs[name] for k, name in enumerate(names) if k % count == index}


class CheckLayers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="check-layers-test-")
        scratch = pathlib.Path(cls.scratch.name)
        runs = runs_of_shard()
        if not runs:
            raise AssertionError("the shard holds no run")
        # Each run configures a copy of its own: two at once.
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            futures = {name: pool.submit(run_check, scratch, name, plant) for name, plant in runs.items()}
            cls.results = {name: future.result() for name, future in futures.items()}

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_unchanged_tree_passes(self):
        if "unchanged" not in self.results:
            self.skipTest("the unchanged tree is checked by another shard")
        _, done = self.results["unchanged"]
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("the library graph is one-way", done.stdout)

    def test_each_planted_fault_fails(self):
        for name in (name for name in CASES if name in self.results):
            with self.subTest(name):
                expected, done = self.results[name]
                self.assertEqual(done.returncode, 1, f"exit {done.returncode}\n{done.stdout}{done.stderr}")
                self.assertIn(expected, done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
