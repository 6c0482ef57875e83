// Helpers that the record classes share for reading lists, matrices and counts. Internal to the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "scenefile/record_block.h"
#include "scenefile/record_list.h"
#include "scenefile/scene_reader.h"
#include "scenefile/trans_matrix.h"

namespace imp_kzv::record_io {

// Smallest encoded size of each list item: a count is checked against remaining() / this before any
// allocation, so a damaged count fails at once instead of reserving memory the file cannot fill.
inline constexpr std::size_t kInt32Bytes = 4;
inline constexpr std::size_t kPoint2Bytes = 8;
inline constexpr std::size_t kPoint3Bytes = 12;
inline constexpr std::size_t kMatrixBytes = 48;
inline constexpr std::size_t kTriBytes = 64;
inline constexpr std::size_t kVertMinBytes = kPoint3Bytes + 4;
inline constexpr std::size_t kMaterialMinBytes =
    4 + 3 * kPoint3Bytes + 8 + 1 + kPoint3Bytes + 1 + 4 + 2 + 4 + 1 + 4 + 8;
inline constexpr std::size_t kMultiMaterialMinBytes = 4;
inline constexpr std::size_t kCameraMinBytes = 4 + kMatrixBytes + 12;
inline constexpr std::size_t kMeshGeomMinBytes = 5 * 4;
inline constexpr std::size_t kMeshMinBytes = 4 + 8 + kMatrixBytes;
inline constexpr std::size_t kGroupMinBytes = 4 + 5 * 4 + kMatrixBytes + kPoint3Bytes + 4;
inline constexpr std::size_t kLightMinBytes = 4 + 2 * kPoint3Bytes + 12 + 4;
inline constexpr std::size_t kTrackMinBytes = 4 + 4 + kPoint3Bytes + 1;

// What a counted list holds, for the checks and the descriptions of their failures.
struct ListInfo {
    std::string_view item;  // e.g. "vertex": descriptions speak of "the vertex count"
    std::size_t min_item_bytes;
    std::string_view source;  // the record class that reads the list
};

// "<number>: the <what> <value> at byte <at> <reason>", number 9: a list sized to invalid bounds.
[[noreturn]] void RaiseInvalidSize(std::string_view what, std::int64_t value, std::uint64_t at,
                                   std::string_view reason, std::string_view source);

// Fails with number 62 when `count` items of the list cannot fit in the rest of the file.
void CheckCountFits(const SceneReader& file, std::int32_t count, std::uint64_t at, const ListInfo& info);

// Reads a list count: fails for a negative one and for one the rest of the file cannot hold.
std::int32_t ReadListCount(SceneReader& file, const ListInfo& info);

// A counted list of int32 (a count of 0 leaves the list empty).
void ReadInt32List(SceneReader& file, std::vector<std::int32_t>& list, const ListInfo& info);

// Twelve singles, row by row.
TransMatrix ReadTransMatrix(SceneReader& file, std::string_view what, std::string_view source);

// Reads `count` records into `list`, all from one block. Each record joins the list before it reads
// itself, so the records read before a failure (and the one that failed) stay in the list.
template <class T, class ReadItem>
void ReadRecords(std::vector<std::shared_ptr<T>>& list, std::int32_t count, ReadItem&& read_item) {
    list.clear();
    if (count == 0) return;
    RecordArena<T> arena;
    arena.reserve(static_cast<std::size_t>(count), static_cast<std::size_t>(count));
    list.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        list.push_back(arena.next());
        read_item(*list.back());
    }
}

// A counted list of records (p3dMaterial, p3dVert, ...), each read by `read_item(T&)`.
template <class T, class ReadItem>
void ReadRecordList(SceneReader& file, std::vector<std::shared_ptr<T>>& list, const ListInfo& info,
                    ReadItem&& read_item) {
    list.clear();
    ReadRecords(list, ReadListCount(file, info), read_item);
}
template <class T, class ReadItem>
void ReadRecordList(SceneReader& file, RecordList<T>& list, const ListInfo& info, ReadItem&& read_item) {
    list.clear();
    list.Read(static_cast<std::size_t>(ReadListCount(file, info)), read_item);
}

// Number 7: an allocation for the <record> that starts at byte <at> failed.
[[noreturn]] void RaiseOutOfMemory(std::string_view record, std::uint64_t at, std::string_view source);

// Runs `body`; an allocation failure in it becomes number 7 raised by `source`.
template <class Body>
void GuardMemory(const SceneReader& file, std::string_view record, std::string_view source, Body&& body) {
    const std::uint64_t at = file.offset();
    try {
        body();
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory(record, at, source);
    }
}

}  // namespace imp_kzv::record_io
