// SetupSkin in a program whose resources hold no skin archive.
#include "core/Kuku.h"
#include "app/Startup.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"

#include <gtest/gtest.h>

namespace {

class SetupSkinMissingTest : public testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        SetupSkin();
    }
};


TEST_F(SetupSkinMissingTest, WithoutArchiveNothingIsRegistered) {
    EXPECT_STREQ((CPaintManagerUI::GetInstancePath() + L"Orvel\\client\\").GetData(),
                 CPaintManagerUI::GetResourcePath().GetData());
    EXPECT_FALSE(CPaintManagerUI::IsResourceZipSet());
    EXPECT_EQ(nullptr, CResourceManager::GetInstance()->GetXmlPath(L"XML_LOGIN"));
    CKuku store;
    store.LoadFile(L"config.xml");
    EXPECT_STREQ(L"", store.Get(L"Game"));
}


}  // namespace
