#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;
struct spa_dict;

namespace capture {

struct NodeInfo {
    uint32_t id = 0;
    uint64_t serial = 0;
    std::string mediaClass;
    std::string name;        // node.name
    std::string description; // node.description
};

struct PortInfo {
    uint32_t id = 0;     // global id
    uint32_t nodeId = 0; // node.id
    uint32_t portId = 0; // port.id, the order within the node
    bool output = false;
};

// A connection to the PipeWire daemon with its own thread loop, and a live
// view of the nodes and ports in its registry. Everything but construction
// and destruction must be called with the loop locked (Lock below); the
// handlers run on the loop's thread with the lock held.
class PipeWireGraph {
public:
    PipeWireGraph();
    ~PipeWireGraph();
    PipeWireGraph(const PipeWireGraph &) = delete;
    PipeWireGraph &operator=(const PipeWireGraph &) = delete;

    // False when no daemon could be reached; then connectError() says why.
    bool connected() const { return core_ != nullptr; }
    const std::string &connectError() const { return connectError_; }
    int connectErrno() const { return connectErrno_; }

    class Lock {
    public:
        explicit Lock(PipeWireGraph &graph);
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        PipeWireGraph &graph_;
    };

    // A round trip to the daemon: everything announced before it has been
    // seen when it returns true.
    bool sync(std::chrono::milliseconds timeout);
    // Waits until the predicate holds (checked after every event) or the
    // timeout passes; returns the predicate's last value.
    bool waitUntil(const std::function<bool()> &predicate, std::chrono::milliseconds timeout);
    // Wakes waitUntil from another callback on the loop's thread.
    void wake();

    // Audio/Source and Audio/Source/Virtual nodes, in the order of object.serial.
    std::vector<NodeInfo> sourceNodes() const;
    const NodeInfo *node(uint32_t id) const;
    // Ports of a node in one direction, in the order of port.id.
    std::vector<PortInfo> ports(uint32_t nodeId, bool output) const;
    // A session manager publishes the "default" metadata and links streams.
    bool sessionManagerRunning() const { return sessionManager_; }
    // A fatal error of the connection was reported.
    bool failed() const { return failed_; }

    // Called on the loop's thread when a global disappears.
    void onRemoved(std::function<void(uint32_t id)> handler) { removed_ = std::move(handler); }
    // Called on the loop's thread when the connection to the daemon is lost.
    void onLost(std::function<void()> handler) { lost_ = std::move(handler); }

    pw_thread_loop *loop() const { return loop_; }
    pw_core *core() const { return core_; }
    pw_registry *registry() const { return registry_; }

private:
    struct Listeners;
    static void handleGlobal(void *data, uint32_t id, uint32_t permissions, const char *type, uint32_t version,
                             const spa_dict *props);
    static void handleGlobalRemove(void *data, uint32_t id);
    static void handleDone(void *data, uint32_t id, int seq);
    static void handleError(void *data, uint32_t id, int seq, int res, const char *message);

    pw_thread_loop *loop_ = nullptr;
    pw_context *context_ = nullptr;
    pw_core *core_ = nullptr;
    pw_registry *registry_ = nullptr;
    std::unique_ptr<Listeners> listeners_; // opaque to keep PipeWire's headers out
    std::string connectError_;
    int connectErrno_ = 0;
    std::vector<NodeInfo> nodes_;
    std::vector<PortInfo> ports_;
    bool sessionManager_ = false;
    bool failed_ = false;
    int lastDoneSeq_ = -1;
    std::function<void(uint32_t)> removed_;
    std::function<void()> lost_;
};

} // namespace capture
