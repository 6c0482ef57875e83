// The record tree of a world as one JSON object, for kzv-dump and tools that check the reader.
//
// Keys are the records' member names. A p3dPt3D is [x, y, z], a p3dPt2D [x, y], a p3dTri the array of
// its sixteen integers in member order, a matrix the array of its 12 singles row by row, a list an array
// ([] when empty), a boolean -1 or 0, a text a JSON string. Singles are written in the shortest form
// that reads back as the same single; NaN and the infinities as the strings "NaN", "Infinity",
// "-Infinity". The camera's fov is the stored value in degrees.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "scenefile/p3dWorld.h"

namespace imp_kzv::dump {

void WriteWorldJson(const p3dWorld& world, std::ostream& out);

// The JSON text of one single, as above.
std::string FloatJson(float value);
// The JSON string literal of a UTF-8 text (quotes, backslashes and control characters escaped).
std::string StringJson(std::string_view text);

}  // namespace imp_kzv::dump
