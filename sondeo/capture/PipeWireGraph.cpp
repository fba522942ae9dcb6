#include "sondeo/capture/PipeWireGraph.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace capture {

struct PipeWireGraph::Listeners {
    spa_hook core {};
    spa_hook registry {};
};

namespace {

void initPipeWireOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

std::string lookup(const spa_dict *props, const char *key)
{
    const char *value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}

} // namespace

PipeWireGraph::PipeWireGraph()
    : listeners_(std::make_unique<Listeners>())
{
    initPipeWireOnce();
    loop_ = pw_thread_loop_new("sondeo-capture", nullptr);
    // The real-time variant of the client setup: the data thread asks for
    // real-time scheduling (where the user may have it), so the audio keeps
    // flowing while the machine is busy.
    if (loop_)
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                                  pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (!context_) {
        connectErrno_ = errno;
        connectError_ = std::strerror(connectErrno_);
        return;
    }
    if (pw_thread_loop_start(loop_) < 0) {
        connectErrno_ = errno;
        connectError_ = std::strerror(connectErrno_);
        return;
    }
    Lock lock(*this);
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_) {
        connectErrno_ = errno;
        connectError_ = std::strerror(connectErrno_);
        return;
    }
    static const pw_core_events coreEvents = [] {
        pw_core_events e {};
        e.version = PW_VERSION_CORE_EVENTS;
        e.done = &PipeWireGraph::handleDone;
        e.error = &PipeWireGraph::handleError;
        return e;
    }();
    static const pw_registry_events registryEvents = [] {
        pw_registry_events e {};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = &PipeWireGraph::handleGlobal;
        e.global_remove = &PipeWireGraph::handleGlobalRemove;
        return e;
    }();
    pw_core_add_listener(core_, &listeners_->core, &coreEvents, this);
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(registry_, &listeners_->registry, &registryEvents, this);
}

PipeWireGraph::~PipeWireGraph()
{
    if (loop_)
        pw_thread_loop_stop(loop_);
    if (registry_) {
        spa_hook_remove(&listeners_->registry);
        pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry_));
    }
    if (core_) {
        spa_hook_remove(&listeners_->core);
        pw_core_disconnect(core_);
    }
    if (context_)
        pw_context_destroy(context_);
    if (loop_)
        pw_thread_loop_destroy(loop_);
}

PipeWireGraph::Lock::Lock(PipeWireGraph &graph)
    : graph_(graph)
{
    pw_thread_loop_lock(graph_.loop_);
}

PipeWireGraph::Lock::~Lock() { pw_thread_loop_unlock(graph_.loop_); }

bool PipeWireGraph::waitUntil(const std::function<bool()> &predicate, std::chrono::milliseconds timeout)
{
    timespec deadline {};
    pw_thread_loop_get_time(loop_, &deadline, int64_t(timeout.count()) * SPA_NSEC_PER_MSEC);
    while (!predicate()) {
        if (failed_)
            return false;
        if (pw_thread_loop_timed_wait_full(loop_, &deadline) == -ETIMEDOUT)
            return predicate();
    }
    return true;
}

void PipeWireGraph::wake() { pw_thread_loop_signal(loop_, false); }

bool PipeWireGraph::sync(std::chrono::milliseconds timeout)
{
    if (!core_)
        return false;
    const int seq = pw_core_sync(core_, PW_ID_CORE, 0);
    return waitUntil([&] { return lastDoneSeq_ == seq; }, timeout);
}

std::vector<NodeInfo> PipeWireGraph::sourceNodes() const
{
    std::vector<NodeInfo> sources;
    for (const auto &n : nodes_)
        if (n.mediaClass == "Audio/Source" || n.mediaClass == "Audio/Source/Virtual")
            sources.push_back(n);
    std::stable_sort(sources.begin(), sources.end(), [](const NodeInfo &a, const NodeInfo &b) { return a.serial < b.serial; });
    return sources;
}

const NodeInfo *PipeWireGraph::node(uint32_t id) const
{
    for (const auto &n : nodes_)
        if (n.id == id)
            return &n;
    return nullptr;
}

std::vector<PortInfo> PipeWireGraph::ports(uint32_t nodeId, bool output) const
{
    std::vector<PortInfo> found;
    for (const auto &p : ports_)
        if (p.nodeId == nodeId && p.output == output)
            found.push_back(p);
    std::stable_sort(found.begin(), found.end(), [](const PortInfo &a, const PortInfo &b) { return a.portId < b.portId; });
    return found;
}

void PipeWireGraph::handleGlobal(void *data, uint32_t id, uint32_t, const char *type, uint32_t, const spa_dict *props)
{
    auto &self = *static_cast<PipeWireGraph *>(data);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        NodeInfo n;
        n.id = id;
        const std::string serial = lookup(props, PW_KEY_OBJECT_SERIAL);
        // Without a serial (old daemons) the id keeps creation order well enough.
        n.serial = serial.empty() ? id : std::strtoull(serial.c_str(), nullptr, 10);
        n.mediaClass = lookup(props, PW_KEY_MEDIA_CLASS);
        n.name = lookup(props, PW_KEY_NODE_NAME);
        n.description = lookup(props, PW_KEY_NODE_DESCRIPTION);
        self.nodes_.push_back(std::move(n));
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
        const std::string node = lookup(props, PW_KEY_NODE_ID);
        if (node.empty())
            return;
        PortInfo p;
        p.id = id;
        p.nodeId = uint32_t(std::strtoul(node.c_str(), nullptr, 10));
        p.portId = uint32_t(std::strtoul(lookup(props, PW_KEY_PORT_ID).c_str(), nullptr, 10));
        p.output = lookup(props, PW_KEY_PORT_DIRECTION) == "out";
        self.ports_.push_back(p);
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
        if (lookup(props, PW_KEY_METADATA_NAME) == "default")
            self.sessionManager_ = true;
    }
    self.wake();
}

void PipeWireGraph::handleGlobalRemove(void *data, uint32_t id)
{
    auto &self = *static_cast<PipeWireGraph *>(data);
    std::erase_if(self.nodes_, [id](const NodeInfo &n) { return n.id == id; });
    std::erase_if(self.ports_, [id](const PortInfo &p) { return p.id == id; });
    if (self.removed_)
        self.removed_(id);
    self.wake();
}

void PipeWireGraph::handleDone(void *data, uint32_t id, int seq)
{
    auto &self = *static_cast<PipeWireGraph *>(data);
    if (id == PW_ID_CORE) {
        self.lastDoneSeq_ = seq;
        self.wake();
    }
}

void PipeWireGraph::handleError(void *data, uint32_t id, int, int res, const char *message)
{
    auto &self = *static_cast<PipeWireGraph *>(data);
    // Errors of other objects (a refused link, say) are for their owners.
    if (id == PW_ID_CORE) {
        self.failed_ = true;
        if (self.connectError_.empty())
            self.connectError_ = std::string(message ? message : "") + " (" + std::strerror(res < 0 ? -res : res) + ")";
        if (res == -EPIPE && self.lost_)
            self.lost_();
        self.wake();
    }
}

} // namespace capture
