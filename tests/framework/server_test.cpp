#include "tessavo/server.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using tessavo::Ref;
using tessavo::ServerLifetime;

ServerLifetime& TestLifetime() {
    static ServerLifetime lifetime;
    return lifetime;
}

class Widget final : public tessavo::RefCounted<tessavo::IObject> {
    tessavo::LiveObject live_{TestLifetime()};
};

tessavo::Status CreateWidget(std::string_view interface_id, void*& object) noexcept {
    auto widget = tessavo::MakeRef<Widget>();
    return tessavo::OfferInterface<tessavo::IObject>(*widget, interface_id, object);
}

constexpr std::array kClasses{
    tessavo::ServerClass{"Widget", "{11111111-2222-3333-4444-555555555555}", &CreateWidget},
    tessavo::ServerClass{"Later", "{66666666-2222-3333-4444-555555555555}", nullptr},
};
constexpr tessavo::ServerDescription kServer{"Test", "{77777777-2222-3333-4444-555555555555}", "2.5",
                                             "Apartment", kClasses};

Ref<tessavo::IClassFactory> Factory(std::string_view class_id) {
    void* object = nullptr;
    EXPECT_TRUE(tessavo::GetClassObject(kServer, TestLifetime(), class_id,
                                        tessavo::IClassFactory::kInterfaceId, object)
                    .ok());
    return Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(object));
}

TEST(Server, UnloadOnlyWithoutLiveObjectsOrLocks) {
    ServerLifetime& lifetime = TestLifetime();
    ASSERT_TRUE(lifetime.CanUnload());
    auto factory = Factory(kClasses[0].class_id);
    EXPECT_FALSE(lifetime.CanUnload()) << "a factory keeps the server loaded";

    void* object = nullptr;
    ASSERT_TRUE(factory->CreateInstance(tessavo::IObject::kInterfaceId, object).ok());
    auto widget = Ref<tessavo::IObject>::adopt(static_cast<tessavo::IObject*>(object));
    EXPECT_EQ(lifetime.LiveObjects(), 2);

    ASSERT_TRUE(factory->LockServer(tessavo::kTrue).ok());
    factory.reset();
    widget.reset();
    EXPECT_FALSE(lifetime.CanUnload()) << "locked";
    lifetime.Unlock();
    EXPECT_TRUE(lifetime.CanUnload());
    lifetime.Unlock();  // unmatched: ignored
    EXPECT_EQ(lifetime.Locks(), 0);
}

TEST(Server, UnknownOrNotYetCreatableClassesAreNotAvailable) {
    for (std::string_view id :
         {std::string_view("{00000000-0000-0000-0000-000000000000}"), kClasses[1].class_id}) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(
            tessavo::GetClassObject(kServer, TestLifetime(), id, tessavo::IClassFactory::kInterfaceId, object)
                .number,
            tessavo::kErrClassNotAvailable);
        EXPECT_EQ(object, nullptr);
    }
    void* object = nullptr;
    EXPECT_EQ(
        tessavo::GetClassObject(kServer, TestLifetime(), kClasses[0].class_id, "{bogus}", object).number,
        tessavo::kErrNoInterface);
    EXPECT_TRUE(TestLifetime().CanUnload()) << "a refused factory does not stay alive";
}

TEST(Server, RegistrationEntriesNameEveryClassAndTheTypeLibrary) {
    const auto sections = tessavo::RegistrationEntries(kServer, "/lib/libtest.so");
    tessavo::RegistryData data;
    for (const auto& s : sections) data.Put(s);
    ASSERT_EQ(data.sections.size(), 5u);
    const auto* widget = data.Find("CLSID/{11111111-2222-3333-4444-555555555555}");
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(*widget->Find("ProgID"), "Test.Widget");
    EXPECT_EQ(*widget->Find("InprocServer"), "/lib/libtest.so");
    EXPECT_EQ(*widget->Find("ThreadingModel"), "Apartment");
    EXPECT_EQ(*data.Find("ProgID/Test.Later")->Find("CLSID"), kClasses[1].class_id);
    EXPECT_EQ(*data.Find("TypeLib/{77777777-2222-3333-4444-555555555555}/2.5")->Find("Name"), "Test");
}

}  // namespace
