// Feeds arbitrary bytes to p3dWorld::Read. Besides the sanitizers' findings (crash, leak, undefined
// behaviour, allocation beyond the limit, hang) it traps when
//   - a read fails with any number but 62 (past the end), 9 (invalid list size) or 6 (a camera's field of
//     view beyond single precision), or with anything but a PluginError, or stops beyond the end of the
//     input;
//   - a world that read without error does not survive write, read, write with identical bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scenefile/p3dWorld.h"
#include "scenewriter/scene_writer.h"

namespace {

// Reads a world; false when the read fails (with an expected number).
bool ReadChecked(std::span<const std::byte> bytes, imp_kzv::p3dWorld& world) {
    imp_kzv::SceneReader file(bytes);
    try {
        world.Read(file);
    } catch (const imp_kzv::PluginError& e) {
        if (e.number() != 62 && e.number() != 9 && e.number() != 6) __builtin_trap();
        return false;
    }
    if (file.offset() > bytes.size()) __builtin_trap();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imp_kzv::p3dWorld world;
    if (!ReadChecked(std::as_bytes(std::span(data, size)), world)) return 0;

    const std::vector<std::byte> written = imp_kzv::scenewriter::WriteScene(world);
    imp_kzv::p3dWorld again;
    if (!ReadChecked(written, again)) __builtin_trap();
    if (imp_kzv::scenewriter::WriteScene(again) != written) __builtin_trap();
    return 0;
}
