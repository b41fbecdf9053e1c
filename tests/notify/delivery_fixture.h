// A started-up process in miniature: the multithreaded apartment, the
// AppUserModelID and both readiness flags; with a fresh prefix for delivery
// through the real platform.
#pragma once

#include <roapi.h>

#include <gtest/gtest.h>

#include "notify/app_identity.h"
#include "tests/support/temporary_prefix.h"

class StartedUp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(RoInitialize(RO_INIT_MULTITHREADED)));
        AppUserModelId = kCorvaneAppUserModelId;
        IdentityReady.store(true, std::memory_order_release);
        ServerReady.store(true, std::memory_order_release);
    }
    void TearDown() override {
        IdentityReady.store(false, std::memory_order_release);
        ServerReady.store(false, std::memory_order_release);
        AppUserModelId.Empty();
        RoUninitialize();
    }
};

class RealDelivery : public StartedUp {
protected:
    TemporaryPrefix prefix;
};
