// The built libImp_KZV.so, loaded the way any host loads it: dlopen, the four exported entry points,
// a class factory, and the IPlug contract.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fresh_thread.h"
#include "recording_host.h"
#include "shell/record_interfaces.h"
#include "temp_dir.h"
#include "tessavo/plug.h"
#include "tessavo/registry.h"
#include "tessavo/server.h"

namespace {

using tessavo::Ref;

constexpr char kClsPlugin[] = "{81C649D0-144C-4475-9A6B-B8136EE1ECB9}";
constexpr char kP3dWorld[] = "{F9347FD9-F38B-4CE8-A680-04F96E13857F}";
constexpr char kP3dPt3D[] = "{3411B566-8EFB-4DD5-86C0-FA1F11A0E890}";

class Library {
  public:
    Library() : handle_(::dlopen(IMP_KZV_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() {
        if (handle_) ::dlclose(handle_);
    }
    explicit operator bool() const { return handle_ != nullptr; }
    template <class Function>
    Function Find(const char* name) const {
        return reinterpret_cast<Function>(::dlsym(handle_, name));
    }
    void* Raw(const char* name) const { return ::dlsym(handle_, name); }

  private:
    void* handle_;
};

// Creates an object of class_id through the library's class factory, handed out as interface I.
template <class I>
Ref<I> CreateThroughFactory(const Library& library, const char* class_id) {
    auto get_class_object = library.Find<tessavo::DllGetClassObjectFunction>("DllGetClassObject");
    void* raw = nullptr;
    if (get_class_object(class_id, tessavo::IClassFactory::kInterfaceId, &raw) != tessavo::kResultOk)
        return {};
    auto factory = Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(raw));
    if (!factory->CreateInstance(I::kInterfaceId, raw).ok()) return {};
    return Ref<I>::adopt(static_cast<I*>(raw));
}

TEST(PluginLibrary, ExportsOnlyTheFourEntryPoints) {
    Library library;
    ASSERT_TRUE(library) << ::dlerror();
    for (const char* name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}) {
        EXPECT_NE(library.Raw(name), nullptr) << name;
    }
    EXPECT_EQ(library.Raw("_ZN7imp_kzv9ComponentEv"), nullptr) << "imp_kzv::Component() must stay hidden";
}

TEST(PluginLibrary, HostCreatesThePluginThroughItsFactory) {
    kzv_test::RunOnFreshThread([] {
        Library library;
        ASSERT_TRUE(library) << ::dlerror();
        auto get_class_object = library.Find<tessavo::DllGetClassObjectFunction>("DllGetClassObject");
        auto can_unload = library.Find<tessavo::DllCanUnloadNowFunction>("DllCanUnloadNow");
        EXPECT_EQ(can_unload(), tessavo::kResultOk);

        void* raw = nullptr;
        ASSERT_EQ(get_class_object(kClsPlugin, tessavo::IClassFactory::kInterfaceId, &raw),
                  tessavo::kResultOk);
        auto factory = Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(raw));
        EXPECT_EQ(can_unload(), tessavo::kResultFalse);

        ASSERT_TRUE(factory->CreateInstance(tessavo::IPlug::kInterfaceId, raw).ok());
        auto plug = Ref<tessavo::IPlug>::adopt(static_cast<tessavo::IPlug*>(raw));
        factory.reset();
        EXPECT_EQ(can_unload(), tessavo::kResultFalse) << "the plug-in object is alive";

        kzv_test::RecordingHost host;
        tessavo::IHostApplication* app = host.application();
        ASSERT_TRUE(plug->SetHost(app).ok());
        std::string caption;
        ASSERT_TRUE(plug->get_Caption(caption).ok());
        EXPECT_EQ(caption, "KZV");
        EXPECT_EQ(host.Ops(), (std::vector<std::string>{"AttachHost", "GetHostLCID"}));

        plug.reset();
        EXPECT_EQ(can_unload(), tessavo::kResultOk);
    });
}

