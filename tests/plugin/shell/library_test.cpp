// The built libImp_KZV.so, loaded the way any host loads it: dlopen, the four exported entry points,
// a class factory, and the IPlug contract.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fresh_thread.h"
#include "recording_host.h"
#include "temp_dir.h"
#include "tessavo/plug.h"
#include "tessavo/registry.h"
#include "tessavo/server.h"

namespace {

using tessavo::Ref;

constexpr char kClsPlugin[] = "{81C649D0-144C-4475-9A6B-B8136EE1ECB9}";

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

}  // namespace
