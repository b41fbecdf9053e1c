// Delivery through the real platform into the toast store, read back the way a
// user would, with "pal toast".
#include "notify/toaster.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/com_ptr.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/notify/delivery_fixture.h"

namespace {

// Runs a pal command and gives its standard output, byte for byte.
std::string RunPal(const std::string& arguments, int* exitStatus = nullptr) {
    const std::string command = std::string(QUILL_BINARY_DIR) + "/bin/pal " + arguments;
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    const int status = pclose(pipe);
    if (exitStatus != nullptr) *exitStatus = status;
    return output;
}

using ToastDelivery = RealDelivery;

TEST_F(ToastDelivery, StoresTheTextExactlyAsGivenAndPalShowsIt) {
    const WCHAR xml[] =
        u"<?xml version=\"1.0\"?>\r\n<toast launch=\"RivaVavirezar.display\">\n  <visual><binding template=\"ToastGeneric\">"
        u"<text>Verschl\u00fcsselung &amp; \u6697\u53f7\u5316</text><text>Pfad: C:\\a&lt;b&gt;'\"</text>"
        u"</binding></visual>\n</toast>";
    const std::string expected =
        "<?xml version=\"1.0\"?>\r\n<toast launch=\"RivaVavirezar.display\">\n  <visual><binding template=\"ToastGeneric\">"
        "<text>Verschl\xC3\xBCsselung &amp; \xE6\x9A\x97\xE5\x8F\xB7\xE5\x8C\x96</text><text>Pfad: C:\\a&lt;b&gt;'\"</text>"
        "</binding></visual>\n</toast>";

    ASSERT_EQ(Toaster::DeliverToast(xml), S_OK);
    ASSERT_EQ(Toaster::DeliverToast(u"<toast><visual><binding><text>second</text></binding></visual></toast>"), S_OK);

    std::vector<pal::toast_store::Toast> toasts;
    ASSERT_EQ(pal::toast_store::List(toasts), S_OK);
    ASSERT_EQ(toasts.size(), 2u);
    EXPECT_EQ(toasts[0].appUserModelId, "Corvane.Tessaline");

    int status = -1;
    EXPECT_EQ(RunPal("toast show " + std::to_string(toasts[0].id), &status), expected);
    EXPECT_EQ(status, 0);

    const std::string listing = RunPal("toast list --aumid Corvane.Tessaline");
    const std::string firstLine = std::to_string(toasts[0].id) + "\tCorvane.Tessaline\t" + toasts[0].time +
                                  "\tVerschl\xC3\xBCsselung & \xE6\x9A\x97\xE5\x8F\xB7\xE5\x8C\x96\n";
    EXPECT_EQ(listing.substr(0, firstLine.size()), firstLine);
    EXPECT_NE(listing.find("\tsecond\n"), std::string::npos);
    EXPECT_EQ(RunPal("toast list --aumid Someone.Else"), "");

    EXPECT_EQ(RunPal("toast clear", &status), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunPal("toast list"), "");
    RunPal("toast show " + std::to_string(toasts[0].id), &status);
    EXPECT_NE(status, 0) << "a cleared toast is gone";
}

TEST_F(ToastDelivery, AMalformedToastIsRefusedAndNotStored) {
    const HRESULT hr = Toaster::DeliverToast(u"<toast><text>unclosed</toast>");
    EXPECT_EQ(static_cast<DWORD>(hr) & 0xFFFFFF00u, 0xC00CE500u);
    EXPECT_EQ(Toaster::DeliverToast(u""), static_cast<HRESULT>(0xC00CE558));
    std::vector<pal::toast_store::Toast> toasts;
    ASSERT_EQ(pal::toast_store::List(toasts), S_OK);
    EXPECT_TRUE(toasts.empty());
}

TEST_F(ToastDelivery, TheEscapingPathOfTheXmlDocumentWorksThroughActivation) {
    // What escaping does on 6.2 and later: a text node of a fresh document, serialized.
    HSTRING_HEADER header;
    HSTRING className = nullptr;
    ASSERT_EQ(WindowsCreateStringReference(u"Windows.Data.Xml.Dom.XmlDocument", 32, &header, &className), S_OK);
    com_ptr<IInspectable> instance;
    ASSERT_EQ(RoActivateInstance(className, instance.put()), S_OK);
    com_ptr<winsdk::IXmlDocument> document;
    ASSERT_EQ(instance.query(document), S_OK);

    const WCHAR path[] = u"C:\\Users\\Ren\u00e9e\\\"Q&A\" <draft> it's";
    HSTRING_HEADER textHeader;
    HSTRING text = nullptr;
    const auto pathLength = static_cast<UINT32>(std::char_traits<WCHAR>::length(path));
    ASSERT_EQ(WindowsCreateStringReference(path, pathLength, &textHeader, &text), S_OK);
    com_ptr<winsdk::IXmlText> node;
    ASSERT_EQ(document->CreateTextNode(text, node.put()), S_OK);
    com_ptr<winsdk::IXmlNodeSerializer> serializer;
    ASSERT_EQ(node.query(serializer), S_OK);
    HSTRING xml = nullptr;
    ASSERT_EQ(serializer->GetXml(&xml), S_OK);
    UINT32 length = 0;
    const WCHAR* units = WindowsGetStringRawBuffer(xml, &length);
    EXPECT_EQ(std::u16string(units, length), u"C:\\Users\\Ren\u00e9e\\\"Q&amp;A\" &lt;draft&gt; it's");
    WindowsDeleteString(xml);
}

}  // namespace
