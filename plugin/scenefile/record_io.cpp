#include "scenefile/record_io.h"

#include <string>

#include "common/plugin_error.h"

namespace imp_kzv::record_io {

void RaiseInvalidSize(std::string_view what, std::int64_t value, std::uint64_t at, std::string_view reason,
                      std::string_view source) {
    raise(Err::SubscriptOutOfRange,
          "the " + std::string(what) + " " + std::to_string(value) + " at byte " + std::to_string(at) + " " +
              std::string(reason),
          std::string(source));
}

void RaiseOutOfMemory(std::string_view record, std::uint64_t at, std::string_view source) {
    raise_continued(Err::OutOfMemory,
                    " while reading the " + std::string(record) + " at byte " + std::to_string(at),
                    std::string(source));
}

void CheckCountFits(const SceneReader& file, std::int32_t count, std::uint64_t at, const ListInfo& info) {
    const std::uint64_t left = file.remaining();
    if (static_cast<std::uint64_t>(count) <= left / info.min_item_bytes) return;
    raise(Err::InputPastEndOfFile,
          "the " + std::string(info.item) + " count " + std::to_string(count) + " at byte " +
              std::to_string(at) + " needs at least " +
              std::to_string(static_cast<std::uint64_t>(count) * info.min_item_bytes) + " bytes, " +
              std::to_string(left) + " left",
          std::string(info.source));
}

std::int32_t ReadListCount(SceneReader& file, const ListInfo& info) {
    const std::uint64_t at = file.offset();
    if (file.remaining() < 4 && file.is_open()) {
        SceneReader::raise_past_end(std::string(info.item) + " count", at, 4, file.remaining(), info.source);
    }
    const std::int32_t count = file.read_int32(info.item, info.source);
    if (count < 0) {
        RaiseInvalidSize(std::string(info.item) + " count", count, at,
                         "is negative: a list cannot have a negative size", info.source);
    }
    CheckCountFits(file, count, at, info);
    return count;
}

void ReadInt32List(SceneReader& file, std::vector<std::int32_t>& list, const ListInfo& info) {
    list.clear();
    const std::int32_t count = ReadListCount(file, info);
    list.resize(static_cast<std::size_t>(count));
    for (std::int32_t& value : list) value = file.read_int32(info.item, info.source);
}

TransMatrix ReadTransMatrix(SceneReader& file, std::string_view what, std::string_view source) {
    const std::byte* p = file.take(kMatrixBytes, what, source);
    TransMatrix m;
    for (auto& row : m) {
        for (float& cell : row) {
            cell = le::f32(p);
            p += 4;
        }
    }
    return m;
}

}  // namespace imp_kzv::record_io
