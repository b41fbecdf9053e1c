// The COM boundary as the Windows build compiles it, run under Wine: a failure
// raised with RaiseException comes back as its HRESULT, the string layer's and
// the allocator's as theirs, and an exception whose code is not a failure
// HRESULT (a C++ exception of another type) as E_UNEXPECTED, never as success.
#include <winstring.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/com_boundary.h"
#include "notify/string_reference.h"

namespace {

TEST(ComBoundary, EachRaisedFailureComesBackAsItsCode) {
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { RaiseFailure(E_OUTOFMEMORY); }), E_OUTOFMEMORY);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { RaiseFailure(kTextTooLong); }), kTextTooLong);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { RaiseWideStringError(E_OUTOFMEMORY); }), E_OUTOFMEMORY);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { return S_FALSE; }), S_FALSE);
}

// The body's frames are unwound on the way out: what they own is released.
TEST(ComBoundary, ARaisedFailureRunsTheDestructorsOfTheFramesItLeaves) {
    struct Owner {
        bool* released;
        ~Owner() { *released = true; }
    };
    bool released = false;
    EXPECT_EQ(CallAtComBoundary([&]() -> HRESULT {
                  Owner owner{&released};
                  RaiseFailure(E_ACCESSDENIED);
              }),
              E_ACCESSDENIED);
    EXPECT_TRUE(released);
}

// A string reference the platform refuses (the text is not terminated where
// its length says) is raised inside the body and leaves as the platform's code.
TEST(ComBoundary, ARefusedStringReferenceComesBackAsThePlatformsCode) {
    const HRESULT hr = CallAtComBoundary([]() -> HRESULT {
        static const WCHAR unterminated[] = {L'a', L'b'};
        HSTRING_HEADER header;
        HSTRING text = nullptr;
        const HRESULT made = WindowsCreateStringReference(unterminated, 1, &header, &text);
        if (FAILED(made)) RaiseFailure(made);
        return S_OK;
    });
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
}

TEST(ComBoundary, AnExceptionWithoutAFailureCodeNeverReadsAsSuccess) {
    // After a raised failure, so that a stale recorded code would show.
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { RaiseFailure(E_OUTOFMEMORY); }), E_OUTOFMEMORY);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { throw std::runtime_error("other"); }), E_UNEXPECTED);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT { throw 42; }), E_UNEXPECTED);
    EXPECT_EQ(CallAtComBoundary([]() -> HRESULT {
                  RaiseException(0x40000015, EXCEPTION_NONCONTINUABLE, 0, nullptr);
                  return S_OK;
              }),
              E_UNEXPECTED);
}

}  // namespace
