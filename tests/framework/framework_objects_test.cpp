#include "tessavo/framework_objects.h"

#include <gtest/gtest.h>

#include "recording_host.h"
#include "tessavo/server.h"

namespace {

using kzv_test::RecordingHost;
using tessavo::IHostSceneInterface;
using tessavo::Ref;

Ref<IHostSceneInterface> NewSceneInterface() {
    Ref<IHostSceneInterface> scene;
    EXPECT_TRUE(tessavo::CreateObject(IHostSceneInterface::kClassId, scene).ok());
    return scene;
}

TEST(HostSceneInterface, FailsEveryOperationUntilAttached) {
    auto scene = NewSceneInterface();
    std::int32_t lcid = 5;
    const tessavo::Status status = scene->GetHostLCID(lcid);
    EXPECT_EQ(status.number, tessavo::kErrNotAttached);
    EXPECT_EQ(status.source, "Tessavo");
    EXPECT_NE(status.description.find("AttachHost"), std::string::npos);
    EXPECT_EQ(lcid, 5);
    EXPECT_EQ(scene->ReportError(1, "d", "s").number, tessavo::kErrNotAttached);
}

TEST(HostSceneInterface, AttachTellsTheHostOnceAndForwardsEveryCall) {
    RecordingHost host(407);
    auto scene = NewSceneInterface();
    tessavo::IHostApplication* app = host.application();
    ASSERT_TRUE(scene->AttachHost(app).ok());
    std::int32_t lcid = 0;
    ASSERT_TRUE(scene->GetHostLCID(lcid).ok());
    tessavo::Handle polygon = 0;
    ASSERT_TRUE(scene->CreatePolygon(polygon).ok());
    EXPECT_EQ(lcid, 407);
    EXPECT_EQ(polygon, kzv_test::NthHandle(kzv_test::HandleKind::Polygon, 1));
    EXPECT_EQ(host.Ops(), (std::vector<std::string>{"AttachHost", "GetHostLCID", "CreatePolygon"}));
}

TEST(HostSceneInterface, ForwardsTheHostsFailureUnchanged) {
    RecordingHost host;
    host.FailCall("SetGroupParent", 1, -2147467259, "Unknown group", "Host.SceneGraph");
    auto scene = NewSceneInterface();
    tessavo::IHostApplication* app = host.application();
    ASSERT_TRUE(scene->AttachHost(app).ok());
    const tessavo::Status status = scene->SetGroupParent(3, 0);
    EXPECT_EQ(status.number, -2147467259);
    EXPECT_EQ(status.description, "Unknown group");
    EXPECT_EQ(status.source, "Host.SceneGraph");
}

TEST(HostSceneInterface, ReattachMovesToTheNewHost) {
    RecordingHost first, second;
    auto scene = NewSceneInterface();
    tessavo::IHostApplication* app = first.application();
    ASSERT_TRUE(scene->AttachHost(app).ok());
    app = second.application();
    ASSERT_TRUE(scene->AttachHost(app).ok());
    ASSERT_TRUE(scene->ShowProgress(tessavo::kTrue).ok());
    EXPECT_EQ(first.Ops(), (std::vector<std::string>{"AttachHost"}));
    EXPECT_EQ(second.Ops(), (std::vector<std::string>{"AttachHost", "ShowProgress"}));
}

TEST(HostSceneInterface, RefusedOrNullHostLeavesItUnattached) {
    RecordingHost host;
    host.FailCall("AttachHost", 1, 70, "Permission denied", "Host");
    auto scene = NewSceneInterface();
    tessavo::IHostApplication* app = host.application();
    EXPECT_EQ(scene->AttachHost(app).number, 70);
    EXPECT_EQ(scene->ShowProgress(tessavo::kTrue).number, tessavo::kErrNotAttached);

    tessavo::IHostApplication* none = nullptr;
    EXPECT_EQ(scene->AttachHost(none).number, tessavo::kErrInvalidArgument);
}

TEST(CreateObject, ByClassIdAndInterface) {
    struct Case {
        std::string_view class_id, interface_id;
        std::int32_t expected;
    };
    const Case cases[] = {
        {IHostSceneInterface::kClassId, IHostSceneInterface::kInterfaceId, 0},
        {"{1528445d-44c1-4e12-a037-e5babd9f5641}", tessavo::IObject::kInterfaceId, 0},  // letter case ignored
        {tessavo::IAuxiliary::kClassId, tessavo::IAuxiliary::kInterfaceId, 0},
        {tessavo::IAuxiliary::kClassId, IHostSceneInterface::kInterfaceId, tessavo::kErrNoInterface},
        {"{00000000-0000-0000-0000-000000000000}", tessavo::IObject::kInterfaceId,
         tessavo::kErrClassNotAvailable},
        {"", "", tessavo::kErrClassNotAvailable},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(tessavo::CreateObject(c.class_id, c.interface_id, object).number, c.expected) << c.class_id;
        EXPECT_EQ(object != nullptr, c.expected == 0);
        if (object) static_cast<tessavo::IObject*>(object)->Release();
    }
}

}  // namespace
