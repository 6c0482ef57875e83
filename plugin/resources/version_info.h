// Version information and type library of the component Imp_KZV.
#pragma once

#include <string_view>

namespace imp_kzv {

// The product name is also the first part of every line the component adds to an error trace.
inline constexpr std::string_view kProductName = "Imp_KZV_Plugin";
inline constexpr std::string_view kFileVersion = "1.00";
inline constexpr std::string_view kProductVersion = "1.00";
inline constexpr std::string_view kComponentName = "Imp_KZV";
inline constexpr std::string_view kComponentFile = "libImp_KZV.so";

inline constexpr std::string_view kTypeLibraryId = "{8A39C628-34A5-47FD-B5A7-BE2241A23ACE}";
inline constexpr std::string_view kTypeLibraryVersion = "1.0";

}  // namespace imp_kzv
