#include "sondeo/AudioCapture.h"

#include "sondeo/AudioDeviceList.h"
#include "sondeo/capture/LostAudioDetector.h"
#include "sondeo/capture/PipeWireGraph.h"
#include "sondeo/capture/SourceVolume.h"
#include "sondeo/capture/StreamDescription.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kIdle = 0;
constexpr int kOpening = 1;
constexpr int kRunning = 10;
constexpr int kStopped = -1;

constexpr float kMinimumInputVolume = 0.4f;
constexpr std::chrono::seconds kServerTimeout { 10 };

} // namespace

struct AudioCapture::Private {
    // Written on the main thread, read on PipeWire's threads.
    std::atomic<int> state { kIdle };
    int32_t bufferSize = 0;
    SampleCallback callback = nullptr;
    uint32_t device = 0;
    capture::StreamDescription format;
    std::atomic<int32_t> channels { 0 };
    // The process callback reads these on the data thread.
    std::atomic<uint32_t> bytesPerFrame { 0 };
    std::atomic<uint32_t> frameRate { 0 };
    std::atomic<bool> delivering { false };
    // Data thread only.
    capture::LostAudioDetector lostAudio;
    static constexpr uint32_t kSilenceFrames = 128; // longer than the detector's silence limit

    void markLostAudio(uint32_t channels, uint32_t frames);

    std::unique_ptr<capture::PipeWireGraph> graph;
    pw_stream *stream = nullptr;
    spa_hook streamListener {};
    bool formatKnown = false;
    bool formatReadable = false;
    bool streamFailed = false;
    bool watchingDevice = false; // loop lock: device-gone handling is on
    std::string streamError;
    std::vector<pw_proxy *> links;

    void configure();
    bool connectStream(uint32_t sourceChannels, uint64_t serial);
    bool linkPorts(const std::vector<capture::PortInfo> &sourcePorts);
    void deviceGone();
    void stop();

    static void onParamChanged(void *data, uint32_t id, const spa_pod *param);
    static void onStateChanged(void *data, pw_stream_state old, pw_stream_state state, const char *error);
    static void onProcess(void *data);
};

void AudioCapture::Private::onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto &d = *static_cast<AudioCapture::Private *>(data);
    if (id != SPA_PARAM_Format || !param)
        return;
    d.formatReadable = capture::describeFormat(param, d.format);
    d.formatKnown = true;
    d.graph->wake();
}

void AudioCapture::Private::onStateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
{
    auto &d = *static_cast<AudioCapture::Private *>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        d.streamFailed = true;
        d.streamError = error ? error : "stream error";
    }
    d.graph->wake();
}

// Real-time: no allocation, no locks, buffers passed on in place.
void AudioCapture::Private::onProcess(void *data)
{
    auto &d = *static_cast<AudioCapture::Private *>(data);
    pw_buffer *b = pw_stream_dequeue_buffer(d.stream);
    if (!b)
        return;
    const uint32_t bytesPerFrame = d.bytesPerFrame.load(std::memory_order_acquire);
    const auto channels = static_cast<uint32_t>(d.channels.load(std::memory_order_relaxed));
    if (d.delivering.load(std::memory_order_acquire) && bytesPerFrame && channels) {
        const spa_buffer *buf = b->buffer;
        for (uint32_t i = 0; i < buf->n_datas; ++i) {
            const spa_data &data = buf->datas[i];
            if (!data.data || !data.chunk)
                continue;
            // The chunk comes from another process: keep it inside the mapping.
            const uint32_t offset = std::min(data.chunk->offset, data.maxsize);
            const uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
            const uint32_t frames = size / bytesPerFrame;
            if (i == 0)
                d.markLostAudio(channels, frames);
            d.callback(channels * frames, channels,
                       reinterpret_cast<const float *>(static_cast<const uint8_t *>(data.data) + offset));
        }
    }
    pw_stream_queue_buffer(d.stream, b);
}

// Audio lost in missed cycles would let the decoder join the pieces on
// either side into a frame that was never sent; a run of silence makes it
// start over instead.
void AudioCapture::Private::markLostAudio(uint32_t channels, uint32_t frames)
{
    static const float silence[kSilenceFrames * SPA_AUDIO_MAX_CHANNELS] = {};
    pw_time time {};
    if (pw_stream_get_time_n(stream, &time, sizeof time) < 0 || !time.rate.num || !time.rate.denom)
        return;
    const uint64_t tickRate = time.rate.denom / time.rate.num;
    if (lostAudio.buffer(time.ticks, tickRate, frames, frameRate.load(std::memory_order_relaxed)))
        callback(channels * kSilenceFrames, channels, silence);
}

