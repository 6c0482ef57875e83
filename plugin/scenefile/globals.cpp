#include "scenefile/globals.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "scenefile/windows1252.h"

namespace imp_kzv {

namespace {

constexpr std::string_view kModuleSource = kComponentSource;

[[noreturn]] void raise_text_out_of_memory(std::string_view what, std::uint64_t at, std::int32_t length) {
    raise(Err::OutOfMemory,
          "the " + std::string(what) + " of " + std::to_string(length) + " characters at byte " +
              std::to_string(at),
          std::string(kModuleSource));
}

}  // namespace

std::string ReadString(SceneReader& file) {
    return ReadString(file, "text");
}

std::string ReadString(SceneReader& file, std::string_view what) {
    const std::uint64_t length_at = file.offset();
    if (file.remaining() < 4 && file.is_open()) {
        SceneReader::raise_past_end("length of the " + std::string(what), length_at, 4, file.remaining(),
                                    kModuleSource);
    }
    const std::int32_t length = file.read_int32(what, kModuleSource);
    if (length <= 0) return {};

    // Checked before allocating: a damaged length must not reserve more than the file still holds.
    const std::uint64_t text_at = file.offset();
    if (static_cast<std::uint64_t>(length) > file.remaining()) {
        SceneReader::raise_past_end(std::string(what) + " (" + std::to_string(length) + " characters)",
                                    text_at, static_cast<std::uint64_t>(length), file.remaining(),
                                    kModuleSource);
    }
    std::string text;
    try {
        text.reserve(static_cast<std::size_t>(length));
        for (std::uint64_t left = static_cast<std::uint64_t>(length); left > 0;) {
            const std::span<const std::byte> run = file.take_some(left, what, kModuleSource);
            AppendWindows1252AsUtf8(run, text);
            left -= run.size();
        }
    } catch (const std::bad_alloc&) {
        raise_text_out_of_memory(what, text_at, length);
    }
    return text;
}

std::int16_t ReadBoolean(SceneReader& file) {
    return ReadBoolean(file, "flag byte");
}

std::int16_t ReadBoolean(SceneReader& file, std::string_view what) {
    return file.read_byte(what, kModuleSource) != 0 ? kTrue : kFalse;
}

std::string GetFolderOfPath(const std::string& path) {
    namespace fs = std::filesystem;
    try {
        std::error_code ec;
        const fs::path p(path);
        if (!fs::is_regular_file(p, ec) || ec) return path;
        const std::string name = p.filename().string();
        return path.substr(0, path.size() - name.size());
    } catch (const std::exception&) {
        return path;  // e.g. out of memory while building the path: fall back as for a missing file
    }
}

}  // namespace imp_kzv
