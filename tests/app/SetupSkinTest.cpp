// SetupSkin with the skin archive among the test program's resources.
#include "core/Kuku.h"
#include "app/Startup.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kExitText[] = L"B\x1ea1n mu\x1ed1n tho\x00e1t kh\x00f4ng?";

class SetupSkinTest : public testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        SetupSkin();
    }
};


TEST_F(SetupSkinTest, RegistersTheArchiveAndItsIdTable) {
    EXPECT_EQ(UILIB_ZIPRESOURCE, CPaintManagerUI::GetResourceType());
    EXPECT_STREQ((CPaintManagerUI::GetInstancePath() + L"Orvel\\client\\").GetData(),
                 CPaintManagerUI::GetResourcePath().GetData());
    EXPECT_TRUE(CPaintManagerUI::IsResourceZipSet());
    ASSERT_NE(nullptr, CResourceManager::GetInstance()->GetXmlPath(L"XML_LOGIN"));
    EXPECT_STREQ(L"login.xml", CResourceManager::GetInstance()->GetXmlPath(L"XML_LOGIN"));
    EXPECT_STREQ(L"update.xml", CResourceManager::GetInstance()->GetXmlPath(L"XML_UPDATE"));
}

TEST_F(SetupSkinTest, ShippedConfigurationReadsFromTheArchive) {
    CKuku store;
    store.LoadFile(L"config.xml");
    EXPECT_STREQ(L"qemox", store.Get(L"Game"));
    EXPECT_STREQ(L"Velmark", store.Get(L"Agent"));
    EXPECT_STREQ(L"2020111203", store.Get(L"Version"));
    EXPECT_STREQ(L"", store.Get(L"version"));
    EXPECT_STREQ(L"", store.Get(L"LockSize"));
    EXPECT_STREQ(kExitText, store.Get(L"ExitSTR"));
}


}  // namespace
