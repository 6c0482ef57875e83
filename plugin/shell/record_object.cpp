// The record objects: each wraps one record (shared with the lists that hold it) and answers its
// automation interface by calling the record class. Records handed out by a property or a list accessor
// are wrapped afresh and share the record, as the list copies of the record classes do.
#include "shell/record_object.h"

#include <memory>
#include <utility>
#include <vector>

#include "scenefile/p3dWorld.h"
#include "shell/err_handler.h"
#include "shell/record_interfaces.h"
#include "shell/server.h"
#include "tessavo/server.h"

namespace imp_kzv {
namespace {

template <class Record>
struct InterfaceFor;
template <>
struct InterfaceFor<p3dPt3D> {
    using type = _p3dPt3D;
};
template <>
struct InterfaceFor<p3dPt2D> {
    using type = _p3dPt2D;
};
template <>
struct InterfaceFor<p3dMaterial> {
    using type = _p3dMaterial;
};
template <>
struct InterfaceFor<p3dCamera> {
    using type = _p3dCamera;
};
template <>
struct InterfaceFor<p3dLight> {
    using type = _p3dLight;
};
template <>
struct InterfaceFor<p3dTrack> {
    using type = _p3dTrack;
};
template <>
struct InterfaceFor<p3dVert> {
    using type = _p3dVert;
};
template <>
struct InterfaceFor<p3dTri> {
    using type = _p3dTri;
};
template <>
struct InterfaceFor<MultiMaterial> {
    using type = _MultiMaterial;
};
template <>
struct InterfaceFor<meshGeom> {
    using type = _MeshGeom;
};
template <>
struct InterfaceFor<p3dMesh> {
    using type = _p3dMesh;
};
template <>
struct InterfaceFor<p3dGroup> {
    using type = _p3dGroup;
};
template <>
struct InterfaceFor<p3dWorld> {
    using type = _p3dWorld;
};

template <class Record>
using InterfaceOf = typename InterfaceFor<Record>::type;

// The object of one record class; specialised below for each, leaves first.
template <class Record>
class RecordObject;

// A client's file number for the length of one Read: the reader over the descriptor, which is put just
// behind the bytes read when the Read ends, successfully or not.
class FileNumberRead {
  public:
    FileNumberRead(int fileNum, std::string_view source)
        : reader_(SceneReader::open_descriptor(fileNum, std::string(source))) {}
    ~FileNumberRead() { reader_.release_descriptor(); }
    FileNumberRead(const FileNumberRead&) = delete;
    FileNumberRead& operator=(const FileNumberRead&) = delete;
    SceneReader& reader() noexcept { return reader_; }

  private:
    SceneReader reader_;
};

template <class Record>
Ref<InterfaceOf<Record>> Wrap(const std::shared_ptr<Record>& record) {
    if (!record) return {};
    return tessavo::MakeRef<RecordObject<Record>>(record);
}

template <class Record>
std::vector<Ref<InterfaceOf<Record>>> WrapList(const std::vector<std::shared_ptr<Record>>& list) {
    std::vector<Ref<InterfaceOf<Record>>> wrapped;
    wrapped.reserve(list.size());
    for (const auto& record : list) wrapped.push_back(Wrap(record));
    return wrapped;
}

// The record behind an object of this component; null for null. A foreign implementation of the
// interface has no record to share: a type mismatch.
template <class Record>
std::shared_ptr<Record> Unwrap(InterfaceOf<Record>* object, std::string_view source) {
    if (object == nullptr) return nullptr;
    auto* own = dynamic_cast<RecordObject<Record>*>(object);
    if (own == nullptr) {
        raise(Err::TypeMismatch, "the record was not created by this component", std::string(source));
    }
    return own->shared();
}

// What every record object shares: its record, its count as a live object, and the step from a C++
// failure to a status with the record class's source.
template <class Record>
class RecordObjectBase : public tessavo::RefCounted<InterfaceOf<Record>> {
  public:
    explicit RecordObjectBase(std::shared_ptr<Record> record) : record_(std::move(record)) {}
    const std::shared_ptr<Record>& shared() const noexcept { return record_; }

  protected:
    Record& record() const noexcept { return *record_; }

    template <class Body>
    static Status Call(Body&& body) noexcept {
        try {
            body();
            return {};
        } catch (...) {
            return ToStatus(CurrentError(Record::kSource));
        }
    }
    template <class T, class Value>
    static Status Get(T& result, Value&& value) noexcept {
        return Call([&] { result = std::forward<Value>(value); });
    }
    template <class Field>
    static Status PutRecord(Field& field, InterfaceOf<p3dPt3D>* value) noexcept {
        return Call([&] { field = Unwrap<p3dPt3D>(value, Record::kSource); });
    }
    Status ReadFileNumber(int fileNum) noexcept {
        return Call([&] {
            FileNumberRead file(fileNum, Record::kSource);
            record_->Read(file.reader());
        });
    }

