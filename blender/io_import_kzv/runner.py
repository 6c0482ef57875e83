"""Running kzv-import for the add-on: finding the program, its command line and its messages.

Plain Python without Blender, so that it can be tested on its own.
"""

import dataclasses
import os
import shutil
import subprocess

ENVIRONMENT_VARIABLE = "KZV_IMPORT"
PROGRAM = "kzv-import"


class KzvImportError(Exception):
    """kzv-import could not be found or run, or the import failed; the text says why."""


@dataclasses.dataclass
class ImportSettings:
    keep_axes: bool = False
    allow_outside_textures: bool = False
    flip_winding: bool = False
    double_sided: bool = False
    display_colours: bool = False
    lcid: int = 1033


@dataclasses.dataclass
class ImportResult:
    output: str
    warnings: list
    notices: list


def find_program(preference=""):
    """The kzv-import to run: the add-on's preference, else $KZV_IMPORT, else the one on PATH."""
    for candidate, origin in ((preference, "the add-on's preference"),
                              (os.environ.get(ENVIRONMENT_VARIABLE, ""), "$" + ENVIRONMENT_VARIABLE)):
        if candidate:
            path = os.path.abspath(os.path.expanduser(candidate))
            if os.path.isfile(path) and os.access(path, os.X_OK):
                return path
            raise KzvImportError(f"{PROGRAM} named by {origin} is not an executable file: {path}")
    found = shutil.which(PROGRAM)
    if not found:
        raise KzvImportError(f"{PROGRAM} not found: set its path in the add-on's preferences, "
                             f"or ${ENVIRONMENT_VARIABLE}, or put it on PATH")
    return found


def command_line(program, scene_file, output, settings):
    """The arguments that import scene_file into output with the given settings."""
    args = [program, scene_file, "-o", output, "--lcid", str(settings.lcid)]
    for wanted, option in ((settings.keep_axes, "--keep-axes"),
                           (settings.allow_outside_textures, "--allow-outside-textures"),
                           (settings.flip_winding, "--flip-winding"),
                           (settings.double_sided, "--double-sided"),
                           (settings.display_colours, "--display-colours")):
        if wanted:
            args.append(option)
    return args


def failure_text(stderr, status):
    """What the user is told about a failed run: kzv-import's error lines, else its status."""
    lines = [line.strip() for line in stderr.splitlines() if line.strip()]
    errors = [line for line in lines if not line.startswith(("notice: ", "warning: ", "wrote "))]
    shown = errors or lines
    if not shown:
        return f"{PROGRAM} ended with status {status}"
    return "; ".join(shown[:6]) + (" ..." if len(shown) > 6 else "")


def run_import(program, scene_file, output, settings, timeout=None):
    """Runs kzv-import; returns its warnings and notices, raises KzvImportError on failure."""
    try:
        done = subprocess.run(command_line(program, scene_file, output, settings), capture_output=True,
                              text=True, errors="replace", timeout=timeout, check=False)
    except (OSError, subprocess.SubprocessError) as error:
        raise KzvImportError(f"cannot run {program}: {error}") from error
    if done.returncode != 0 or not os.path.isfile(output):
        raise KzvImportError(failure_text(done.stderr, done.returncode))
    lines = done.stderr.splitlines()
    return ImportResult(output=output,
                        warnings=[line[len("warning: "):] for line in lines if line.startswith("warning: ")],
                        notices=[line[len("notice: "):] for line in lines if line.startswith("notice: ")])
