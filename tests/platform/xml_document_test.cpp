// Contract tests for "Windows.Data.Xml.Dom.XmlDocument", written against the
// Windows Runtime interfaces only: loading well-formed and malformed texts, and
// the serialization of text nodes that XML escaping relies on.
#include <notification_platform.h>

#include <gtest/gtest.h>

#include <string>

#include "common/com_ptr.h"

namespace {

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

constexpr HRESULT kXmlMissingRoot = static_cast<HRESULT>(0xC00CE558);

class HString {
public:
    explicit HString(std::u16string_view text) {
        EXPECT_EQ(WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &string_), S_OK);
    }
    HString() = default;
    ~HString() { WindowsDeleteString(string_); }
    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;
    HSTRING get() const { return string_; }
    HSTRING* put() { return &string_; }
    std::u16string Text() const {
        UINT32 length = 0;
        const WCHAR* units = WindowsGetStringRawBuffer(string_, &length);
        return std::u16string(units, length);
    }

private:
    HSTRING string_ = nullptr;
};

class XmlDocument : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(RoInitialize(RO_INIT_MULTITHREADED)));
        const HString className(u"Windows.Data.Xml.Dom.XmlDocument");
        com_ptr<IInspectable> instance;
        ASSERT_EQ(RoActivateInstance(className.get(), instance.put()), S_OK);
        ASSERT_EQ(instance.query(document), S_OK);
        ASSERT_EQ(document.query(io), S_OK);
    }
    void TearDown() override {
        io.reset();
        document.reset();
        RoUninitialize();
    }

    HRESULT Load(std::u16string_view text) {
        const HString xml(text);
        return io->LoadXml(xml.get());
    }
    std::u16string DocumentXml() {
        com_ptr<winsdk::IXmlNodeSerializer> serializer;
        EXPECT_EQ(document.query(serializer), S_OK);
        HString xml;
        EXPECT_EQ(serializer->GetXml(xml.put()), S_OK);
        return xml.Text();
    }
    // What a text node holding the text serializes to.
    std::u16string TextNodeXml(std::u16string_view text) {
        const HString data(text);
        com_ptr<winsdk::IXmlText> node;
        EXPECT_EQ(document->CreateTextNode(data.get(), node.put()), S_OK);
        com_ptr<winsdk::IXmlNodeSerializer> serializer;
        EXPECT_EQ(node.query(serializer), S_OK);
        HString xml;
        EXPECT_EQ(serializer->GetXml(xml.put()), S_OK);
        return xml.Text();
    }

    com_ptr<winsdk::IXmlDocument> document;
    com_ptr<winsdk::IXmlDocumentIO> io;
};

TEST_F(XmlDocument, LoadsWellFormedTexts) {
    EXPECT_EQ(Load(u"<toast/>"), S_OK);
    EXPECT_EQ(Load(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<toast launch=\"a&amp;b\"><!-- c --><text>x</text></toast>"), S_OK);
    EXPECT_EQ(Load(u"  <toast>\u00dcberpr\u00fcfung \u66b4 &lt;&gt; ' \"</toast>\n"), S_OK);
    EXPECT_EQ(DocumentXml(), u"<toast>\u00dcberpr\u00fcfung \u66b4 &lt;&gt; ' \"</toast>");
}

TEST_F(XmlDocument, RefusesMalformedTextsWithAnXmlParserCode) {
    for (const std::u16string_view text :
         {u"<toast>", u"<toast></tost>", u"</toast>", u"<toast attr=x/>", u"<toast attr=\"x/>", u"<a/><b/>",
          u"text only", u"<toast><!-- open", u"<1toast/>", u"<toast/>trailing"}) {
        const HRESULT hr = Load(text);
        EXPECT_TRUE(FAILED(hr)) << std::string(text.begin(), text.end());
        EXPECT_EQ(static_cast<DWORD>(hr) & 0xFFFFFF00u, 0xC00CE500u)
            << std::string(text.begin(), text.end()) << " gave " << std::hex << hr;
    }
}

