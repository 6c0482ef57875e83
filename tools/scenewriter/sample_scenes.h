// Scenes built in code: the bundled demo, a large grid for benchmarks, and random small scenes for
// round-trip tests and fuzzing seeds.
#pragma once

#include <cstdint>
#include <memory>

#include "scenefile/p3dWorld.h"

namespace imp_kzv::scenewriter {

// The demo scene of examples/demo.KZV: nested groups, two textured mesh instances sharing one geometry,
// a multi-material of a wood-textured and a checker-textured material (the checker also as second
// bitmap), vertex colours, normals, both texture coordinate sets, a camera, a light and a cyclic
// track. Every face is authored in the editor's convention, its front where its normals point.
std::shared_ptr<p3dWorld> MakeDemoWorld();

// One geometry of columns x rows quads (2 triangles each) with a normal, both texture coordinate sets
// and a colour per vertex, one mesh instance and a root group.
std::shared_ptr<p3dWorld> MakeGridWorld(std::int32_t columns, std::int32_t rows);

// A small scene of random content (counts, texts with windows-1252 characters, odd floats such as
// infinities, NaN and -0, user data) that is valid for the reader; the same seed gives the same scene.
std::shared_ptr<p3dWorld> MakeRandomWorld(std::uint32_t seed);

// A tree of n groups (each the child of group (i - 1) / 2), each with one mesh instance of a shared
// two-triangle geometry, each instance translated to a place of its own: for timing imports of
// growing group trees.
std::shared_ptr<p3dWorld> MakeGroupTreeWorld(std::int32_t n);

}  // namespace imp_kzv::scenewriter