AudioCapture::AudioCapture()
    : d(std::make_unique<Private>())
{
}

AudioCapture::~AudioCapture()
{
    // Without a connection there is no stream or link, and maybe no loop to lock.
    if (!d->graph || !d->graph->connected())
        return;
    {
        capture::PipeWireGraph::Lock lock(*d->graph);
        d->graph->onRemoved(nullptr);
        d->graph->onLost(nullptr);
        for (pw_proxy *link : d->links)
            pw_proxy_destroy(link);
        if (d->stream)
            pw_stream_destroy(d->stream);
    }
    d->graph.reset();
}

int AudioCapture::startPlayback(double, int32_t bufferSize, int32_t deviceNumber, SampleCallback callback)
{
    // The rate is not applied to the device: the stream asks PipeWire for
    // 44100 Hz on its own, whatever the device runs at.
    const AudioDeviceList devices;
    if (d->state.load() != kIdle)
        return 0;
    d->state = kOpening;
    d->bufferSize = bufferSize;
    d->callback = callback;
    d->device = devices.deviceAt(deviceNumber);
    if (d->device == 0 || !callback)
        return 0;
    d->configure();
    return 1;
}

void AudioCapture::Private::configure()
{
    if (state.load() != kOpening)
        return;
    state = kRunning;

    graph = std::make_unique<capture::PipeWireGraph>();
    if (!graph->connected()) {
        std::printf("get kAudioDevicePropertyStreamFormat error: %i\n", -graph->connectErrno());
        return;
    }
    capture::PipeWireGraph::Lock lock(*graph);
    // Only a started capture stops when its device goes; before that a
    // vanished device shows as a failed step below.
    graph->onRemoved([this](uint32_t id) {
        if (watchingDevice && id == device)
            deviceGone();
    });
    graph->onLost([this] {
        if (watchingDevice)
            deviceGone();
    });

    // The device's channels are its output ports; a node may get them only
    // once its format is configured, so give it a moment.
    std::vector<capture::PortInfo> sourcePorts;
    const bool found = graph->sync(kServerTimeout) && graph->waitUntil([&] {
        sourcePorts = graph->ports(device, true);
        return graph->node(device) && !sourcePorts.empty();
    }, kServerTimeout);
    if (!found) {
        std::printf("get kAudioDevicePropertyStreamFormat error: %i\n", graph->node(device) ? -ENODATA : -ENODEV);
        return;
    }
    const uint32_t sourceChannels = uint32_t(std::min<size_t>(sourcePorts.size(), SPA_AUDIO_MAX_CHANNELS));
    sourcePorts.resize(sourceChannels);

    // The format is negotiated once the stream is linked to the device.
    if (!connectStream(sourceChannels, graph->node(device)->serial) || !linkPorts(sourcePorts)
        || !graph->waitUntil([&] { return formatKnown || streamFailed; }, kServerTimeout) || !formatReadable) {
        std::printf("get kAudioDevicePropertyStreamFormat error: %i\n", streamFailed ? -EIO : -ETIMEDOUT);
        return;
    }
    if (format.formatID != capture::StreamDescription::kLinearPCM) {
        std::printf("mFormatID !=  kAudioFormatLinearPCM\n");
        return;
    }
    if (!format.isFloat()) {
        std::printf("Sorry, currently only works with float format....\n");
        return;
    }
    std::printf("mSampleRate = %g\n", format.sampleRate);
    std::printf("mFormatFlags = %08lX\n", static_cast<unsigned long>(format.formatFlags));
    std::printf("mBytesPerPacket = %ld\n", static_cast<long>(format.bytesPerPacket));
    std::printf("mFramesPerPacket = %ld\n", static_cast<long>(format.framesPerPacket));
    std::printf("mChannelsPerFrame = %ld\n", static_cast<long>(format.channelsPerFrame));
    std::printf("mBytesPerFrame = %ld\n", static_cast<long>(format.bytesPerFrame));
    std::printf("mBitsPerChannel = %ld\n", static_cast<long>(format.bitsPerChannel));

    capture::raiseSourceVolume(*graph, device, kMinimumInputVolume, kServerTimeout);

    channels = static_cast<int32_t>(format.channelsPerFrame);
    const int32_t requestedFrames = bufferSize;
    bufferSize = bufferSize * channels * 2;
    // PipeWire sizes buffers through the latency the stream asks the graph
    // for; the frames asked for are the buffer size given at start.
    const std::string latency = std::to_string(requestedFrames) + "/44100";
    const spa_dict_item items[] = { SPA_DICT_ITEM_INIT(PW_KEY_NODE_LATENCY, latency.c_str()) };
    const spa_dict dict = SPA_DICT_INIT_ARRAY(items);
    const int res = pw_stream_update_properties(stream, &dict);
    if (res < 0) {
        std::printf("get kAudioDevicePropertyBufferSize error %i\n", res);
        return;
    }

    frameRate.store(uint32_t(format.sampleRate), std::memory_order_relaxed);
    bytesPerFrame.store(format.bytesPerFrame, std::memory_order_release);
    std::printf("AudioDeviceAddIOProc\n");
    if (pw_stream_set_active(stream, true) < 0)
        return;
    delivering.store(true, std::memory_order_release);
    std::printf("AudioDeviceStart\n");
    watchingDevice = true;
}