TEST(PluginLibrary, LockServerKeepsItLoadedAndUnknownClassesAreRefused) {
    Library library;
    ASSERT_TRUE(library) << ::dlerror();
    auto get_class_object = library.Find<tessavo::DllGetClassObjectFunction>("DllGetClassObject");
    auto can_unload = library.Find<tessavo::DllCanUnloadNowFunction>("DllCanUnloadNow");

    void* raw = reinterpret_cast<void*>(1);
    EXPECT_EQ(get_class_object("{00000000-0000-0000-0000-00000000F00D}", tessavo::IClassFactory::kInterfaceId,
                               &raw),
              tessavo::kErrClassNotAvailable);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(get_class_object(kClsPlugin, "{00000000-0000-0000-0000-000000000001}", &raw),
              tessavo::kErrNoInterface);

    ASSERT_EQ(get_class_object(kClsPlugin, tessavo::IObject::kInterfaceId, &raw), tessavo::kResultOk);
    auto factory = Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(
        static_cast<tessavo::IObject*>(raw)));  // IObject of a factory is its IClassFactory base
    ASSERT_TRUE(factory->LockServer(tessavo::kTrue).ok());
    factory.reset();
    EXPECT_EQ(can_unload(), tessavo::kResultFalse) << "locked";
    ASSERT_EQ(get_class_object(kClsPlugin, tessavo::IClassFactory::kInterfaceId, &raw), tessavo::kResultOk);
    factory = Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(raw));
    ASSERT_TRUE(factory->LockServer(tessavo::kFalse).ok());
    factory.reset();
    EXPECT_EQ(can_unload(), tessavo::kResultOk);
}

TEST(PluginLibrary, RegisterAndUnregisterLeaveOtherComponentsAlone) {
    kzv_test::TempDir dir;
    const std::string registry = dir.file("registry");
    const std::string other =
        "[CLSID/{AAAAAAAA-0000-0000-0000-000000000001}]\nProgID=Other.Thing\nInprocServer=/opt/other.so\n\n"
        "[ProgID/Other.Thing]\nCLSID={AAAAAAAA-0000-0000-0000-000000000001}\n";
    std::ofstream(registry) << other;
    ::setenv("TESSAVO_REGISTRY", registry.c_str(), 1);

    Library library;
    ASSERT_TRUE(library) << ::dlerror();
    ASSERT_EQ(library.Find<tessavo::DllRegisterServerFunction>("DllRegisterServer")(), tessavo::kResultOk);
    ASSERT_EQ(library.Find<tessavo::DllRegisterServerFunction>("DllRegisterServer")(), tessavo::kResultOk)
        << "registering again replaces the entries";

    tessavo::RegistryData data;
    ASSERT_TRUE(tessavo::ReadRegistry(registry, data).ok());
    EXPECT_EQ(data.sections.size(), 2u + 2u * 14u + 1u);
    std::string class_id, library_path;
    ASSERT_TRUE(tessavo::FindInprocServer(registry, "Imp_KZV.clsPlugin", class_id, library_path).ok());
    EXPECT_EQ(class_id, kClsPlugin);
    EXPECT_TRUE(std::filesystem::equivalent(library_path, IMP_KZV_LIBRARY));
    EXPECT_TRUE(std::filesystem::path(library_path).is_absolute());
    EXPECT_EQ(*data.Find(std::string("CLSID/") + kClsPlugin)->Find("ThreadingModel"), "Apartment");
    EXPECT_NE(data.Find("ProgID/Imp_KZV.meshGeom"), nullptr);
    EXPECT_NE(data.Find("TypeLib/{8A39C628-34A5-47FD-B5A7-BE2241A23ACE}/1.0"), nullptr);
    ASSERT_TRUE(tessavo::FindInprocServer(registry, "Other.Thing", class_id, library_path).ok());

    ASSERT_EQ(library.Find<tessavo::DllUnregisterServerFunction>("DllUnregisterServer")(),
              tessavo::kResultOk);
    tessavo::RegistryData expected, after;
    std::string error;
    ASSERT_TRUE(tessavo::ParseRegistry(other, expected, error));
    ASSERT_TRUE(tessavo::ReadRegistry(registry, after).ok());
    EXPECT_EQ(tessavo::FormatRegistry(after), tessavo::FormatRegistry(expected));
    ::unsetenv("TESSAVO_REGISTRY");
}

