#include "tools/ltcsource/SourceNode.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pthread.h>
#include <vector>

namespace {

struct Node {
    SignalSource *signal = nullptr;
    SourceNode::Settings settings;
    pw_main_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    pw_registry *registry = nullptr;
    pw_stream *stream = nullptr;
    spa_hook coreListener {};
    spa_hook registryListener {};
    spa_hook streamListener {};
    int syncSeq = -1;
    bool registrySettled = false;
    bool sessionManager = false;
    std::vector<uint32_t> outputPortNodes; // node id of every output port seen
    bool ready = false;
    int status = 0;
    std::atomic<bool> ended { false };
    // Data thread only: graph position expected at the next cycle.
    uint64_t expectedTicks = 0;
    timespec startedAt {};
};

void reportReadyWhenPortsExist(Node &n)
{
    if (n.ready || !n.stream)
        return;
    const uint32_t id = pw_stream_get_node_id(n.stream);
    if (id == SPA_ID_INVALID)
        return;
    uint32_t ports = 0;
    for (uint32_t nodeId : n.outputPortNodes)
        ports += nodeId == id;
    if (ports < n.signal->channels())
        return;
    n.ready = true;
    std::printf("ltcsource: ready node %u \"%s\" %u channels at %u Hz\n", id, n.settings.description.c_str(),
                n.signal->channels(), n.signal->rate());
    std::fflush(stdout);
}

void onGlobal(void *data, uint32_t, uint32_t, const char *type, uint32_t, const spa_dict *props)
{
    auto &n = *static_cast<Node *>(data);
    if (!props)
        return;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        const char *dir = spa_dict_lookup(props, PW_KEY_PORT_DIRECTION);
        const char *node = spa_dict_lookup(props, PW_KEY_NODE_ID);
        if (dir && node && std::strcmp(dir, "out") == 0) {
            n.outputPortNodes.push_back(uint32_t(std::strtoul(node, nullptr, 10)));
            reportReadyWhenPortsExist(n);
        }
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
        // The "default" metadata belongs to the session manager.
        const char *name = spa_dict_lookup(props, PW_KEY_METADATA_NAME);
        if (name && std::strcmp(name, "default") == 0)
            n.sessionManager = true;
    }
}

const pw_registry_events registryEvents = [] {
    pw_registry_events e {};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = onGlobal;
    return e;
}();

void onCoreDone(void *data, uint32_t id, int seq)
{
    auto &n = *static_cast<Node *>(data);
    if (id == PW_ID_CORE && seq == n.syncSeq && !n.registrySettled) {
        n.registrySettled = true;
        pw_main_loop_quit(n.loop);
    }
}

void onCoreError(void *data, uint32_t id, int, int res, const char *message)
{
    auto &n = *static_cast<Node *>(data);
    std::fprintf(stderr, "ltcsource: PipeWire error on object %u: %s (%s)\n", id,
                 message ? message : "no message", spa_strerror(res));
    if (id == PW_ID_CORE) {
        n.status = 1;
        pw_main_loop_quit(n.loop);
    }
}

const pw_core_events coreEvents = [] {
    pw_core_events e {};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = onCoreDone;
    e.error = onCoreError;
    return e;
}();

void onStateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
{
    auto &n = *static_cast<Node *>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        std::fprintf(stderr, "ltcsource: the stream failed: %s\n", error ? error : "unknown error");
        n.status = 1;
        pw_main_loop_quit(n.loop);
        return;
    }
    reportReadyWhenPortsExist(n);
}

void onProcess(void *data)
{
    auto &n = *static_cast<Node *>(data);
    pw_buffer *b = pw_stream_dequeue_buffer(n.stream);
    if (!b)
        return;
    spa_buffer *buf = b->buffer;
    auto *dst = static_cast<float *>(buf->datas[0].data);
    if (!dst) {
        // Handed back all the same: a buffer kept here is lost to the stream.
        pw_stream_queue_buffer(n.stream, b);
        return;
    }
    const uint32_t stride = sizeof(float) * n.signal->channels();
    uint32_t frames = buf->datas[0].maxsize / stride;
    if (b->requested && b->requested < frames)
        frames = uint32_t(b->requested);
    // Cycles the graph ran without us were heard as silence; keep the
    // signal in step with the graph's clock by skipping what they missed.
    pw_time time {};
    const bool timed = pw_stream_get_time_n(n.stream, &time, sizeof time) == 0 && time.rate.denom && time.rate.num;
    const double ticksPerFrame = timed ? double(time.rate.denom) / time.rate.num / n.signal->rate() : 0;
    if (timed && n.expectedTicks) {
        // Longer pauses (nobody linked) are the signal's own to catch up on.
        const double late = double(int64_t(time.ticks - n.expectedTicks)) / ticksPerFrame;
        if (late > frames / 2.0 && late < n.signal->rate() / 2.0)
            n.signal->skip(size_t(late));
    }
    if (timed)
        n.expectedTicks = time.ticks + uint64_t(ticksPerFrame * frames + 0.5);
    const size_t got = n.ended.load(std::memory_order_relaxed) ? 0 : n.signal->fill(dst, frames);
    if (got < frames) {
        std::memset(dst + got * n.signal->channels(), 0, (frames - got) * stride);
        n.ended.store(true, std::memory_order_relaxed);
    }
    buf->datas[0].chunk->offset = 0;
    buf->datas[0].chunk->stride = int32_t(stride);
    buf->datas[0].chunk->size = frames * stride;
    pw_stream_queue_buffer(n.stream, b);
}

