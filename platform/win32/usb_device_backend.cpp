// Scanners through the Still Image service: StiCreateInstanceW, then on the instance
// GetDeviceList (each device with its vendor and device description, which the driver matches)
// and CreateDevice in data mode, and on the device LockDevice, RawWriteData, RawReadData and
// UnLockDevice. sti.dll is loaded at run time (MinGW ships no import library for it); without it,
// or without the service, the backend lists no devices and the driver reports its own "not
// found" text.
#include "platform/usb_device_backend.h"

#include <string>

#include <windows.h>
#include <objbase.h>
#include <sti.h>

#include "platform/dynamic_library.h"

namespace ordavel::platform {

namespace {

using StiCreateInstanceWFunction = HRESULT(WINAPI*)(HINSTANCE, DWORD, IStillImageW**, IUnknown*);

std::u16string ToU16(const wchar_t* text) {
    std::u16string out;
    if (text == nullptr) return out;
    for (; *text != L'\0'; ++text) out.push_back(static_cast<char16_t>(*text));
    return out;
}

std::string ToUtf8(const wchar_t* text) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::wstring ToWide(const std::string& utf8) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), length);
    out.pop_back();
    return out;
}

// One Still Image instance on the loaded sti.dll, inside COM for this thread. Every open device
// holds it, so the instance is released after the last device whatever order owners go in.
class StillImageSession {
public:
    static std::shared_ptr<StillImageSession> Start() {
        auto session = std::shared_ptr<StillImageSession>(new StillImageSession());
        if (!session->library_.load("sti.dll")) return nullptr;
        const auto create = reinterpret_cast<StiCreateInstanceWFunction>(session->library_.symbol("StiCreateInstanceW"));
        if (create == nullptr) return nullptr;
        if (FAILED(create(::GetModuleHandleA(nullptr), STI_VERSION_REAL | STI_VERSION_FLAG_UNICODE, &session->sti_, nullptr)) ||
            session->sti_ == nullptr) {
            session->sti_ = nullptr;
            return nullptr;
        }
        return session;
    }
    ~StillImageSession() {
        if (sti_ != nullptr) sti_->Release();
        library_.unload();
        if (comStarted_) ::CoUninitialize();
    }
    StillImageSession(const StillImageSession&) = delete;
    StillImageSession& operator=(const StillImageSession&) = delete;
    IStillImageW* sti() const { return sti_; }

private:
    // A thread already in another apartment keeps it (RPC_E_CHANGED_MODE), and is not left.
    StillImageSession() : comStarted_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}

    bool comStarted_;
    DynamicLibrary library_;
    IStillImageW* sti_ = nullptr;
};

class StillImagePipe final : public RawPipe {
public:
    StillImagePipe(std::shared_ptr<StillImageSession> session, IStiDevice* device)
        : session_(std::move(session)), device_(device) {}
    ~StillImagePipe() override {
        if (locked_) device_->UnLockDevice();
        device_->Release();
    }
    StillImagePipe(const StillImagePipe&) = delete;
    StillImagePipe& operator=(const StillImagePipe&) = delete;

    bool lock(uint32_t timeoutMs) override {
        locked_ = SUCCEEDED(device_->LockDevice(timeoutMs));
        return locked_;
    }
    bool unlock() override {
        const bool ok = SUCCEEDED(device_->UnLockDevice());
        locked_ = false;
        return ok;
    }
    bool write(std::span<const uint8_t> data) override {
        return SUCCEEDED(device_->RawWriteData(const_cast<uint8_t*>(data.data()), static_cast<DWORD>(data.size()), nullptr));
    }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        DWORD count = static_cast<DWORD>(buffer.size());
        const bool ok = SUCCEEDED(device_->RawReadData(buffer.data(), &count, nullptr));
        received = ok ? count : 0;
        return ok;
    }

private:
    std::shared_ptr<StillImageSession> session_;
    IStiDevice* device_;
    bool locked_ = false;
};

class StillImageBackend final : public DeviceBackend {
public:
    std::vector<DeviceInfo> devices() override {
        std::vector<DeviceInfo> found;
        if (!started()) return found;
        DWORD count = 0;
        void* buffer = nullptr;
        if (FAILED(session_->sti()->GetDeviceList(StiDeviceTypeDefault, 0, &count, &buffer)) || buffer == nullptr) {
            return found;
        }
        const auto* list = static_cast<const STI_DEVICE_INFORMATIONW*>(buffer);
        for (DWORD i = 0; i < count; ++i) {
            found.push_back({ToU16(list[i].pszVendorDescription), ToU16(list[i].pszDeviceDescription),
                             ToUtf8(list[i].szDeviceInternalName)});
        }
        ::LocalFree(buffer);
        return found;
    }

    std::unique_ptr<RawPipe> open(const std::string& internalName) override {
        if (!started()) return nullptr;
        std::wstring name = ToWide(internalName);
        IStiDevice* device = nullptr;
        if (name.empty() || FAILED(session_->sti()->CreateDevice(name.data(), STI_DEVICE_CREATE_DATA, &device, nullptr)) ||
            device == nullptr) {
            return nullptr;
        }
        return std::make_unique<StillImagePipe>(session_, device);
    }

private:
    // The service is reached on first use, as the driver first lists or opens a device.
    bool started() {
        if (!session_ && !tried_) {
            tried_ = true;
            session_ = StillImageSession::Start();
        }
        return session_ != nullptr;
    }

    std::shared_ptr<StillImageSession> session_;
    bool tried_ = false;
};

}  // namespace

std::shared_ptr<DeviceBackend> MakeUsbDeviceBackend() { return std::make_shared<StillImageBackend>(); }

}  // namespace ordavel::platform
