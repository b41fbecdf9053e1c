// The wide string: sharing and copy-on-write, search, formatting, ReplaceAll
// and the errors its storage raises.
#include "common/wide_string.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string Text(const CWideString& s) { return std::u16string(s.GetString(), static_cast<size_t>(s.GetLength())); }

class FailingManager final : public StringManager {
public:
    void* Allocate(size_t) noexcept override { return nullptr; }
    void Free(void* block) noexcept override { std::free(block); }
};

class ManagerScope {
public:
    explicit ManagerScope(StringManager* manager) : previous_(SetDefaultStringManager(manager)) {}
    ~ManagerScope() { SetDefaultStringManager(previous_); }

private:
    StringManager* previous_;
};

HRESULT RaisedCode(void (*action)()) {
    try {
        action();
    } catch (const WideStringError& error) {
        return error.Code();
    }
    return S_OK;
}

TEST(WideString, NullAndEmptyTextsGiveTheEmptyString) {
    CWideString fromNull(static_cast<const WCHAR*>(nullptr));
    CWideString fromEmpty(u"");
    EXPECT_EQ(fromNull.GetLength(), 0);
    EXPECT_EQ(fromNull.GetString()[0], u'\0');
    EXPECT_TRUE(fromEmpty.IsEmpty());
    EXPECT_TRUE(fromNull == fromEmpty);
}

TEST(WideString, CopiesShareUntilOneIsWritten) {
    CWideString original(u"shared text");
    CWideString copy = original;
    EXPECT_EQ(copy.GetString(), original.GetString()) << "a copy shares the block";

    copy.Append(u"!");
    EXPECT_EQ(Text(original), u"shared text") << "writing the copy leaves the original alone";
    EXPECT_EQ(Text(copy), u"shared text!");
    EXPECT_NE(copy.GetString(), original.GetString());

    CWideString third = original;
    original.ReplaceAll(u"text", u"words");
    EXPECT_EQ(Text(third), u"shared text");
    EXPECT_EQ(Text(original), u"shared words");
}

TEST(WideString, AppendingItsOwnTextWorks) {
    CWideString s(u"abc");
    s.Append(s.GetString());
    EXPECT_EQ(Text(s), u"abcabc");
    s.SetString(s.GetString() + 3, 3);
    EXPECT_EQ(Text(s), u"abc");
}

TEST(WideString, RepeatedAppendsKeepEveryUnit) {
    CWideString s;
    std::u16string expected;
    for (int i = 0; i < 5000; ++i) {
        const char16_t unit = static_cast<char16_t>(u'a' + i % 26);
        const WCHAR piece[] = {unit, 0};
        s += piece;
        expected += unit;
    }
    EXPECT_EQ(Text(s), expected);
    EXPECT_GE(s.GetCapacity(), s.GetLength());
}

TEST(WideString, FindGivesTheFirstOccurrence) {
    CWideString s(u"RivaVavirezar.display RivaVavirezar.");
    EXPECT_EQ(s.Find(u"RivaVavirezar."), 0);
    EXPECT_EQ(s.Find(u"RivaVavirezar.", 1), 22);
    EXPECT_EQ(s.Find(u"rivavavirezar."), -1) << "search is case-sensitive";
    EXPECT_TRUE(s.StartsWith(u"RivaVavirezar.display"));
    EXPECT_FALSE(CWideString(u" RivaVavirezar.").StartsWith(u"RivaVavirezar."));
    EXPECT_EQ(CWideString(u"ab").Find(u"abc"), -1);
    EXPECT_EQ(CWideString().Find(u"a"), -1);
}

