// The host scene operations as one list, in the order of the contract, so that every class that declares
// or forwards them (the contract IHostScene, the framework's host scene interface object, the call log,
// the plug-in's checked calls and the test hosts) is generated from it instead of spelling out each
// operation again. Include it where the list is expanded; it needs tessavo/host_scene.h's types.
//
// TESSAVO_HOST_SCENE_OPERATIONS(OP, OP_RESULT) expands
//   OP(Name, (parameters), (arguments))
//       for an operation whose only answer is its status, and
//   OP_RESULT(Name, (parameters), (arguments), (input parameters), (input arguments), ResultType, result)
//       for one that also answers a value through its last parameter `ResultType& result` (a handle, the
//       locale identifier); the input parameters and arguments are the others.
// Parameters are those of the contract: handles are 32-bit host-issued integers (group 0 = no parent),
// reals doubles, booleans the 16-bit automation form, arrays zero-based and passed by reference.
//   ReportMessage  kind: 1 error, 4 notice (kMessageError, kMessageNotice)
//   CreateTrack    points holds 3 * count coordinates x0, y0, z0, x1, ...
//   SetGroupMatrix 4 x 4 affine matrix row by row, translation in elements 12..14 (row vectors)
//   AddPolygonVertex data: x, y, z, u, v, 100.0
//   SetPolygonColor components on the 0..255 scale, not clamped: a diffuse of 1.2 arrives as 306
#pragma once

#define TESSAVO_HOST_SCENE_OPERATIONS(OP, OP_RESULT)                                                         \
    OP_RESULT(GetHostLCID, (std::int32_t & lcid), (lcid), (), (), std::int32_t, lcid)                        \
    OP(ReportMessage, (const std::string& text, std::int32_t& kind), (text, kind))                           \
    OP(ReportError, (std::int32_t number, const std::string& description, const std::string& source),        \
       (number, description, source))                                                                        \
    OP(ShowProgress, (VBool show), (show))                                                                   \
    OP(SetProgressMax, (std::int32_t count), (count))                                                        \
    OP(SetProgressValue, (std::int32_t count), (count))                                                      \
    OP_RESULT(LoadBitmap, (const std::string& path, VBool flag, Handle& bitmap), (path, flag, bitmap),       \
              (const std::string& path, VBool flag), (path, flag), Handle, bitmap)                           \
    OP_RESULT(CreateCamera, (const std::string& name, Handle& camera), (name, camera),                       \
              (const std::string& name), (name), Handle, camera)                                             \
    OP(SetCameraPosition, (Handle camera, double x, double y, double z), (camera, x, y, z))                  \
    OP(SetCameraAxes,                                                                                        \
       (Handle camera, const std::array<double, 3>& axis1, const std::array<double, 3>& axis2,               \
        const std::array<double, 3>& axis3),                                                                 \
       (camera, axis1, axis2, axis3))                                                                        \
    OP(SetCameraFov, (Handle camera, double degrees), (camera, degrees))                                     \
    OP(SetCameraRange, (Handle camera, double distance), (camera, distance))                                 \
    OP(SetCameraMode, (Handle camera, std::int32_t mode), (camera, mode))                                    \
    OP_RESULT(CreateLight, (const std::string& name, const std::array<double, 3>& position, Handle& light),  \
              (name, position, light), (const std::string& name, const std::array<double, 3>& position),     \
              (name, position), Handle, light)                                                               \
    OP(SetLightColor, (Handle light, const std::array<std::uint8_t, 3>& rgb), (light, rgb))                  \
    OP(SetLightIntensity, (Handle light, double intensity), (light, intensity))                              \
    OP(SetLightIntensity2, (Handle light, double intensity), (light, intensity))                             \
    OP(SetLightRange, (Handle light, double distance), (light, distance))                                    \
    OP_RESULT(                                                                                               \
        CreateTrack,                                                                                         \
        (const std::string& name, VBool cyclic, const std::vector<double>& points, std::int32_t count,       \
         Handle& track),                                                                                     \
        (name, cyclic, points, count, track),                                                                \
        (const std::string& name, VBool cyclic, const std::vector<double>& points, std::int32_t count),      \
        (name, cyclic, points, count), Handle, track)                                                        \
    OP(AddCameraToWorld, (Handle camera), (camera))                                                          \
    OP(AddLightToWorld, (Handle light), (light))                                                             \
    OP(AddTrackToWorld, (Handle track), (track))                                                             \
    OP_RESULT(CreateGroup, (const std::string& name, Handle& group), (name, group),                          \
              (const std::string& name), (name), Handle, group)                                              \
    OP(SetGroupParent, (Handle group, Handle parent), (group, parent))                                       \
    OP(SetGroupMatrix, (Handle group, const std::array<double, 16>& matrix), (group, matrix))                \
    OP(AddGroupToWorld, (Handle group, std::int32_t flag), (group, flag))                                    \
    OP_RESULT(CreatePolygon, (Handle & polygon), (polygon), (), (), Handle, polygon)                         \
    OP_RESULT(AddPolygonVertex, (Handle polygon, const std::array<double, 6>& data, Handle& vertex),         \
              (polygon, data, vertex), (Handle polygon, const std::array<double, 6>& data), (polygon, data), \
              Handle, vertex)                                                                                \
    OP(SetVertexNormal, (Handle vertex, const std::array<double, 3>& normal), (vertex, normal))              \
    OP(SetPolygonVertexColor, (Handle vertex, Handle polygon, const std::array<std::uint8_t, 3>& rgb),       \
       (vertex, polygon, rgb))                                                                               \
    OP(SetPolygonVertexUV2, (Handle vertex, Handle polygon, const std::array<double, 2>& uv),                \
       (vertex, polygon, uv))                                                                                \
    OP(SetPolygonColor, (Handle polygon, std::int32_t red, std::int32_t green, std::int32_t blue),           \
       (polygon, red, green, blue))                                                                          \
    OP(SetPolygonBitmap, (Handle polygon, Handle bitmap), (polygon, bitmap))                                 \
    OP(SetPolygonBitmap2, (Handle polygon, Handle bitmap), (polygon, bitmap))                                \
    OP(ClosePolygon, (Handle polygon), (polygon))                                                            \
    OP(AddPolygonToGroup, (Handle polygon, Handle group), (polygon, group))