const pw_stream_events streamEvents = [] {
    pw_stream_events e {};
    e.version = PW_VERSION_STREAM_EVENTS;
    e.state_changed = onStateChanged;
    e.process = onProcess;
    return e;
}();

void onQuitSignal(void *data, int)
{
    pw_main_loop_quit(static_cast<Node *>(data)->loop);
}

void onTick(void *data, uint64_t)
{
    auto &n = *static_cast<Node *>(data);
    if (n.ended.load(std::memory_order_relaxed)) {
        pw_main_loop_quit(n.loop);
        return;
    }
    if (n.settings.durationSeconds > 0) {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double elapsed = double(now.tv_sec - n.startedAt.tv_sec) + double(now.tv_nsec - n.startedAt.tv_nsec) / 1e9;
        if (elapsed >= n.settings.durationSeconds)
            pw_main_loop_quit(n.loop);
    }
}

void fillPositions(spa_audio_info_raw &info)
{
    if (info.channels == 1) {
        info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    } else if (info.channels == 2) {
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
    } else {
        for (uint32_t i = 0; i < info.channels && i < SPA_AUDIO_MAX_CHANNELS; ++i)
            info.position[i] = SPA_AUDIO_CHANNEL_AUX0 + i;
    }
}

int runConnected(Node &n)
{
    n.registry = pw_core_get_registry(n.core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(n.registry, &n.registryListener, &registryEvents, &n);
    n.syncSeq = pw_core_sync(n.core, PW_ID_CORE, 0);
    pw_main_loop_run(n.loop);
    if (!n.registrySettled)
        return n.status ? n.status : 1;

    pw_properties *props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio",
        PW_KEY_MEDIA_CATEGORY, "Playback",
        PW_KEY_MEDIA_CLASS, "Audio/Source",
        PW_KEY_NODE_NAME, n.settings.name.c_str(),
        PW_KEY_NODE_DESCRIPTION, n.settings.description.c_str(),
        PW_KEY_MEDIA_NAME, n.settings.description.c_str(),
        nullptr);
    // Without a session manager nobody configures the node's ports, and a
    // source without ports cannot be linked or counted.
    if (!n.sessionManager)
        pw_properties_set(props, "adapter.auto-port-config", "{ mode: dsp monitor: false control: false position: preserve }");
    n.stream = pw_stream_new(n.core, n.settings.name.c_str(), props);
    if (!n.stream) {
        std::fprintf(stderr, "ltcsource: cannot create the stream: %s\n", std::strerror(errno));
        return 1;
    }
    pw_stream_add_listener(n.stream, &n.streamListener, &streamEvents, &n);

    uint8_t podBuffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer, sizeof(podBuffer));
    spa_audio_info_raw info {};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = n.signal->rate();
    info.channels = n.signal->channels();
    fillPositions(info);
    const spa_pod *params[1] = { spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info) };
    const int res = pw_stream_connect(n.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                                      pw_stream_flags(PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS), params, 1);
    if (res < 0) {
        std::fprintf(stderr, "ltcsource: cannot connect the stream: %s\n", spa_strerror(res));
        return 1;
    }

    pw_loop *loop = pw_main_loop_get_loop(n.loop);
    pw_loop_add_signal(loop, SIGINT, onQuitSignal, &n);
    pw_loop_add_signal(loop, SIGTERM, onQuitSignal, &n);
    spa_source *tick = pw_loop_add_timer(loop, onTick, &n);
    timespec interval { 0, 50 * 1000 * 1000 };
    pw_loop_update_timer(loop, tick, &interval, &interval, false);
    clock_gettime(CLOCK_MONOTONIC, &n.startedAt);
    pw_main_loop_run(n.loop);
    pw_loop_destroy_source(loop, tick);
    return n.status;
}

} // namespace

int SourceNode::run(SignalSource &signal, const Settings &settings)
{
    // Blocked before PipeWire starts its threads, so that they inherit the
    // mask and the signals reach the main loop's handler only.
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);

    pw_init(nullptr, nullptr);
    Node n;
    n.signal = &signal;
    n.settings = settings;
    n.loop = pw_main_loop_new(nullptr);
    if (!n.loop) {
        std::fprintf(stderr, "ltcsource: cannot create the PipeWire main loop: %s\n",
                     std::strerror(errno));
        pw_deinit();
        return 1;
    }
    // Real-time data thread where the user may have it: fewer lost cycles on a busy machine.
    n.context = pw_context_new(pw_main_loop_get_loop(n.loop), pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    int status = 1;
    if (n.context)
        n.core = pw_context_connect(n.context, nullptr, 0);
    if (!n.core) {
        std::fprintf(stderr, "ltcsource: cannot connect to the PipeWire audio server (%s): is PipeWire running for this user?\n",
                     std::strerror(errno));
    } else {
        pw_core_add_listener(n.core, &n.coreListener, &coreEvents, &n);
        status = runConnected(n);
    }
    if (n.stream)
        pw_stream_destroy(n.stream);
    if (n.registry)
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(n.registry));
    if (n.core)
        pw_core_disconnect(n.core);
    if (n.context)
        pw_context_destroy(n.context);
    pw_main_loop_destroy(n.loop);
    pw_deinit();
    return status;
}
