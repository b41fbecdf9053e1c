// The prefix's stores: their files (SQLite's -wal and -shm beside the databases,
// and the toast inbox) are the owner's alone whatever the umask, and a write
// that fails (a COMMIT, the inbox's append) leaves nothing behind, nor an open
// transaction on the connection the thread keeps.
#include <notification_platform.h>
#include <sqlite3.h>

#include <sys/stat.h>

#include <cerrno>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/com_ptr.h"
#include "common/hresult.h"
#include "common/unique_any.h"
#include "platform/posix/testing/fault_injection.h"
#include "platform/posix/winrt/toast_store.h"
#include "tests/support/prefix_fixture.h"

namespace {

using pal::testing::Fault;

class ScopedString {
public:
    explicit ScopedString(const std::u16string& text) {
        EXPECT_EQ(WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &string_), S_OK);
    }
    ~ScopedString() { WindowsDeleteString(string_); }
    ScopedString(const ScopedString&) = delete;
    ScopedString& operator=(const ScopedString&) = delete;
    HSTRING get() const { return string_; }

private:
    HSTRING string_ = nullptr;
};

// IToastNotifier::Show of one toast, as a program shows it.
HRESULT ShowToast(const std::u16string& xml) {
    com_ptr<IInspectable> instance;
    RETURN_IF_FAILED(RoActivateInstance(ScopedString(u"Windows.Data.Xml.Dom.XmlDocument").get(), instance.put()));
    com_ptr<winsdk::IXmlDocument> document;
    RETURN_IF_FAILED(instance.query(document));
    com_ptr<winsdk::IXmlDocumentIO> documentIO;
    RETURN_IF_FAILED(document.query(documentIO));
    RETURN_IF_FAILED(documentIO->LoadXml(ScopedString(xml).get()));
    com_ptr<winsdk::IToastNotificationFactory> factory;
    RETURN_IF_FAILED(RoGetActivationFactory(ScopedString(u"Windows.UI.Notifications.ToastNotification").get(),
                                            __uuidof(winsdk::IToastNotificationFactory), factory.put_void()));
    com_ptr<winsdk::IToastNotification> toast;
    RETURN_IF_FAILED(factory->CreateToastNotification(document.get(), toast.put()));
    com_ptr<winsdk::IToastNotificationManagerStatics> manager;
    RETURN_IF_FAILED(RoGetActivationFactory(ScopedString(u"Windows.UI.Notifications.ToastNotificationManager").get(),
                                            __uuidof(winsdk::IToastNotificationManagerStatics), manager.put_void()));
    com_ptr<winsdk::IToastNotifier> notifier;
    RETURN_IF_FAILED(manager->CreateToastNotifierWithId(ScopedString(u"Corvane.Tessaline").get(), notifier.put()));
    return notifier->Show(toast.get());
}

size_t ToastCount() {
    std::vector<pal::toast_store::Toast> toasts;
    EXPECT_EQ(pal::toast_store::List(toasts), S_OK);
    return toasts.size();
}

const char16_t kValuesKey[] = u"Software\\Quill\\Commits";

HRESULT WriteRegistryValue(const std::u16string& name) {
    unique_hkey key;
    RETURN_IF_WIN32_ERROR(RegCreateKeyExW(HKEY_CURRENT_USER, kValuesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          key.put(), nullptr));
    const DWORD data = 1;
    return HResultFromWin32(
        RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data));
}

size_t RegistryValueCount() {
    unique_hkey key;
    DWORD values = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kValuesKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    EXPECT_EQ(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    return values;
}

using PrefixDatabases = TemporaryPrefixTest;

TEST_F(PrefixDatabases, AFailedWriteKeepsNothingAndTheNextWriteOnTheThreadSucceeds) {
    ASSERT_EQ(RoInitialize(RO_INIT_MULTITHREADED), S_OK);
    const struct {
        const char* store;
        std::function<HRESULT(int)> write;
        std::function<size_t()> count;
        Fault fault;  // where the disk fills
        DWORD code;
        HRESULT diskFull;
    } stores[] = {
        {"toast store", [](int n) { return ShowToast(u"<toast><visual>" + std::u16string(n, u'x') + u"</visual></toast>"); },
         ToastCount, Fault::InboxWrite, ENOSPC, HResultFromWin32(112)},
        {"registry", [](int n) { return WriteRegistryValue(std::u16string(n, u'v')); }, RegistryValueCount,
         Fault::DatabaseCommit, SQLITE_FULL, HResultFromWin32(ERROR_REGISTRY_IO_FAILED)},
    };
    for (const auto& store : stores) {
        SCOPED_TRACE(store.store);
        ASSERT_EQ(store.write(1), S_OK);  // the thread's connection is open before the fault
        pal::testing::InjectFailure(store.fault, store.code);
        EXPECT_EQ(store.write(2), store.diskFull);
        EXPECT_EQ(store.count(), 1u) << "the failed write left nothing";
        EXPECT_EQ(store.write(3), S_OK);
        EXPECT_EQ(store.count(), 2u);
    }
    RoUninitialize();
}

TEST_F(PrefixDatabases, TheirFilesAreTheOwnersAloneWhateverTheUmask) {
    const std::filesystem::path prefix = Prefix() / "fresh";
    setenv("PAL_PREFIX", prefix.c_str(), 1);
    const mode_t umaskBefore = umask(0);
    EXPECT_EQ(WriteRegistryValue(u"v"), S_OK);
    EXPECT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", u"<toast/>"), S_OK);
    std::vector<pal::toast_store::Toast> toasts;  // listing folds the inbox into the database
    EXPECT_EQ(pal::toast_store::List(toasts), S_OK);
    EXPECT_EQ(pal::toast_store::Append(u"Corvane.Tessaline", u"<toast/>"), S_OK);  // and the next toast starts another
    umask(umaskBefore);
    // Both connections are still open, so SQLite's -wal and -shm files are there too.
    const struct {
        const char* name;
        mode_t mode;
    } files[] = {{"", 0700},
                 {"registry.db", 0600}, {"registry.db-wal", 0600}, {"registry.db-shm", 0600},
                 {"toasts.db", 0600},   {"toasts.db-wal", 0600},   {"toasts.db-shm", 0600},
                 {"toasts.inbox", 0600},  {"toasts.inbox.lock", 0600}};
    for (const auto& file : files) {
        struct stat info{};
        ASSERT_EQ(stat((prefix / file.name).c_str(), &info), 0) << file.name;
        EXPECT_EQ(info.st_mode & 07777, file.mode) << file.name;
    }
}

}  // namespace
