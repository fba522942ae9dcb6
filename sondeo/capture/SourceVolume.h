#pragma once

#include <chrono>
#include <cstdint>

namespace capture {

class PipeWireGraph;

// Raises the node's master volume and every channel volume that is below
// `minimum` to it, leaving louder ones alone. Failures are ignored: a node
// without volume controls is captured as it is. Call with the loop locked.
void raiseSourceVolume(PipeWireGraph &graph, uint32_t nodeId, float minimum, std::chrono::milliseconds timeout);

} // namespace capture
