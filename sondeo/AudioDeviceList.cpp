#include "sondeo/AudioDeviceList.h"

#include "sondeo/capture/PipeWireGraph.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr std::chrono::seconds kRegistryTimeout { 10 };

} // namespace

AudioDeviceList::AudioDeviceList()
{
    capture::PipeWireGraph graph;
    if (!graph.connected()) {
        std::fprintf(stderr, "Sondeo: cannot connect to the PipeWire audio server (%s): is PipeWire running for this user?\n",
                     graph.connectError().c_str());
        return;
    }
    capture::PipeWireGraph::Lock lock(graph);
    // One round trip: every node and port announced so far has been seen.
    if (!graph.sync(kRegistryTimeout)) {
        std::fprintf(stderr, "Sondeo: the PipeWire audio server did not answer (%s): is it running properly?\n",
                     graph.connectError().empty() ? "no reply" : graph.connectError().c_str());
        return;
    }
    for (const auto &node : graph.sourceNodes()) {
        const auto ports = graph.ports(node.id, true);
        // The listing needs some name even for a node that carries none.
        std::string name = !node.description.empty() ? node.description
            : !node.name.empty()                      ? node.name
                                                      : "Audio input " + std::to_string(node.serial);
        devices_.push_back(Device { node.id, std::move(name), static_cast<int32_t>(ports.size()) });
    }
}

uint32_t AudioDeviceList::count() const { return static_cast<uint32_t>(devices_.size()); }

uint32_t AudioDeviceList::deviceAt(int32_t index) const
{
    const auto i = static_cast<uint32_t>(index);
    return i < devices_.size() ? devices_[i].id : 0;
}

int32_t AudioDeviceList::inputChannelCount(int32_t index) const
{
    const auto i = static_cast<uint32_t>(index);
    return i < devices_.size() ? devices_[i].channels : -1;
}

std::optional<std::string> AudioDeviceList::deviceName(int32_t index) const
{
    const auto i = static_cast<uint32_t>(index);
    if (i >= devices_.size())
        return std::nullopt;
    return devices_[i].name;
}