// A client of the component reads a scene file through the record classes alone: it creates a world,
// hands it an open file, and walks the lists down to vertices, normals and matrices.
TEST(PluginLibrary, ClientReadsTheDemoThroughTheRecordInterfaces) {
    using namespace imp_kzv;
    Library library;
    ASSERT_TRUE(library) << ::dlerror();
    auto world = CreateThroughFactory<_p3dWorld>(library, kP3dWorld);
    ASSERT_TRUE(world);
    const std::string demo = KZV_SOURCE_DIR "/examples/demo.KZV";
    const int fd = ::open(demo.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::int32_t fileNum = fd;
    ASSERT_TRUE(world->Read(fileNum).ok());
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(std::filesystem::file_size(demo)))
        << "the file number stands behind the whole world";
    ::close(fd);

    std::string text;
    ASSERT_TRUE(world->get_strFileFormat(text).ok());
    EXPECT_EQ(text, "KZV");
    std::int32_t count = 0;
    ASSERT_TRUE(world->Get_MeshListCount(count).ok());
    EXPECT_EQ(count, 3);

    std::vector<Ref<_p3dMesh>> meshes;
    ASSERT_TRUE(world->Get_MeshList(meshes).ok());
    ASSERT_EQ(meshes.size(), 3u);
    ASSERT_TRUE(meshes[0]->get_name(text).ok());
    EXPECT_EQ(text, "Crate left");
    DoubleArray4x4 m44;
    ASSERT_TRUE(meshes[0]->Get_p3dTransMatrix_4x4_dbl(m44).ok());
    EXPECT_EQ(m44(3, 0), -3) << "position x in row 3";
    EXPECT_EQ(m44.elements[3], -3) << "first index fastest: (3, 0) is the fourth element";

    std::vector<Ref<_MeshGeom>> geometries;
    ASSERT_TRUE(world->Get_MeshGeomList(geometries).ok());
    std::vector<Ref<_p3dVert>> vertices;
    ASSERT_TRUE(geometries.at(0)->Get_VertexList(vertices).ok());
    ASSERT_FALSE(vertices.empty());
    Ref<_p3dPt3D> loc;
    ASSERT_TRUE(vertices[0]->get_loc(loc).ok());
    float x = 0;
    ASSERT_TRUE(loc->get_x(x).ok());
    EXPECT_EQ(x, -1);
    std::vector<Ref<_p3dPt3D>> normals;
    ASSERT_TRUE(vertices[0]->Get_NormalList(normals).ok());
    EXPECT_EQ(normals.size(), 3u);

    std::vector<Ref<_MultiMaterial>> multis;
    ASSERT_TRUE(world->Get_MultiMatList(multis).ok());
    ASSERT_TRUE(multis.at(0)->GetMatCount(count).ok());
    EXPECT_EQ(count, 2);
    std::int32_t slot = 2, material = 0;
    EXPECT_EQ(multis[0]->Get_iMatIndx(slot, material).number, 9) << "no fallback outside the list";

    std::vector<Ref<_p3dGroup>> groups;
    ASSERT_TRUE(world->Get_GroupList(groups).ok());
    std::vector<std::int32_t> children;
    ASSERT_TRUE(groups.at(0)->Get_iChildGroupList(children).ok());
    EXPECT_EQ(children, (std::vector<std::int32_t>{1, 2}));
    std::vector<Ref<_p3dTrack>> tracks;
    ASSERT_TRUE(world->Get_TrackList(tracks).ok());
    std::vector<Ref<_p3dPt3D>> points;
    ASSERT_TRUE(tracks.at(0)->Get_PointList(points).ok());
    EXPECT_EQ(points.size(), 4u);
    std::vector<Ref<_p3dCamera>> cameras;
    ASSERT_TRUE(world->Get_CameraList(cameras).ok());
    ASSERT_TRUE(cameras.at(0)->get_fov(x).ok());
    EXPECT_FLOAT_EQ(x, 45);

    // Records handed out share the world's: a change through one copy of a list shows in the next.
    std::vector<Ref<_p3dMaterial>> materials;
    ASSERT_TRUE(world->Get_MaterialList(materials).ok());
    ASSERT_TRUE(materials.at(0)->put_stateBitmapHandle(77).ok());
    ASSERT_TRUE(world->Get_MaterialList(materials).ok());
    std::int32_t handle = 0;
    ASSERT_TRUE(materials[0]->get_stateBitmapHandle(handle).ok());
    EXPECT_EQ(handle, 77);
}

// The slot of a virtual member in its interface's table, from its pointer to member as the Itanium C++ ABI
// of this platform encodes it (1 + the byte offset of the slot).
template <class Member>
std::size_t SlotOf(Member member) {
    std::uintptr_t raw = 0;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw - 1) / sizeof(void*);
}

