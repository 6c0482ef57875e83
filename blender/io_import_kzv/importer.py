"""The Blender side of an import: kzv-import into a temporary folder, then Blender's glTF importer."""

import os
import tempfile

import bpy

from . import runner


def allow_numpy_bool():
    """Blender 3.4's glTF importer uses np.bool, which numpy 1.24 removed (Debian's Blender 3.4
    comes with numpy 1.24): give it back as the built-in bool it always stood for."""
    import numpy

    if "bool" not in numpy.__dict__:
        try:
            numpy.bool  # numpy 2 has it again, through its module __getattr__
        except AttributeError:
            numpy.bool = bool


def gltf_import_options(pack_images):
    """Options for bpy.ops.import_scene.gltf that this Blender's importer knows."""
    wanted = {
        "import_pack_images": pack_images,
        "import_shading": "NORMALS",
        # kzv-import writes light intensities for viewers at their default exposure (see
        # host/README.md); the unitless mode takes them as they are meant.
        "convert_lighting_mode": "COMPAT",
        "export_import_convert_lighting_mode": "COMPAT",
    }
    known = bpy.ops.import_scene.gltf.get_rna_type().properties.keys()
    return {name: value for name, value in wanted.items() if name in known}


class SceneImport:
    def __init__(self, objects, warnings):
        self.objects = objects
        self.warnings = warnings


def ensure_gltf_importer():
    """Blender's glTF add-on, enabled if the user has switched it off."""
    if "gltf" not in dir(bpy.ops.import_scene):
        import addon_utils

        addon_utils.enable("io_scene_gltf2", default_set=False)
    if "gltf" not in dir(bpy.ops.import_scene):
        raise runner.KzvImportError("Blender's glTF importer (the add-on io_scene_gltf2) is not available")


def last_line(text):
    lines = [line.strip() for line in str(text).splitlines() if line.strip()]
    return lines[-1] if lines else "unknown failure"


def run_gltf_importer(path, pack_images):
    ensure_gltf_importer()
    allow_numpy_bool()
    before = set(bpy.data.objects)
    try:
        outcome = bpy.ops.import_scene.gltf(filepath=path, **gltf_import_options(pack_images))
    except RuntimeError as error:
        # The importer's reports, and exceptions inside it (with their traceback), arrive as
        # RuntimeError: the user gets the last line, the console has the rest.
        print(error)
        raise runner.KzvImportError(f"Blender's glTF importer failed: {last_line(error)}") from error
    if "FINISHED" not in outcome:
        raise runner.KzvImportError("Blender's glTF importer did not finish")
    return [obj for obj in bpy.data.objects if obj not in before]


def default_texture_folder(scene_file):
    base = os.path.splitext(os.path.basename(scene_file))[0]
    return os.path.join(os.path.dirname(os.path.abspath(scene_file)), base + "_textures")


def import_scene(context, scene_file, settings, program="", link_textures=False, texture_folder=""):
    """Imports scene_file into the open scene; returns the new objects and kzv-import's warnings."""
    if not os.path.isfile(scene_file):
        raise runner.KzvImportError(f"no such file: {scene_file}")
    executable = runner.find_program(bpy.path.abspath(program) if program else "")
    name = os.path.splitext(os.path.basename(scene_file))[0]
    if link_textures:
        # Linked images must outlive the import: the .gltf and its images stay in the folder.
        folder = bpy.path.abspath(texture_folder) if texture_folder else default_texture_folder(scene_file)
        try:
            os.makedirs(folder, exist_ok=True)
        except OSError as error:
            raise runner.KzvImportError(f"cannot create the texture folder {folder}: {error}") from error
        result = runner.run_import(executable, scene_file, os.path.join(folder, name + ".gltf"), settings)
        objects = run_gltf_importer(result.output, pack_images=False)
    else:
        with tempfile.TemporaryDirectory(prefix="kzv-import-") as folder:
            result = runner.run_import(executable, scene_file, os.path.join(folder, name + ".glb"), settings)
            objects = run_gltf_importer(result.output, pack_images=True)
    return SceneImport(objects, result.warnings)