bool AudioCapture::Private::connectStream(uint32_t sourceChannels, uint64_t serial)
{
    const bool autoconnect = graph->sessionManagerRunning();
    pw_properties *props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio",
        PW_KEY_MEDIA_CATEGORY, "Capture",
        PW_KEY_MEDIA_ROLE, "Production",
        PW_KEY_APP_NAME, "Sondeo",
        PW_KEY_NODE_NAME, "Sondeo",
        PW_KEY_NODE_LATENCY, "367/44100",
        // Without this a session manager moves the stream to another source
        // when the device goes, and frames of the wrong device would follow.
        PW_KEY_NODE_DONT_RECONNECT, "true",
        nullptr);
    // Without a session manager nobody configures the stream's ports; have
    // the adapter give it one port per channel as soon as the format is known.
    if (!autoconnect)
        pw_properties_set(props, "adapter.auto-port-config", "{ mode: dsp monitor: false control: false position: preserve }");
    if (autoconnect)
        pw_properties_setf(props, PW_KEY_TARGET_OBJECT, "%llu", static_cast<unsigned long long>(serial));
    stream = pw_stream_new(graph->core(), "Sondeo", props);
    if (!stream)
        return false;
    static const pw_stream_events events = [] {
        pw_stream_events e {};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = &Private::onStateChanged;
        e.param_changed = &Private::onParamChanged;
        e.process = &Private::onProcess;
        return e;
    }();
    pw_stream_add_listener(stream, &streamListener, &events, this);

    uint8_t buffer[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_audio_info_raw info {};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = 44100;
    info.channels = sourceChannels;
    const spa_pod *params[1] = { spa_format_audio_raw_build(&b, SPA_PARAM_EnumFormat, &info) };
    auto flags = PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS;
    if (autoconnect)
        flags |= PW_STREAM_FLAG_AUTOCONNECT;
    return pw_stream_connect(stream, PW_DIRECTION_INPUT, PW_ID_ANY, pw_stream_flags(flags), params, 1) >= 0;
}

bool AudioCapture::Private::linkPorts(const std::vector<capture::PortInfo> &sourcePorts)
{
    if (graph->sessionManagerRunning())
        return true; // the session manager links to target.object
    // Nothing links by itself without a session manager: once the stream's
    // input ports exist, link the device's ports to them in order.
    std::vector<capture::PortInfo> inputPorts;
    const bool ready = graph->waitUntil([&] {
        const uint32_t nodeId = pw_stream_get_node_id(stream);
        if (nodeId == SPA_ID_INVALID)
            return false;
        inputPorts = graph->ports(nodeId, false);
        return inputPorts.size() >= sourcePorts.size() || streamFailed;
    }, kServerTimeout);
    if (!ready || streamFailed)
        return false;
    for (size_t i = 0; i < sourcePorts.size(); ++i) {
        pw_properties *props = pw_properties_new(nullptr, nullptr);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", sourcePorts[i].nodeId);
        pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", sourcePorts[i].id);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", inputPorts[i].nodeId);
        pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", inputPorts[i].id);
        auto *link = static_cast<pw_proxy *>(pw_core_create_object(graph->core(), "link-factory", PW_TYPE_INTERFACE_Link,
                                                                  PW_VERSION_LINK, &props->dict, 0));
        pw_properties_free(props);
        if (!link)
            return false;
        links.push_back(link);
    }
    return true;
}

// On the loop's thread: the device left the graph (or the server went away).
void AudioCapture::Private::deviceGone()
{
    std::fputs("NotifyWhenStopping\nNotifyWhenStopping\nNotifyWhenStopping\n", stderr);
    stop();
}

void AudioCapture::Private::stop()
{
    int expected = kRunning;
    if (!state.compare_exchange_strong(expected, kStopped))
        return;
    delivering.store(false, std::memory_order_release);
    if (!stream || pw_stream_set_active(stream, false) < 0)
        return;
    if (pw_stream_disconnect(stream) < 0)
        return;
    // The main thread may be blocked reading the interval pipe: end here,
    // after the diagnostic lines have reached standard output.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
}