// _p3dWorld's members follow IObject's two in the world's own order: its properties, Read, then the
// count and the list accessors.
TEST(PluginLibrary, WorldInterfaceKeepsTheMembersInTheWorldsOrder) {
    using W = imp_kzv::_p3dWorld;
    const std::size_t slots[] = {
        SlotOf(&W::get_strFileFormat),
        SlotOf(&W::put_strFileFormat),
        SlotOf(&W::get_strVersion),
        SlotOf(&W::put_strVersion),
        SlotOf(&W::get_bkgColor),
        SlotOf(&W::putref_bkgColor),
        SlotOf(&W::Read),
        SlotOf(&W::Get_MeshListCount),
        SlotOf(&W::Get_MaterialList),
        SlotOf(&W::Get_CameraList),
        SlotOf(&W::Get_MeshList),
        SlotOf(&W::Get_GroupList),
        SlotOf(&W::Get_LightList),
        SlotOf(&W::Get_TrackList),
        SlotOf(&W::Get_MultiMatList),
        SlotOf(&W::Get_MeshGeomList),
    };
    for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], i + 2) << "member " << i;
}

TEST(PluginLibrary, RecordReadsContinueWhereTheFileNumberStandsAndSetByReferenceShares) {
    using namespace imp_kzv;
    Library library;
    ASSERT_TRUE(library) << ::dlerror();
    kzv_test::TempDir dir;
    const std::string path = dir.file("points");
    const float values[] = {1, 2, 3, 4, 5, 6};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(values), sizeof values);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);

    auto first = CreateThroughFactory<_p3dPt3D>(library, kP3dPt3D);
    auto second = CreateThroughFactory<_p3dPt3D>(library, kP3dPt3D);
    ASSERT_TRUE(first && second);
    std::int32_t fileNum = fd;
    ASSERT_TRUE(first->Read(fileNum).ok());
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 12);
    ASSERT_TRUE(second->Read(fileNum).ok());
    float z = 0;
    ASSERT_TRUE(second->get_z(z).ok());
    EXPECT_EQ(z, 6);
    const tessavo::Status past_end = first->Read(fileNum);
    EXPECT_EQ(past_end.number, 62);
    EXPECT_EQ(past_end.source, "Imp_KZV.p3dPt3D");
    ::close(fd);
    std::int32_t closed = fd;
    EXPECT_EQ(first->Read(closed).number, 52) << "a file number that is not open";

    auto world = CreateThroughFactory<_p3dWorld>(library, kP3dWorld);
    Ref<_p3dPt3D> colour;
    ASSERT_TRUE(world->get_bkgColor(colour).ok());
    EXPECT_FALSE(colour) << "no background colour before Read";
    ASSERT_TRUE(world->putref_bkgColor(second.get()).ok());
    ASSERT_TRUE(second->put_x(9).ok());
    ASSERT_TRUE(world->get_bkgColor(colour).ok());
    float x = 0;
    ASSERT_TRUE(colour->get_x(x).ok());
    EXPECT_EQ(x, 9) << "set by reference: the world holds the same point";
}

// The component's state starts empty when it is loaded, also when the same thread loaded and unloaded
// it before.
TEST(PluginLibrary, AReloadStartsWithEmptyState) {
    kzv_test::RunOnFreshThread([] {
        kzv_test::RecordingHost host;
        {
            Library library;
            ASSERT_TRUE(library) << ::dlerror();
            auto plug = CreateThroughFactory<tessavo::IPlug>(library, kClsPlugin);
            ASSERT_TRUE(plug);
            tessavo::IHostApplication* app = host.application();
            ASSERT_TRUE(plug->SetHost(app).ok());
            ASSERT_TRUE(plug->put_MyPluginIndex(42).ok());
            std::string caption;
            ASSERT_TRUE(plug->get_Caption(caption).ok());
            ASSERT_EQ(caption, "KZV");
            plug.reset();
            ASSERT_EQ(library.Find<tessavo::DllCanUnloadNowFunction>("DllCanUnloadNow")(),
                      tessavo::kResultOk);
        }
        Library library;
        ASSERT_TRUE(library) << ::dlerror();
        auto plug = CreateThroughFactory<tessavo::IPlug>(library, kClsPlugin);
        ASSERT_TRUE(plug);
        std::string caption = "x";
        ASSERT_TRUE(plug->get_Caption(caption).ok());
        EXPECT_EQ(caption, "");
        std::int32_t index = -1;
        ASSERT_TRUE(plug->get_MyPluginIndex(index).ok());
        EXPECT_EQ(index, 0);
    });
}

}  // namespace