// Found by fuzzing: "&#x1FF600;" loaded, and the tree then held a character
// that no text can carry, so its serialization did not load back the same.
TEST_F(XmlDocument, RefusesCharactersADocumentCannotHold) {
    ASSERT_EQ(Load(u"<kept/>"), S_OK);
    for (const std::u16string_view text :
         {u"<a>t&#x1FF600;</a>", u"<a>&#x110000;</a>", u"<a>&#xD800;</a>", u"<a>&#57343;</a>", u"<a x='&#1;'/>",
          u"<a>&#xFFFE;</a>", u"<a>\u0001</a>", u"<a \u0002='x'/>", u"<a>\uFFFF</a>",
          u"<a xy='&lt;'>p&#x0F6A0000D0;</a>", u"<a>&#x0;</a>", u"<a>ab&#00;cd</a>", u"<a b='&#x100000041;'/>"}) {
        const HRESULT hr = Load(text);
        EXPECT_EQ(static_cast<DWORD>(hr) & 0xFFFFFF00u, 0xC00CE500u) << Narrow(text) << " gave " << std::hex << hr;
    }
    EXPECT_EQ(DocumentXml(), u"<kept/>");
    EXPECT_EQ(Load(u"<a b='&#x10FFFF;'>&#x1F600;&#9;&#xA;&#xE000;&#xFFFD;\U0001F600</a>"), S_OK);
    EXPECT_EQ(DocumentXml(), u"<a b=\"\U0010FFFF\">\U0001F600\t\n\uE000\uFFFD\U0001F600</a>");
    EXPECT_EQ(Load(u"<a><!-- &#0; --><![CDATA[&#x0;]]><?p &#0;?>&#x000041;</a>"), S_OK) << "no references there";
}

TEST_F(XmlDocument, RefusesTheEmptyTextAsMissingItsRoot) {
    EXPECT_EQ(io->LoadXml(nullptr), kXmlMissingRoot);
    EXPECT_EQ(Load(u"   "), kXmlMissingRoot);
}

TEST_F(XmlDocument, AFailedLoadKeepsThePreviousDocument) {
    ASSERT_EQ(Load(u"<first>1</first>"), S_OK);
    EXPECT_TRUE(FAILED(Load(u"<second>")));
    EXPECT_EQ(DocumentXml(), u"<first>1</first>");
}

// Texts loaded one after another, some again: each document is its own text's.
TEST_F(XmlDocument, EachLoadGivesTheDocumentOfItsOwnText) {
    for (const std::u16string_view text : {u"<a>1</a>", u"<a>1</a>", u"<a>2</a>", u"<b>2</b>", u"<a>1</a>"}) {
        ASSERT_EQ(Load(text), S_OK);
        EXPECT_EQ(DocumentXml(), text);
    }
    for (int again = 0; again < 2; ++again) EXPECT_TRUE(FAILED(Load(u"<a>1</a")));
    EXPECT_EQ(DocumentXml(), u"<a>1</a>");
}

TEST_F(XmlDocument, TextNodesEscapeMarkupAndKeepQuotes) {
    EXPECT_EQ(TextNodeXml(u"This &is a ; test <>\\"), u"This &amp;is a ; test &lt;&gt;\\");
    EXPECT_EQ(TextNodeXml(u"C:\\Users\\O'Neil\\\"q\" & <b>"), u"C:\\Users\\O'Neil\\\"q\" &amp; &lt;b&gt;");
    EXPECT_EQ(TextNodeXml(u"&amp;"), u"&amp;amp;");
    EXPECT_EQ(TextNodeXml(u"\u8def\u5f84 \u00e9t\u00e9"), u"\u8def\u5f84 \u00e9t\u00e9");
    EXPECT_EQ(TextNodeXml(u""), u"");
}

TEST_F(XmlDocument, AnswersExactlyItsInterfaces) {
    com_ptr<winsdk::IXmlNodeSerializer> serializer;
    EXPECT_EQ(document.query(serializer), S_OK);
    com_ptr<winsdk::IToastNotifier> notANotifier;
    EXPECT_EQ(document.query(notANotifier), E_NOINTERFACE);
    EXPECT_EQ(notANotifier.get(), nullptr);

    const HString data(u"x");
    com_ptr<winsdk::IXmlText> node;
    ASSERT_EQ(document->CreateTextNode(data.get(), node.put()), S_OK);
    com_ptr<winsdk::IXmlDocument> notADocument;
    EXPECT_EQ(node.query(notADocument), E_NOINTERFACE);
    com_ptr<IInspectable> inspectable;
    EXPECT_EQ(node.query(inspectable), S_OK);

    HString className;
    EXPECT_EQ(document->GetRuntimeClassName(className.put()), S_OK);
    EXPECT_EQ(className.Text(), u"Windows.Data.Xml.Dom.XmlDocument");
}

}  // namespace
