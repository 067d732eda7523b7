#pragma once

#include <atomic>

class UsbDevice;
class UsbDeviceClient;

// The attached client and its pedal as threads other than the message thread
// see them. The message thread publishes both once the client is set up and
// clears them before either may go; a reader inside an AudioThreadGuard scope
// may use what it loaded until the scope ends, as the two are retired, never
// deleted at once.
class PedalRoute
{
public:
    // Message thread.
    void publish (UsbDevice& pedal, UsbDeviceClient& attached) noexcept
    {
        device.store (&pedal);
        client.store (&attached);
    }

    void clear() noexcept
    {
        client.store (nullptr);
        device.store (nullptr);
    }

    // Any thread; off the message thread, inside an AudioThreadGuard scope.
    UsbDeviceClient* getClient() const noexcept { return client.load(); }
    UsbDevice* getDevice() const noexcept { return device.load(); }

private:
    std::atomic<UsbDeviceClient*> client { nullptr };
    std::atomic<UsbDevice*> device { nullptr };
};
