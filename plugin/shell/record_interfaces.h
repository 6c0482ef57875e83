// The automation interfaces of the record classes: what a client that creates "Imp_KZV.p3dWorld" (or any
// other record class) through the class factory can call. Each is named after its class with a leading
// underscore (_MeshGeom for meshGeom) and lists the class's members in the class's own order.
//
// Conventions, as for every framework contract: members are noexcept and return a Status; a property
// has get_ (and put_ for a value, putref_ for a record set by reference); results come back through
// out-parameters. Records come back as counted references (null for a record not set); list accessors
// return copies of the lists that share the records. A record handed to putref_ must be one created by
// this component (a foreign implementation of the interface is a type mismatch, number 13).
//
// Read(fileNum): fileNum is an open file descriptor of the scene file, read from its current position;
// on return the descriptor's position is just behind the bytes the record read (a failed read leaves
// it where the failure stopped). The descriptor must be seekable; it stays open and the caller's.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scenefile/trans_matrix.h"
#include "tessavo/host_scene.h"
#include "tessavo/object.h"

namespace imp_kzv {

using tessavo::Ref;
using tessavo::Status;
using tessavo::VBool;

class _p3dPt3D : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{CC7BA57A-6044-4B3E-8B75-9F4846721F9C}";
    virtual Status get_x(float& result) noexcept = 0;
    virtual Status put_x(float value) noexcept = 0;
    virtual Status get_y(float& result) noexcept = 0;
    virtual Status put_y(float value) noexcept = 0;
    virtual Status get_z(float& result) noexcept = 0;
    virtual Status put_z(float value) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dPt3D() = default;
};

class _p3dPt2D : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{1FF4C20F-32F2-47BD-9E62-9BC3F6B53E55}";
    virtual Status get_x(float& result) noexcept = 0;
    virtual Status put_x(float value) noexcept = 0;
    virtual Status get_y(float& result) noexcept = 0;
    virtual Status put_y(float value) noexcept = 0;
    // Its callers pass a 16-bit copy of their file number.
    virtual Status Read(std::int16_t& fileNum) noexcept = 0;

  protected:
    ~_p3dPt2D() = default;
};