TEST(WideString, FormatPlacesTextsAndUnsignedNumbers) {
    CWideString s;
    s.Format(u"String resource %u missing", 108u);
    EXPECT_EQ(Text(s), u"String resource 108 missing");

    s.Format(u"<%s>%s%% %u", u"a&b", CWideString(u"ü"), 4294967295u);
    EXPECT_EQ(Text(s), u"<a&b>ü% 4294967295");

    s.Format(u"[%s]", u"%s%u");
    EXPECT_EQ(Text(s), u"[%s%u]") << "placed texts are not scanned again";

    s.Format(u"%s", u"");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(WideString, FormatRefusesMismatchedArguments) {
    EXPECT_EQ(RaisedCode([] { CWideString().Format(u"%s"); }), E_INVALIDARG);
    EXPECT_EQ(RaisedCode([] { CWideString().Format(u"%u", u"text"); }), E_INVALIDARG);
    EXPECT_EQ(RaisedCode([] { CWideString().Format(u"%d", 1u); }), E_INVALIDARG);
}

TEST(WideString, ReplaceAllIsNonOverlappingAndNeverRescans) {
    CWideString s(u"aaaa");
    EXPECT_EQ(s.ReplaceAll(u"aa", u"a"), 2);
    EXPECT_EQ(Text(s), u"aa");

    CWideString amp(u"&amp; <>");
    EXPECT_EQ(amp.ReplaceAll(u"&", u"&amp;"), 1);
    EXPECT_EQ(Text(amp), u"&amp;amp; <>") << "the inserted ampersand is not replaced again";

    CWideString grow(u"xax");
    EXPECT_EQ(grow.ReplaceAll(u"x", u"xx"), 2);
    EXPECT_EQ(Text(grow), u"xxaxx");

    CWideString gone(u"abab");
    EXPECT_EQ(gone.ReplaceAll(u"ab", nullptr), 2);
    EXPECT_TRUE(gone.IsEmpty());
}

TEST(WideString, ReplaceAllWithEmptySearchChangesNothing) {
    CWideString s(u"text");
    EXPECT_EQ(s.ReplaceAll(u"", u"x"), 0);
    EXPECT_EQ(s.ReplaceAll(nullptr, u"x"), 0);
    EXPECT_EQ(s.ReplaceAll(u"q", u"x"), 0);
    EXPECT_EQ(Text(s), u"text");
}

TEST(WideString, ReplaceAllStaysLinearOnLongTexts) {
    // Quadratic rewriting would take minutes here; the whole test must stay quick.
    std::u16string big(2'000'000, u'&');
    CWideString s(big.c_str());
    EXPECT_EQ(s.ReplaceAll(u"&", u"&amp;"), 2'000'000);
    EXPECT_EQ(s.GetLength(), 10'000'000);
    EXPECT_EQ(s.Find(u"&amp;&amp;"), 0);
}

TEST(WideString, LengthPastTheLimitRaisesInvalidArgument) {
    // The combined length is checked before any storage is touched.
    EXPECT_EQ(RaisedCode([] {
                  CWideString s(u"x");
                  s.Append(u"y", CWideString::kMaxLength);
              }),
              E_INVALIDARG);
    EXPECT_EQ(RaisedCode([] { CWideString().Append(u"y", -1); }), E_INVALIDARG);
}

TEST(WideString, StorageFailuresRaiseTheirCodes) {
    FailingManager failing;
    {
        ManagerScope scope(&failing);
        EXPECT_EQ(RaisedCode([] { CWideString s(u"needs storage"); }), E_OUTOFMEMORY);
        EXPECT_EQ(RaisedCode([] { CWideString s; }), S_OK) << "the empty string needs no storage";
    }
    {
        ManagerScope scope(nullptr);
        EXPECT_EQ(RaisedCode([] { CWideString s(u"x"); }), E_FAIL) << "no string manager";
    }
}

TEST(WideString, BoundedCopyErrorNumbersMapAsTheConventionsSay) {
    static int number;
    for (int n : {0, 80}) {
        number = n;
        EXPECT_EQ(RaisedCode([] { CheckBoundedCopy(number); }), S_OK) << n;
    }
    const std::pair<int, HRESULT> raised[] = {{12, E_OUTOFMEMORY}, {22, E_INVALIDARG}, {34, E_INVALIDARG}, {5, E_FAIL}};
    for (auto [n, code] : raised) {
        number = n;
        EXPECT_EQ(RaisedCode([] { CheckBoundedCopy(number); }), code) << n;
    }
}

TEST(WideString, BufferAccessSetsTheLength) {
    CWideString s;
    WCHAR* buffer = s.GetBuffer(10);
    std::char_traits<WCHAR>::copy(buffer, u"abc", 4);
    s.ReleaseBuffer();
    EXPECT_EQ(Text(s), u"abc");
    s.GetBuffer(2);
    s.ReleaseBuffer(2);
    EXPECT_EQ(Text(s), u"ab");
}

TEST(WideStringConcurrency, CopiesOfOneStringLiveOnManyThreads) {
    const CWideString shared(u"shared between threads");
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                CWideString copy = shared;
                copy.Append(u"+");
                if (Text(copy) != u"shared between threads+") mismatches.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(Text(shared), u"shared between threads");
}

}  // namespace
