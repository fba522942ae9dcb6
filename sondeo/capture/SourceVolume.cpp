#include "sondeo/capture/SourceVolume.h"

#include "sondeo/capture/PipeWireGraph.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/raw.h>
#include <spa/param/props.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>

#include <algorithm>
#include <vector>

namespace capture {

namespace {

struct Volumes {
    bool haveMaster = false;
    float master = 1.0f;
    std::vector<float> channels;
};

void onParam(void *data, int, uint32_t id, uint32_t, uint32_t, const spa_pod *param)
{
    auto &v = *static_cast<Volumes *>(data);
    if (id != SPA_PARAM_Props || !param || !spa_pod_is_object(param))
        return;
    const auto *object = reinterpret_cast<const spa_pod_object *>(param);
    const spa_pod_prop *prop;
    SPA_POD_OBJECT_FOREACH(object, prop) {
        if (prop->key == SPA_PROP_volume) {
            float value = 0;
            if (spa_pod_get_float(&prop->value, &value) == 0) {
                v.haveMaster = true;
                v.master = value;
            }
        } else if (prop->key == SPA_PROP_channelVolumes) {
            float values[SPA_AUDIO_MAX_CHANNELS];
            const uint32_t n = spa_pod_copy_array(&prop->value, SPA_TYPE_Float, values, SPA_AUDIO_MAX_CHANNELS);
            v.channels.assign(values, values + n);
        }
    }
}

} // namespace

void raiseSourceVolume(PipeWireGraph &graph, uint32_t nodeId, float minimum, std::chrono::milliseconds timeout)
{
    auto *node = static_cast<pw_node *>(pw_registry_bind(graph.registry(), nodeId, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
    if (!node)
        return;
    Volumes volumes;
    static const pw_node_events events = [] {
        pw_node_events e {};
        e.version = PW_VERSION_NODE_EVENTS;
        e.param = onParam;
        return e;
    }();
    spa_hook listener {};
    pw_node_add_listener(node, &listener, &events, &volumes);
    pw_node_enum_params(node, 0, SPA_PARAM_Props, 0, 0, nullptr);
    // The daemon answers in order: the parameters arrive before the sync's reply.
    if (graph.sync(timeout)) {
        const bool raiseMaster = volumes.haveMaster && volumes.master < minimum;
        bool raiseChannels = false;
        for (float &c : volumes.channels)
            if (c < minimum) {
                c = minimum;
                raiseChannels = true;
            }
        if (raiseMaster || raiseChannels) {
            uint8_t buffer[1024];
            spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
            spa_pod_frame frame;
            spa_pod_builder_push_object(&b, &frame, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
            if (raiseMaster) {
                spa_pod_builder_prop(&b, SPA_PROP_volume, 0);
                spa_pod_builder_float(&b, minimum);
            }
            if (raiseChannels) {
                spa_pod_builder_prop(&b, SPA_PROP_channelVolumes, 0);
                spa_pod_builder_array(&b, sizeof(float), SPA_TYPE_Float, uint32_t(volumes.channels.size()),
                                      volumes.channels.data());
            }
            const auto *props = static_cast<const spa_pod *>(spa_pod_builder_pop(&b, &frame));
            if (props)
                pw_node_set_param(node, SPA_PARAM_Props, 0, props);
            graph.sync(timeout);
        }
    }
    spa_hook_remove(&listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(node));
}

} // namespace capture
