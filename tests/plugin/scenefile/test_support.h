// Helpers shared by the scene-file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "scenefile/p3dWorld.h"
#include "scenewriter/byte_writer.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

namespace imp_kzv::testing {

using scenewriter::ByteWriter;

// The number, description and source of the PluginError that `action` raises (number 0 if none).
inline ErrorValue ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PluginError& e) {
        return e.value();
    }
    return {};
}

// Reads a whole world from bytes and reports where the reader stopped.
struct ReadResult {
    p3dWorld world;
    ErrorValue error;
    std::uint64_t end_offset = 0;
};

inline ReadResult ReadWorld(const std::vector<std::byte>& bytes) {
    ReadResult result;
    SceneReader file(bytes);
    result.error = ErrorOf([&] { result.world.Read(file); });
    result.end_offset = file.offset();
    return result;
}

// The header of a world: empty format and version texts and a background colour.
inline ByteWriter& WorldHeader(ByteWriter& w) {
    return w.raw_text("").raw_text("").point3(0, 0, 0);
}

// A world whose eight list counts are given; the caller appends the records after the right count.
inline ByteWriter EmptyWorld() {
    ByteWriter w;
    WorldHeader(w);
    for (int i = 0; i < 8; ++i) w.int32(0);
    return w;
}

}  // namespace imp_kzv::testing
