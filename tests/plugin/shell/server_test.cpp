#include "shell/server.h"

#include <gtest/gtest.h>

#include <set>

#include "scenefile/p3dPt3D.h"
#include "shell/record_interfaces.h"
#include "shell/record_object.h"

namespace {

TEST(ComponentServer, RegistersEveryPublicClassUnderAStableId) {
    const auto& server = imp_kzv::ComponentServer();
    std::set<std::string_view> names, ids;
    for (const auto& cls : server.classes) {
        names.insert(cls.name);
        ids.insert(cls.class_id);
    }
    EXPECT_EQ(names, (std::set<std::string_view>{"clsPlugin", "p3dWorld", "p3dGroup", "p3dMesh", "meshGeom",
                                                 "MultiMaterial", "p3dMaterial", "p3dCamera", "p3dLight",
                                                 "p3dTrack", "p3dTri", "p3dVert", "p3dPt2D", "p3dPt3D"}));
    EXPECT_EQ(ids.size(), 14u);
    EXPECT_EQ(server.classes[0].class_id, "{81C649D0-144C-4475-9A6B-B8136EE1ECB9}");

    tessavo::RegistryData data;
    for (const auto& s : tessavo::RegistrationEntries(server, "/x/libImp_KZV.so")) data.Put(s);
    ASSERT_NE(data.Find("ProgID/Imp_KZV.clsPlugin"), nullptr);
    ASSERT_NE(data.Find("ProgID/Imp_KZV.p3dPt3D"), nullptr);
    EXPECT_EQ(*data.Find("TypeLib/{8A39C628-34A5-47FD-B5A7-BE2241A23ACE}/1.0")->Find("Name"), "Imp_KZV");
}

TEST(RecordObject, WrapsANewRecordAndKeepsTheComponentLoaded) {
    ASSERT_TRUE(imp_kzv::CanUnloadComponent() == tessavo::kResultOk);
    void* object = nullptr;
    ASSERT_TRUE(imp_kzv::CreateRecordObject<imp_kzv::p3dPt3D>(imp_kzv::_p3dPt3D::kInterfaceId, object).ok());
    auto* point = static_cast<imp_kzv::_p3dPt3D*>(object);
    float x = 1;
    ASSERT_TRUE(point->get_x(x).ok());
    EXPECT_EQ(x, 0) << "a new, empty record";
    EXPECT_EQ(imp_kzv::CanUnloadComponent(), tessavo::kResultFalse);
    point->Release();
    EXPECT_EQ(imp_kzv::CanUnloadComponent(), tessavo::kResultOk);
    EXPECT_EQ(imp_kzv::CreateRecordObject<imp_kzv::p3dPt3D>(imp_kzv::_p3dWorld::kInterfaceId, object).number,
              tessavo::kErrNoInterface);
}

TEST(ComponentEntryPoints, EveryPublicClassIsCreatableThroughItsFactory) {
    for (const auto& cls : imp_kzv::ComponentServer().classes) {
        SCOPED_TRACE(cls.name);
        void* object = nullptr;
        ASSERT_EQ(imp_kzv::GetComponentClassObject(std::string(cls.class_id).c_str(),
                                                   tessavo::IClassFactory::kInterfaceId, &object),
                  tessavo::kResultOk);
        auto* factory = static_cast<tessavo::IClassFactory*>(object);
        void* instance = nullptr;
        EXPECT_TRUE(factory->CreateInstance(tessavo::IObject::kInterfaceId, instance).ok());
        ASSERT_NE(instance, nullptr);
        static_cast<tessavo::IObject*>(instance)->Release();
        factory->Release();
    }
    EXPECT_EQ(imp_kzv::CanUnloadComponent(), tessavo::kResultOk);
}

TEST(ComponentEntryPoints, RejectNullPointersAndUnknownClasses) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(imp_kzv::GetComponentClassObject(nullptr, tessavo::IClassFactory::kInterfaceId, &object),
              tessavo::kErrPointer);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(imp_kzv::GetComponentClassObject("{81C649D0-144C-4475-9A6B-B8136EE1ECB9}", "x", nullptr),
              tessavo::kErrPointer);
}

}  // namespace