  private:
    std::shared_ptr<Record> record_;
    tessavo::LiveObject live_{ComponentLifetime()};
};

// A value property: get_name and put_name.
#define IMP_KZV_VALUE_PROPERTY(Type, name)              \
    Status get_##name(Type& result) noexcept override { \
        return Get(result, record().name);              \
    }                                                   \
    Status put_##name(Type value) noexcept override {   \
        record().name = value;                          \
        return {};                                      \
    }
#define IMP_KZV_TEXT_PROPERTY(name)                                 \
    Status get_##name(std::string& result) noexcept override {      \
        return Get(result, record().name);                          \
    }                                                               \
    Status put_##name(const std::string& value) noexcept override { \
        return Get(record().name, value);                           \
    }
// A record property set by reference: get_name and putref_name.
#define IMP_KZV_POINT_PROPERTY(name)                             \
    Status get_##name(Ref<_p3dPt3D>& result) noexcept override { \
        return Call([&] { result = Wrap(record().name); });      \
    }                                                            \
    Status putref_##name(_p3dPt3D* value) noexcept override {    \
        return PutRecord(record().name, value);                  \
    }
#define IMP_KZV_READ(FileNumber)                         \
    Status Read(FileNumber& fileNum) noexcept override { \
        return ReadFileNumber(fileNum);                  \
    }

template <>
class RecordObject<p3dPt3D> final : public RecordObjectBase<p3dPt3D> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_VALUE_PROPERTY(float, x)
    IMP_KZV_VALUE_PROPERTY(float, y)
    IMP_KZV_VALUE_PROPERTY(float, z)
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dPt2D> final : public RecordObjectBase<p3dPt2D> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_VALUE_PROPERTY(float, x)
    IMP_KZV_VALUE_PROPERTY(float, y)
    IMP_KZV_READ(std::int16_t)
};

template <>
class RecordObject<p3dMaterial> final : public RecordObjectBase<p3dMaterial> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_POINT_PROPERTY(ambient)
    IMP_KZV_POINT_PROPERTY(diffuse)
    IMP_KZV_POINT_PROPERTY(specular)
    IMP_KZV_VALUE_PROPERTY(float, shininess)
    IMP_KZV_VALUE_PROPERTY(float, transparency)
    IMP_KZV_VALUE_PROPERTY(float, tileX)
    IMP_KZV_VALUE_PROPERTY(float, tileY)
    IMP_KZV_VALUE_PROPERTY(VBool, twoSided)
    IMP_KZV_POINT_PROPERTY(emission)
    IMP_KZV_VALUE_PROPERTY(VBool, textureUsed)
    IMP_KZV_TEXT_PROPERTY(textureName)
    IMP_KZV_VALUE_PROPERTY(VBool, mipMapsUsed)
    IMP_KZV_VALUE_PROPERTY(VBool, alphaMapUsed)
    IMP_KZV_TEXT_PROPERTY(alphaMapName)
    IMP_KZV_VALUE_PROPERTY(VBool, texture2Used)
    IMP_KZV_TEXT_PROPERTY(texture2Name)
    Status putref_texture2Name(const std::string& value) noexcept override { return put_texture2Name(value); }
    IMP_KZV_VALUE_PROPERTY(std::int32_t, stateBitmapHandle)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, stateBitmap2Handle)
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dCamera> final : public RecordObjectBase<p3dCamera> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_VALUE_PROPERTY(float, fov)
    IMP_KZV_VALUE_PROPERTY(float, nearRange)
    IMP_KZV_VALUE_PROPERTY(float, farRange)
    Status Get_p3dTransMatrix(TransMatrix& result) noexcept override {
        return Get(result, record().Get_p3dTransMatrix());
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dLight> final : public RecordObjectBase<p3dLight> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_POINT_PROPERTY(loc)
    IMP_KZV_POINT_PROPERTY(color)
    IMP_KZV_VALUE_PROPERTY(float, intensity)
    IMP_KZV_VALUE_PROPERTY(float, minDist)
    IMP_KZV_VALUE_PROPERTY(float, maxDist)
    IMP_KZV_READ(std::int32_t)
    Status Get_iMeshesExcludedList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iMeshesExcludedList());
    }
};

template <>
class RecordObject<p3dTrack> final : public RecordObjectBase<p3dTrack> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_VALUE_PROPERTY(VBool, cyclic)
    Status Get_PointList(std::vector<Ref<_p3dPt3D>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_PointList()); });
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dVert> final : public RecordObjectBase<p3dVert> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_POINT_PROPERTY(loc)
    Status Get_NormalList(std::vector<Ref<_p3dPt3D>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_NormalList()); });
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dTri> final : public RecordObjectBase<p3dTri> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVert1)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVert2)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVert3)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iN1)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iN2)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iN3)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iMat)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTC1)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTC2)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTC3)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTCs1)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTCs2)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iTCs3)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVC1)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVC2)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iVC3)
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<MultiMaterial> final : public RecordObjectBase<MultiMaterial> {
  public:
    using RecordObjectBase::RecordObjectBase;
    Status Get_iMatIndx(std::int32_t& indx, std::int32_t& result) noexcept override {
        return Call([&] { result = record().Get_iMatIndx(indx); });
    }
    Status Get_iMatIndxList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iMatIndxList());
    }
    IMP_KZV_READ(std::int32_t)
    Status GetMatCount(std::int32_t& result) noexcept override { return Get(result, record().GetMatCount()); }
};

