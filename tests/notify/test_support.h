// Helpers of the notification tests: a delivery policy that records what it is
// given, user-input tables, checks run in a process of their own, and a stand-in
// for the platform's XML document class that is never available.
#pragma once

#include <windows.h>
#include <notification_platform.h>
#include <raised_exception.h>
#include <roapi.h>

#include <gtest/gtest.h>

#include "platform/posix/core/utf.h"
#include "tests/support/fresh_process.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Delivery policy of the tests: keeps every toast text it is handed.
class RecordingToaster {
public:
    HRESULT DeliverToast(const WCHAR* xml) {
        std::lock_guard<std::mutex> guard(lock_);
        delivered_.emplace_back(xml);
        return result_;
    }
    void FailDeliveriesWith(HRESULT result) { result_ = result; }
    std::vector<std::u16string> Delivered() const {
        std::lock_guard<std::mutex> guard(lock_);
        return delivered_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::u16string> delivered_;
    HRESULT result_ = S_OK;
};

// The handler holds an isolation policy for the activator and never calls it.
struct UnusedIsolation {};

// Key/value pairs that keep their texts alive for the platform's array view.
class UserInputs {
public:
    UserInputs(std::initializer_list<std::pair<const char16_t*, const char16_t*>> pairs) {
        for (const auto& [key, value] : pairs) entries_.push_back({key, value});
    }
    const winsdk::NOTIFICATION_USER_INPUT_DATA* data() const { return entries_.data(); }
    ULONG count() const { return static_cast<ULONG>(entries_.size()); }

private:
    std::vector<winsdk::NOTIFICATION_USER_INPUT_DATA> entries_;
};

inline std::string Mismatch(const std::u16string& expected, const std::u16string& actual) {
    if (expected == actual) return {};
    return "expected:\n[" + pal::ToUtf8(expected) + "]\nactual:\n[" + pal::ToUtf8(actual) + "]\n";
}

inline void UseLanguage(const char* lang) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(name);
    setenv("LANG", lang, 1);
}

inline std::u16string ToU16(const WCHAR* text) { return text ? std::u16string(text) : std::u16string(); }

// Activation threads of the server run in the multithreaded apartment that the
// entry point enters; the tests enter it too, in the English (UK) interface.
class ActivationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        UseLanguage("en_GB.UTF-8");
        ASSERT_GE(RoInitialize(RO_INIT_MULTITHREADED), 0);
    }
    void TearDown() override { RoUninitialize(); }
};
