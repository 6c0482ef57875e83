"""Runs inside Blender (blender -b --python import_in_blender.py -- DEMO.KZV WORK_DIR): enables the
add-on, imports the demo and checks what a user would look at. Exits non-zero on the first failure."""

import os
import sys

import addon_utils
import bpy

demo, work = sys.argv[sys.argv.index("--") + 1:][:2]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def clear_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def corner_normals(mesh):
    if hasattr(mesh, "corner_normals"):  # Blender 4.1 and later
        return [tuple(n.vector) for n in mesh.corner_normals]
    mesh.calc_normals_split()
    return [tuple(loop.normal) for loop in mesh.loops]


def faces_against_normals(mesh):
    normals = corner_normals(mesh)
    against = 0
    for polygon in mesh.polygons:
        front = polygon.normal
        if any(sum(a * b for a, b in zip(front, normals[i])) <= 0 for i in polygon.loop_indices):
            against += 1
    return against


def texture_images(obj):
    images = []
    for slot in obj.material_slots:
        if slot.material and slot.material.node_tree:
            images += [n.image for n in slot.material.node_tree.nodes if n.type == "TEX_IMAGE" and n.image]
    return images


# The add-on, as installed by blender/install.sh into $BLENDER_USER_SCRIPTS.
module = addon_utils.enable("io_import_kzv", default_set=True)
check(module is not None, "the add-on is enabled")
check(hasattr(bpy.ops.import_scene, "kzv"), "bpy.ops.import_scene.kzv exists")
check(any(getattr(f, "__name__", "") == "menu_import" for f in bpy.types.TOPBAR_MT_file_import._dyn_ui_initialize()),
      "File > Import lists the KZV importer")

# A failed import reaches the user as a report, not a traceback.
broken = os.path.join(work, "broken.KZV")
with open(broken, "wb") as f:
    f.write(b"not a scene file")
try:
    bpy.ops.import_scene.kzv(filepath=broken)
    check(False, "a broken scene file fails")
except RuntimeError as error:
    message = str(error)
    print("     report:", message.strip())
    check("KZV import failed" in message and "error" in message and "Traceback" not in message,
          "a broken scene file fails with kzv-import's error as a report")

# The demo, textures packed.
clear_scene()
addon_utils.enable("io_import_kzv", default_set=True)
check(bpy.ops.import_scene.kzv(filepath=demo) == {"FINISHED"}, "the demo imports")
objects = bpy.data.objects
for name in ("Crate left", "Crate right", "Pyramid"):
    obj = objects.get(name)
    check(obj is not None and obj.type == "MESH", f"mesh object {name!r}")
    if obj is None or obj.type != "MESH":
        continue
    check(faces_against_normals(obj.data) == 0, f"no face of {name!r} points against its normals")
    images = texture_images(obj)
    check(len(images) > 0 and all(i.packed_file and i.size[0] > 0 for i in images),
          f"{name!r} has packed image textures ({', '.join(sorted({i.name for i in images}))})")
parents = {"Crate right": "Inner crate group", "Inner crate group": "Crates", "Crates": "Scene",
           "Crate left": "Crates", "Pyramid": "Pyramid group", "Pyramid group": "Scene"}
for child, parent in parents.items():
    obj = objects.get(child)
    check(obj is not None and obj.parent is not None and obj.parent.name == parent, f"{child!r} is below {parent!r}")
cameras = [o for o in objects if o.type == "CAMERA"]
lights = [o for o in objects if o.type == "LIGHT"]
check([o.name for o in cameras] == ["Camera"], "the camera")
check([o.name for o in lights] == ["Sun"], "the light")
if lights:
    print(f"     light power: {lights[0].data.energy:.1f} W")
    check(lights[0].data.energy > 100, "the light is strong enough to light the scene")
check(objects.get("Orbit") is not None, "the track")
check(len(objects) == 10, f"10 objects: 4 groups, 3 meshes, camera, light, track (got {len(objects)})")

# Textures linked: image files in the texture folder, not packed.
clear_scene()
addon_utils.enable("io_import_kzv", default_set=True)
folder = os.path.join(work, "linked")
bpy.ops.import_scene.kzv(filepath=demo, textures="LINK", texture_folder=folder)
images = texture_images(bpy.data.objects["Crate left"])
check(len(images) > 0 and all(not i.packed_file and os.path.isfile(bpy.path.abspath(i.filepath)) for i in images),
      "linked textures are image files in the texture folder")

print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
