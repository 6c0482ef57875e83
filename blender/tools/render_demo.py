"""Renders a .KZV scene imported with the add-on, through the scene's own camera and lit only by
its own lights (Cycles, on the CPU): the pictures in README.md.

blender -b --factory-startup --python blender/tools/render_demo.py -- SCENE.KZV OUT.png [WIDTH HEIGHT] [--display-colours]
(the add-on must be installed, see blender/install.sh; kzv-import is found as the add-on finds it)
"""

import sys

import addon_utils
import bpy

args = sys.argv[sys.argv.index("--") + 1:]
flags = [a for a in args if a.startswith("--")]
scene_file, output, *size = [a for a in args if not a.startswith("--")]
width, height = (int(size[0]), int(size[1])) if size else (480, 320)

bpy.ops.wm.read_factory_settings(use_empty=True)
if not addon_utils.enable("io_import_kzv", default_set=True):
    raise SystemExit("the add-on io_import_kzv is not installed")
bpy.ops.import_scene.kzv(filepath=scene_file, display_colours="--display-colours" in flags)

scene = bpy.context.scene
cameras = [o for o in scene.objects if o.type == "CAMERA"]
if not cameras:
    raise SystemExit("the scene has no camera")
scene.camera = cameras[0]
# Nothing but the scene's own lights: a black world.
world = bpy.data.worlds.new("Black")
world.color = (0, 0, 0)
scene.world = world
scene.render.engine = "CYCLES"
scene.cycles.device = "CPU"
scene.cycles.samples = 64
scene.cycles.use_denoising = False  # Debian's Blender is built without a denoiser
scene.render.resolution_x, scene.render.resolution_y = width, height
scene.render.resolution_percentage = 100
scene.render.image_settings.file_format = "PNG"
scene.render.image_settings.color_mode = "RGB"
scene.render.filepath = output
bpy.ops.render.render(write_still=True)
print("rendered", output)
