#include "duilib/DuiLib.h"

#include "ZipBuilder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const char kResXml[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Res>\n"
    "  <Xml id=\"XML_LOGIN\" path=\"login.xml\"/>\n"
    "  <Xml id=\"XML_UPDATE\" path=\"update.xml\"/>\n"
    "  <Xml id=\"XML_LOGIN\" path=\"other.xml\"/>\n"
    "  <Image id=\"IMG\" path=\"x.png\"/>\n"
    "  <Xml id=\"XML_NOPATH\"/>\n"
    "</Res>\n";

std::vector<unsigned char> SkinArchive() {
    ZipBuilder zip;
    zip.Add("res.xml", kResXml, true);
    zip.Add("config.xml", "<Update><Game>qemox</Game></Update>", false);
    zip.Add("broken.xml", "<Update><Game>", true);
    return zip.Build();
}

}  // namespace

TEST(SkinResources, ArchiveMembersAndIdTable) {
    const std::vector<unsigned char> archive = SkinArchive();
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    EXPECT_EQ(CPaintManagerUI::GetResourceType(), UILIB_ZIPRESOURCE);
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(archive.data(), static_cast<unsigned>(archive.size())));

    CResourceManager* resources = CResourceManager::GetInstance();
    EXPECT_EQ(resources, CResourceManager::GetInstance());
    ASSERT_TRUE(resources->LoadResource(L"res.xml"));
    EXPECT_STREQ(resources->GetXmlPath(L"XML_LOGIN"), L"login.xml");  // the first path wins
    EXPECT_STREQ(resources->GetXmlPath(L"XML_UPDATE"), L"update.xml");
    EXPECT_EQ(resources->GetXmlPath(L"IMG"), nullptr);
    EXPECT_EQ(resources->GetXmlPath(L"XML_NOPATH"), nullptr);
    EXPECT_EQ(resources->GetXmlPath(L"xml_login"), nullptr);

    CMarkup config;
    ASSERT_TRUE(config.LoadFromFile(L"config.xml"));
    EXPECT_STREQ(config.GetRoot().GetChild(L"Game").GetValue(), L"qemox");
    EXPECT_FALSE(config.LoadFromFile(L"broken.xml"));
    EXPECT_FALSE(config.LoadFromFile(L"missing.xml"));
    EXPECT_FALSE(config.IsValid());
    EXPECT_FALSE(resources->LoadResource(L"config.xml"));  // not an id table

    resources->Release();
    EXPECT_EQ(resources->GetXmlPath(L"XML_LOGIN"), nullptr);
    ASSERT_TRUE(resources->LoadResource(L"<Res><Xml id='A' path='a.xml'/></Res>", L"xml"));
    EXPECT_STREQ(resources->GetXmlPath(L"A"), L"a.xml");
    resources->Release();
}

TEST(SkinResources, DamagedOrEncryptedArchiveIsNotRegistered) {
    std::vector<unsigned char> archive = SkinArchive();
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(archive.data(), static_cast<unsigned>(archive.size()), L"secret"));
    EXPECT_FALSE(CPaintManagerUI::IsResourceZipSet());
    archive.resize(archive.size() - 5);
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(archive.data(), static_cast<unsigned>(archive.size())));
    EXPECT_FALSE(CPaintManagerUI::IsResourceZipSet());
    CMarkup markup;
    CPaintManagerUI::SetResourcePath(L"C:\\no\\such\\folder");
    EXPECT_FALSE(markup.LoadFromFile(L"config.xml"));
}

TEST(SkinResources, LooseFilesComeFromTheResourceFolder) {
    TempFolder folder(L"duilib_res_");
    ASSERT_TRUE(folder.Write(L"res.xml", kResXml));
    ASSERT_TRUE(folder.Write(L"config.xml", "<Update><Version>2020111203</Version></Update>"));
    CPaintManagerUI::SetResourceType(UILIB_FILE);
    // Without the trailing backslash: the framework adds it.
    CPaintManagerUI::SetResourcePath(folder.Path().substr(0, folder.Path().size() - 1).c_str());
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath().GetData(), folder.Path().c_str());

    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    EXPECT_STREQ(CResourceManager::GetInstance()->GetXmlPath(L"XML_UPDATE"), L"update.xml");
    CMarkup config;
    ASSERT_TRUE(config.LoadFromFile(L"config.xml"));
    EXPECT_STREQ(config.GetRoot().GetChild().GetValue(), L"2020111203");
    CResourceManager::GetInstance()->Release();
}

TEST(SkinResources, InstancePathIsTheProgramFolder) {
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    EXPECT_EQ(CPaintManagerUI::GetInstance(), GetModuleHandleW(nullptr));
    EXPECT_EQ(CPaintManagerUI::GetResourceDll(), GetModuleHandleW(nullptr));
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const CDuiString folder = CPaintManagerUI::GetInstancePath();
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_EQ(folder[folder.GetLength() - 1], L'\\');
    EXPECT_EQ(std::wstring(exe).find(folder.GetData()), 0u);
    EXPECT_EQ(std::wstring(exe).find(L'\\', folder.GetLength()), std::wstring::npos);
}