template <>
class RecordObject<meshGeom> final : public RecordObjectBase<meshGeom> {
  public:
    using RecordObjectBase::RecordObjectBase;
    Status Get_VertexList(std::vector<Ref<_p3dVert>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_VertexList()); });
    }
    Status Get_TexCoordsList(std::vector<Ref<_p3dPt2D>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_TexCoordsList()); });
    }
    Status Get_TexCoords2list(std::vector<Ref<_p3dPt2D>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_TexCoords2list()); });
    }
    Status Get_TriList(std::vector<Ref<_p3dTri>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_TriList()); });
    }
    Status Get_ColorList(std::vector<Ref<_p3dPt3D>>& result) noexcept override {
        return Call([&] { result = WrapList(record().Get_ColorList()); });
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dMesh> final : public RecordObjectBase<p3dMesh> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iMeshGeom)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, iMultiMat)
    Status Get_p3dTransMatrix_16_dbl(std::array<double, 16>& result) noexcept override {
        return Get(result, record().Get_p3dTransMatrix_16_dbl());
    }
    Status Get_p3dTransMatrix_4x4_dbl(DoubleArray4x4& result) noexcept override {
        return Get(result, record().Get_p3dTransMatrix_4x4_dbl());
    }
    Status Get_p3dTransMatrix(TransMatrix& result) noexcept override {
        return Get(result, record().Get_p3dTransMatrix());
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dGroup> final : public RecordObjectBase<p3dGroup> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(name)
    IMP_KZV_POINT_PROPERTY(pivot)
    IMP_KZV_VALUE_PROPERTY(std::int32_t, userDataLen)
    Status Get_iChildGroupList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iChildGroupList());
    }
    Status Get_iMeshList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iMeshList());
    }
    Status Get_iCameraList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iCameraList());
    }
    Status Get_iLightList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iLightList());
    }
    Status Get_iTrackList(std::vector<std::int32_t>& result) noexcept override {
        return Get(result, record().View_iTrackList());
    }
    Status Get_p3dTransMatrix(TransMatrix& result) noexcept override {
        return Get(result, record().Get_p3dTransMatrix());
    }
    IMP_KZV_READ(std::int32_t)
};

template <>
class RecordObject<p3dWorld> final : public RecordObjectBase<p3dWorld> {
  public:
    using RecordObjectBase::RecordObjectBase;
    IMP_KZV_TEXT_PROPERTY(strFileFormat)
    IMP_KZV_TEXT_PROPERTY(strVersion)
    IMP_KZV_POINT_PROPERTY(bkgColor)
    IMP_KZV_READ(std::int32_t)
    Status Get_MeshListCount(std::int32_t& result) noexcept override {
        return Get(result, record().Get_MeshListCount());
    }
    Status Get_MaterialList(std::vector<Ref<_p3dMaterial>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_MaterialList()); });
    }
    Status Get_CameraList(std::vector<Ref<_p3dCamera>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_CameraList()); });
    }
    Status Get_MeshList(std::vector<Ref<_p3dMesh>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_MeshList()); });
    }
    Status Get_GroupList(std::vector<Ref<_p3dGroup>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_GroupList()); });
    }
    Status Get_LightList(std::vector<Ref<_p3dLight>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_LightList()); });
    }
    Status Get_TrackList(std::vector<Ref<_p3dTrack>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_TrackList()); });
    }
    Status Get_MultiMatList(std::vector<Ref<_MultiMaterial>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_MultiMatList()); });
    }
    Status Get_MeshGeomList(std::vector<Ref<_MeshGeom>>& result) noexcept override {
        return Call([&] { result = WrapList(record().View_MeshGeomList()); });
    }
};

#undef IMP_KZV_VALUE_PROPERTY
#undef IMP_KZV_TEXT_PROPERTY
#undef IMP_KZV_POINT_PROPERTY
#undef IMP_KZV_READ

}  // namespace

template <class Record>
tessavo::Status CreateRecordObject(std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    try {
        auto created = tessavo::MakeRef<RecordObject<Record>>(std::make_shared<Record>());
        return tessavo::OfferInterface<InterfaceOf<Record>>(*created, interface_id, object);
    } catch (...) {
        return ToStatus(CurrentError(kComponentSource));
    }
}

template Status CreateRecordObject<p3dWorld>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dGroup>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dMesh>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<meshGeom>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<MultiMaterial>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dMaterial>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dCamera>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dLight>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dTrack>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dTri>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dVert>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dPt2D>(std::string_view, void*&) noexcept;
template Status CreateRecordObject<p3dPt3D>(std::string_view, void*&) noexcept;

}  // namespace imp_kzv
