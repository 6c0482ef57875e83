// The scene-file writer: the inverse of the reader. Writing a world, reading it and writing it again
// gives the same bytes.
//
// Conventions of the writer: true flags are written as byte 1; a null point is written as (0, 0, 0) and
// a null record in a list as a default record; a camera's field of view (degrees) is written as the
// single whose conversion back to degrees comes nearest, so the round trip is exact. Texts must be UTF-8
// made of characters of the windows-1252 code page (std::invalid_argument otherwise). Lists are written
// as they are, even where the reader would refuse them (an empty track point list, a negative
// userDataLen), so that tests can write such files too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/p3dWorld.h"
#include "scenewriter/byte_writer.h"

namespace imp_kzv::scenewriter {

// A text field holding the windows-1252 bytes of a UTF-8 text.
void WriteText(ByteWriter& out, std::string_view utf8);
void WritePoint(ByteWriter& out, const std::shared_ptr<p3dPt3D>& point);
void WriteMatrix(ByteWriter& out, const TransMatrix& m);

void Write(ByteWriter& out, const p3dPt3D& point);
void Write(ByteWriter& out, const p3dPt2D& point);
void Write(ByteWriter& out, const p3dMaterial& material);
void Write(ByteWriter& out, const MultiMaterial& multi);
void Write(ByteWriter& out, const p3dCamera& camera);
void Write(ByteWriter& out, const p3dVert& vertex);
void Write(ByteWriter& out, const p3dTri& tri);
void Write(ByteWriter& out, const meshGeom& geometry);
void Write(ByteWriter& out, const p3dMesh& mesh);
void Write(ByteWriter& out, const p3dGroup& group);
void Write(ByteWriter& out, const p3dLight& light);
void Write(ByteWriter& out, const p3dTrack& track);
void Write(ByteWriter& out, const p3dWorld& world);

std::vector<std::byte> WriteScene(const p3dWorld& world);
// Writes the scene to `path`; std::runtime_error when the file cannot be written.
void WriteSceneFile(const p3dWorld& world, const std::string& path);

// The single to store for a field of view of `degrees`: the one whose conversion back comes nearest,
// and of several equally near the smallest, so that writing what was read gives the same bytes.
float FovRadiansFor(float degrees);

}  // namespace imp_kzv::scenewriter