class _p3dMaterial : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{1DB39C0E-4373-4AF8-A63E-0B5A4AC1A601}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_ambient(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_ambient(_p3dPt3D* value) noexcept = 0;
    virtual Status get_diffuse(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_diffuse(_p3dPt3D* value) noexcept = 0;
    virtual Status get_specular(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_specular(_p3dPt3D* value) noexcept = 0;
    virtual Status get_shininess(float& result) noexcept = 0;
    virtual Status put_shininess(float value) noexcept = 0;
    virtual Status get_transparency(float& result) noexcept = 0;
    virtual Status put_transparency(float value) noexcept = 0;
    virtual Status get_tileX(float& result) noexcept = 0;
    virtual Status put_tileX(float value) noexcept = 0;
    virtual Status get_tileY(float& result) noexcept = 0;
    virtual Status put_tileY(float value) noexcept = 0;
    virtual Status get_twoSided(VBool& result) noexcept = 0;
    virtual Status put_twoSided(VBool value) noexcept = 0;
    virtual Status get_emission(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_emission(_p3dPt3D* value) noexcept = 0;
    virtual Status get_textureUsed(VBool& result) noexcept = 0;
    virtual Status put_textureUsed(VBool value) noexcept = 0;
    virtual Status get_textureName(std::string& result) noexcept = 0;
    virtual Status put_textureName(const std::string& value) noexcept = 0;
    virtual Status get_mipMapsUsed(VBool& result) noexcept = 0;
    virtual Status put_mipMapsUsed(VBool value) noexcept = 0;
    virtual Status get_alphaMapUsed(VBool& result) noexcept = 0;
    virtual Status put_alphaMapUsed(VBool value) noexcept = 0;
    virtual Status get_alphaMapName(std::string& result) noexcept = 0;
    virtual Status put_alphaMapName(const std::string& value) noexcept = 0;
    virtual Status get_texture2Used(VBool& result) noexcept = 0;
    virtual Status put_texture2Used(VBool value) noexcept = 0;
    // texture2Name holds a general value on the platform; a text serves every use, so let and set
    // both store the text.
    virtual Status get_texture2Name(std::string& result) noexcept = 0;
    virtual Status put_texture2Name(const std::string& value) noexcept = 0;
    virtual Status putref_texture2Name(const std::string& value) noexcept = 0;
    virtual Status get_stateBitmapHandle(std::int32_t& result) noexcept = 0;
    virtual Status put_stateBitmapHandle(std::int32_t value) noexcept = 0;
    virtual Status get_stateBitmap2Handle(std::int32_t& result) noexcept = 0;
    virtual Status put_stateBitmap2Handle(std::int32_t value) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dMaterial() = default;
};

class _p3dCamera : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{5B55A71B-85C7-490E-BDA2-43556A371F16}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_fov(float& result) noexcept = 0;
    virtual Status put_fov(float value) noexcept = 0;
    virtual Status get_nearRange(float& result) noexcept = 0;
    virtual Status put_nearRange(float value) noexcept = 0;
    virtual Status get_farRange(float& result) noexcept = 0;
    virtual Status put_farRange(float value) noexcept = 0;
    virtual Status Get_p3dTransMatrix(TransMatrix& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dCamera() = default;
};

class _p3dLight : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{51BA7E25-0783-42F6-9FC1-5418E3AF0331}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_loc(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_loc(_p3dPt3D* value) noexcept = 0;
    virtual Status get_color(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_color(_p3dPt3D* value) noexcept = 0;
    virtual Status get_intensity(float& result) noexcept = 0;
    virtual Status put_intensity(float value) noexcept = 0;
    virtual Status get_minDist(float& result) noexcept = 0;
    virtual Status put_minDist(float value) noexcept = 0;
    virtual Status get_maxDist(float& result) noexcept = 0;
    virtual Status put_maxDist(float value) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;
    virtual Status Get_iMeshesExcludedList(std::vector<std::int32_t>& result) noexcept = 0;

  protected:
    ~_p3dLight() = default;
};

class _p3dTrack : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{1583B0D3-AE08-40DE-9553-8E5F516510BC}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_cyclic(VBool& result) noexcept = 0;
    virtual Status put_cyclic(VBool value) noexcept = 0;
    virtual Status Get_PointList(std::vector<Ref<_p3dPt3D>>& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dTrack() = default;
};

class _p3dVert : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{3F615D74-305E-4447-8BD0-963F2AF74442}";
    virtual Status get_loc(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_loc(_p3dPt3D* value) noexcept = 0;
    virtual Status Get_NormalList(std::vector<Ref<_p3dPt3D>>& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dVert() = default;
};

class _p3dTri : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{89F5D399-A12F-4CA2-AD2B-F6CE0B7ED4BB}";
#define IMP_KZV_TRI_PROPERTY(name)                                \
    virtual Status get_##name(std::int32_t& result) noexcept = 0; \
    virtual Status put_##name(std::int32_t value) noexcept = 0;
    IMP_KZV_TRI_PROPERTY(iVert1)
    IMP_KZV_TRI_PROPERTY(iVert2)
    IMP_KZV_TRI_PROPERTY(iVert3)
    IMP_KZV_TRI_PROPERTY(iN1)
    IMP_KZV_TRI_PROPERTY(iN2)
    IMP_KZV_TRI_PROPERTY(iN3)
    IMP_KZV_TRI_PROPERTY(iMat)
    IMP_KZV_TRI_PROPERTY(iTC1)
    IMP_KZV_TRI_PROPERTY(iTC2)
    IMP_KZV_TRI_PROPERTY(iTC3)
    IMP_KZV_TRI_PROPERTY(iTCs1)
    IMP_KZV_TRI_PROPERTY(iTCs2)
    IMP_KZV_TRI_PROPERTY(iTCs3)
    IMP_KZV_TRI_PROPERTY(iVC1)
    IMP_KZV_TRI_PROPERTY(iVC2)
    IMP_KZV_TRI_PROPERTY(iVC3)
#undef IMP_KZV_TRI_PROPERTY
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dTri() = default;
};

class _MultiMaterial : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{C02C0437-4509-4111-AB13-21BA2CAFA394}";
    // Fails with 9 (subscript out of range) for a slot outside the list.
    virtual Status Get_iMatIndx(std::int32_t& indx, std::int32_t& result) noexcept = 0;
    virtual Status Get_iMatIndxList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;
    virtual Status GetMatCount(std::int32_t& result) noexcept = 0;

  protected:
    ~_MultiMaterial() = default;
};

class _MeshGeom : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{EBB455B1-DCF5-4EF8-AB08-E2060334B7AE}";
    virtual Status Get_VertexList(std::vector<Ref<_p3dVert>>& result) noexcept = 0;
    virtual Status Get_TexCoordsList(std::vector<Ref<_p3dPt2D>>& result) noexcept = 0;
    virtual Status Get_TexCoords2list(std::vector<Ref<_p3dPt2D>>& result) noexcept = 0;
    virtual Status Get_TriList(std::vector<Ref<_p3dTri>>& result) noexcept = 0;
    virtual Status Get_ColorList(std::vector<Ref<_p3dPt3D>>& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_MeshGeom() = default;
};

class _p3dMesh : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{E7863F47-68C4-42A9-9602-B1A888577917}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_iMeshGeom(std::int32_t& result) noexcept = 0;
    virtual Status put_iMeshGeom(std::int32_t value) noexcept = 0;
    virtual Status get_iMultiMat(std::int32_t& result) noexcept = 0;
    virtual Status put_iMultiMat(std::int32_t value) noexcept = 0;
    virtual Status Get_p3dTransMatrix_16_dbl(std::array<double, 16>& result) noexcept = 0;
    virtual Status Get_p3dTransMatrix_4x4_dbl(DoubleArray4x4& result) noexcept = 0;
    virtual Status Get_p3dTransMatrix(TransMatrix& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dMesh() = default;
};

class _p3dGroup : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{7C3B1F44-2996-4CF1-9392-A2D546AB70BE}";
    virtual Status get_name(std::string& result) noexcept = 0;
    virtual Status put_name(const std::string& value) noexcept = 0;
    virtual Status get_pivot(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_pivot(_p3dPt3D* value) noexcept = 0;
    virtual Status get_userDataLen(std::int32_t& result) noexcept = 0;
    virtual Status put_userDataLen(std::int32_t value) noexcept = 0;
    virtual Status Get_iChildGroupList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Get_iMeshList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Get_iCameraList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Get_iLightList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Get_iTrackList(std::vector<std::int32_t>& result) noexcept = 0;
    virtual Status Get_p3dTransMatrix(TransMatrix& result) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;

  protected:
    ~_p3dGroup() = default;
};

class _p3dWorld : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{CB5D624A-4661-433D-955F-D531AC79B941}";
    virtual Status get_strFileFormat(std::string& result) noexcept = 0;
    virtual Status put_strFileFormat(const std::string& value) noexcept = 0;
    virtual Status get_strVersion(std::string& result) noexcept = 0;
    virtual Status put_strVersion(const std::string& value) noexcept = 0;
    virtual Status get_bkgColor(Ref<_p3dPt3D>& result) noexcept = 0;
    virtual Status putref_bkgColor(_p3dPt3D* value) noexcept = 0;
    virtual Status Read(std::int32_t& fileNum) noexcept = 0;
    virtual Status Get_MeshListCount(std::int32_t& result) noexcept = 0;
    virtual Status Get_MaterialList(std::vector<Ref<_p3dMaterial>>& result) noexcept = 0;
    virtual Status Get_CameraList(std::vector<Ref<_p3dCamera>>& result) noexcept = 0;
    virtual Status Get_MeshList(std::vector<Ref<_p3dMesh>>& result) noexcept = 0;
    virtual Status Get_GroupList(std::vector<Ref<_p3dGroup>>& result) noexcept = 0;
    virtual Status Get_LightList(std::vector<Ref<_p3dLight>>& result) noexcept = 0;
    virtual Status Get_TrackList(std::vector<Ref<_p3dTrack>>& result) noexcept = 0;
    virtual Status Get_MultiMatList(std::vector<Ref<_MultiMaterial>>& result) noexcept = 0;
    virtual Status Get_MeshGeomList(std::vector<Ref<_MeshGeom>>& result) noexcept = 0;

  protected:
    ~_p3dWorld() = default;
};

}  // namespace imp_kzv
