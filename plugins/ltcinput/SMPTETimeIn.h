#pragma once

#include "kairon/core/PluginClass.h"
#include "kairon/core/tsyncInput.h"
#include "plugins/ltcinput/SondeoProcess.h"
#include "plugins/ltcinput/audioDeviceDescription.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TCMDTime;
class UBMDUserBits;

// Audio LTC from one channel of one sound input. Each started instance runs
// its own Sondeo child and reads the child's frame lines on a listener thread
// of its own; the main thread polls time, delta and status at any moment.
//
// Everything the listener writes and the main thread reads is guarded by
// state_; the listener is joined before the instance goes away.
class SMPTETimeIn : public tsyncInput
{
public:
    using DeviceList = std::vector<std::shared_ptr<audioDeviceDescription>>;

    // A plain, unstarted object (used for discovery, and by tests).
    SMPTETimeIn();
    ~SMPTETimeIn() override;
    SMPTETimeIn(const SMPTETimeIn &) = delete;
    SMPTETimeIn &operator=(const SMPTETimeIn &) = delete;

    // A started input on that device and channel.
    static std::shared_ptr<SMPTETimeIn> initWithThisChannel(int32_t device, int32_t side,
                                                            const QString &name);

    static QString pluginName();
    // Discovery plus one input per channel, collected instead of registered.
    static std::vector<std::shared_ptr<SMPTETimeIn>> pluginsFor();

    // tsyncInput
    QString name() const override;
    std::shared_ptr<const TCMDTime> myTime() override;
    TimeDelta currentTimeDelta() override;
    StatusLevel statusLevel() override;

    void startDevice(int32_t device, int32_t side);
    // Ends the reader: closes the pipe, ends the child and collects it. Safe
    // from any thread but the listener's own; waits for the listener to end.
    void stop();

    // The listener loop on the current thread: frame lines when frameLines is
    // true, else device lines. Returns when the pipe reports end of file, on a
    // read error, or when the instance is being destroyed.
    void TClistener(bool frameLines);
    void processTCLine(std::string_view line);
    void setStatus(uint32_t frameCount);

    std::shared_ptr<const UBMDUserBits> nowUB() const;
    uint32_t fps() const;
    int32_t device() const { return device_; }
    int32_t side() const { return side_; }
    pid_t cpid() const { return cpid_.load(); }

    // findDevicesExtension: channel discovery through "Sondeo -d".
    static DeviceList getAllDevicesInit();
    void getDevices();
    void processTCDeviceLine(std::string_view line);
    const DeviceList &allAudioIns() const { return allAudioIns_; }

    // Where Sondeo is looked for: the bundle's resources folder, unless a
    // folder was set here (tests and tools that run the code outside a bundle).
    static void setResourceFolderOverride(const QString &folder);
    static QString resourceFolder();
    static QString sondeoPath();

    static int totalReadersRunning() { return totalReadersRunning_.load(); }

private:
    bool runSondeo(const std::vector<std::string> &args, bool markerOnFailure);
    void wakeListener();
    void joinListener();
    // Closes the pipe and collects the child; called by the thread that owns them.
    void closeChild();

    // Written by the listener, read by the main thread.
    mutable std::mutex state_;
    uint32_t fps_ = 30;
    uint32_t fpsLastSecond_ = 0;
    std::shared_ptr<const TCMDTime> nowTime_;
    std::shared_ptr<const UBMDUserBits> nowUB_;
    int32_t statusLevel_ = 0;
    int32_t timeSinceLastError_ = 0;
    int32_t timesCallesStatusSinceLastChange_ = 0;
    uint32_t lastFrame_ = 0;

    QString name_;
    DeviceList allAudioIns_;
    int32_t device_ = 0;
    int32_t side_ = 0;

    // The child and its pipe belong to the listener while it runs.
    QString program_;
    SondeoProcess child_;
    std::atomic<pid_t> cpid_ { 0 };
    std::thread listener_;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_ { false };

    static std::atomic<int> totalReadersRunning_;
};

// The class object of SMPTETimeIn.
class SMPTETimeInClass : public PluginClassFor<SMPTETimeIn>
{
public:
    QString className() const override;
    QString pluginName() const override;
    QWidget *preferenceView() override;
    void initializePluginWithManager(PluginManager *manager) override;
};
