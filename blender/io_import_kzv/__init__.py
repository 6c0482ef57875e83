"""Imports .KZV scene files into Blender through kzv-import, which converts them to glTF 2.0.

File > Import > "KZV scene (.KZV)", or bpy.ops.import_scene.kzv(filepath=...).
"""

bl_info = {
    "name": "KZV scene importer",
    "description": "Import .KZV scene files (through the kzv-import program)",
    "author": "kzv-import developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > KZV scene (.KZV)",
    "category": "Import-Export",
}

if "bpy" in locals():
    import importlib

    importlib.reload(runner)  # noqa: F821 (reloading the add-on)
    importlib.reload(importer)  # noqa: F821
else:
    from . import runner
    from . import importer

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ImportHelper


class KzvImportPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    program: StringProperty(
        name="kzv-import",
        description="The kzv-import program; empty: $KZV_IMPORT, else kzv-import on PATH",
        subtype="FILE_PATH",
        default="",
    )

    def draw(self, context):
        self.layout.prop(self, "program")


class IMPORT_SCENE_OT_kzv(bpy.types.Operator, ImportHelper):
    """Import a .KZV scene file"""

    bl_idname = "import_scene.kzv"
    bl_label = "Import KZV"
    bl_options = {"REGISTER", "UNDO", "PRESET"}

    filename_ext = ".KZV"
    filter_glob: StringProperty(default="*.KZV;*.kzv", options={"HIDDEN"})

    keep_axes: BoolProperty(
        name="Keep Axes",
        description="Take coordinates as the file holds them instead of converting the editor's "
        "left-handed axes (the scene then appears mirrored)",
        default=False,
    )
    allow_outside_textures: BoolProperty(
        name="Textures Outside the Scene Folder",
        description="Let texture names reach files outside the scene file's folder",
        default=False,
    )
    flip_winding: BoolProperty(
        name="Flip Inside-Out Faces",
        description="Reverse the corner order of polygons that face against their normals "
        "(scenes authored in the other winding convention)",
        default=False,
    )
    double_sided: BoolProperty(
        name="Double-Sided Materials",
        description="Show both sides of every face",
        default=False,
    )
    display_colours: BoolProperty(
        name="Colours Unconverted",
        description="Keep the editor's colours as they are instead of converting them from "
        "sRGB display values to linear",
        default=False,
    )
    textures: EnumProperty(
        name="Textures",
        items=(
            ("PACK", "Pack", "Pack the textures into the .blend file"),
            ("LINK", "Link", "Write the textures as image files into the texture folder and link them"),
        ),
        default="PACK",
    )
    texture_folder: StringProperty(
        name="Texture Folder",
        description="Where linked textures are written; empty: a folder named after the scene "
        "beside the scene file",
        subtype="DIR_PATH",
        default="",
    )
    lcid: IntProperty(
        name="Locale",
        description="Locale identifier reported to the import plug-in (its messages' language)",
        default=1033,
    )

    def settings(self):
        return runner.ImportSettings(
            keep_axes=self.keep_axes,
            allow_outside_textures=self.allow_outside_textures,
            flip_winding=self.flip_winding,
            double_sided=self.double_sided,
            display_colours=self.display_colours,
            lcid=self.lcid,
        )

    def execute(self, context):
        # Absent when the add-on was enabled by a script without being stored in the preferences.
        addon = context.preferences.addons.get(__package__)
        try:
            result = importer.import_scene(
                context,
                self.filepath,
                self.settings(),
                program=addon.preferences.program if addon else "",
                link_textures=self.textures == "LINK",
                texture_folder=self.texture_folder,
            )
        except runner.KzvImportError as error:
            self.report({"ERROR"}, f"KZV import failed: {error}")
            return {"CANCELLED"}
        for warning in result.warnings:
            self.report({"WARNING"}, warning)
        self.report({"INFO"}, f"Imported {len(result.objects)} objects from {self.filepath}")
        return {"FINISHED"}


def menu_import(self, context):
    self.layout.operator(IMPORT_SCENE_OT_kzv.bl_idname, text="KZV scene (.KZV)")


classes = (KzvImportPreferences, IMPORT_SCENE_OT_kzv)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
