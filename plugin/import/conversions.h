// Value conversions and checked lookups of the import engine.
//
// Every failure here is one of the platform's numbered errors raised with the import's own source
// ("Imp_KZV.clsPlugin"): 6 for a value that does not fit its target type, 9 for an index outside its list,
// 91 for a null record in a record list.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/plugin_error.h"
#include "scenecalls/scene_calls.h"
#include "scenefile/record_list.h"

namespace imp_kzv::import {

inline const std::string& engine_source() {
    static const std::string source = class_source("clsPlugin");
    return source;
}

// c * 255 rounded to the nearest integer, halves to even. The product of a float and 255 is exact in
// double precision, so only the final rounding decides, as it would on paper.
inline double scaled_colour(float component) {
    return std::nearbyint(static_cast<double>(component) * 255.0);
}

[[noreturn]] inline void raise_overflow(std::string_view what, float component) {
    raise(Err::Overflow,
          std::string(what) + " component " + std::to_string(component) + " times 255 does not fit its range",
          engine_source());
}

// Vertex and light colour bytes: no clamping, a result outside 0..255 (or NaN) is an overflow.
inline std::uint8_t colour_byte(float component, std::string_view what) {
    const double v = scaled_colour(component);
    if (!(v >= 0.0 && v <= 255.0)) raise_overflow(what, component);
    return static_cast<std::uint8_t>(v);
}

// Polygon colour: 32-bit, no clamping to 0..255 (a diffuse of 1.2 gives 306).
inline std::int32_t colour_long(float component, std::string_view what) {
    const double v = scaled_colour(component);
    if (!(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()))
        raise_overflow(what, component);
    return static_cast<std::int32_t>(v);
}

[[noreturn]] inline void raise_subscript(std::string_view what, std::int64_t index, std::size_t size) {
    raise(Err::SubscriptOutOfRange,
          std::string(what) + " " + std::to_string(index) + " is outside its list of " +
              std::to_string(size) + (size == 1 ? " element" : " elements"),
          engine_source());
}

// Bounds-tested lookup: an index below 0 or at or beyond the list's size is error 9.
template <class T>
const T& element_at(const std::vector<T>& list, std::int64_t index, std::string_view what) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= list.size())
        raise_subscript(what, index, list.size());
    return list[static_cast<std::size_t>(index)];
}

// "Object variable or With block variable not set": a record that a caller's list left null.
[[noreturn]] inline void raise_not_set(std::string_view detail) {
    raise(Err::ObjectNotSet, detail, engine_source());
}

// A record that a caller's list left null (a scene file never does) is error 91; `what` and `index`
// name it in the description.
template <class T>
T& record_of(const std::shared_ptr<T>& record, std::string_view what, std::int64_t index) {
    if (record == nullptr)
        raise_not_set(std::string(what) + " " + std::to_string(index) + " refers to no record");
    return *record;
}

// A record of a world list by index: 9 outside the list, 91 for a null entry.
template <class T>
T& record_at(const std::vector<std::shared_ptr<T>>& list, std::int64_t index, std::string_view what) {
    return record_of(element_at(list, index, what), what, index);
}

// The same for a record list; a null record is error 91.
template <class T>
const T& element_at(const RecordList<T>& list, std::int64_t index, std::string_view what) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= list.size())
        raise_subscript(what, index, list.size());
    const T* record = list[static_cast<std::size_t>(index)];
    if (record == nullptr)
        raise_not_set(std::string(what) + " " + std::to_string(index) + " refers to no record");
    return *record;
}

}  // namespace imp_kzv::import
