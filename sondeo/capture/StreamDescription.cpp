#include "sondeo/capture/StreamDescription.h"

#include <spa/param/audio/format-utils.h>
#include <spa/param/format-utils.h>

namespace capture {

namespace {

struct SampleLayout {
    uint32_t bits;      // significant bits
    uint32_t bytes;     // container size
    uint32_t flags;
    bool planar;
};

bool layoutOf(uint32_t format, SampleLayout &l)
{
    using F = StreamDescription;
    switch (format) {
    case SPA_AUDIO_FORMAT_F32_LE: l = { 32, 4, F::kFlagIsFloat, false }; return true;
    case SPA_AUDIO_FORMAT_F32_BE: l = { 32, 4, F::kFlagIsFloat | F::kFlagIsBigEndian, false }; return true;
    case SPA_AUDIO_FORMAT_F64_LE: l = { 64, 8, F::kFlagIsFloat, false }; return true;
    case SPA_AUDIO_FORMAT_F64_BE: l = { 64, 8, F::kFlagIsFloat | F::kFlagIsBigEndian, false }; return true;
    case SPA_AUDIO_FORMAT_F32P: l = { 32, 4, F::kFlagIsFloat, true }; return true;
    case SPA_AUDIO_FORMAT_F64P: l = { 64, 8, F::kFlagIsFloat, true }; return true;
    case SPA_AUDIO_FORMAT_U8: l = { 8, 1, 0, false }; return true;
    case SPA_AUDIO_FORMAT_S8: l = { 8, 1, F::kFlagIsSignedInteger, false }; return true;
    case SPA_AUDIO_FORMAT_S16_LE: l = { 16, 2, F::kFlagIsSignedInteger, false }; return true;
    case SPA_AUDIO_FORMAT_S16_BE: l = { 16, 2, F::kFlagIsSignedInteger | F::kFlagIsBigEndian, false }; return true;
    case SPA_AUDIO_FORMAT_S16P: l = { 16, 2, F::kFlagIsSignedInteger, true }; return true;
    case SPA_AUDIO_FORMAT_S24_LE: l = { 24, 3, F::kFlagIsSignedInteger, false }; return true;
    case SPA_AUDIO_FORMAT_S24_32_LE: l = { 24, 4, F::kFlagIsSignedInteger, false }; return true;
    case SPA_AUDIO_FORMAT_S32_LE: l = { 32, 4, F::kFlagIsSignedInteger, false }; return true;
    case SPA_AUDIO_FORMAT_S32_BE: l = { 32, 4, F::kFlagIsSignedInteger | F::kFlagIsBigEndian, false }; return true;
    case SPA_AUDIO_FORMAT_S32P: l = { 32, 4, F::kFlagIsSignedInteger, true }; return true;
    default: return false;
    }
}

} // namespace

bool describeFormat(const spa_pod *format, StreamDescription &out)
{
    out = {};
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (!format || spa_format_parse(format, &mediaType, &mediaSubtype) < 0)
        return false;
    if (mediaType != SPA_MEDIA_TYPE_audio || mediaSubtype != SPA_MEDIA_SUBTYPE_raw)
        return true; // readable, but not linear PCM
    spa_audio_info_raw raw {};
    if (spa_format_audio_raw_parse(format, &raw) < 0)
        return false;
    out.sampleRate = raw.rate;
    out.channelsPerFrame = raw.channels;
    out.framesPerPacket = 1;
    SampleLayout layout {};
    if (!layoutOf(raw.format, layout))
        return true; // a raw format we cannot describe: treated as not linear PCM
    out.formatID = StreamDescription::kLinearPCM;
    out.formatFlags = layout.flags;
    if (layout.bits == layout.bytes * 8)
        out.formatFlags |= StreamDescription::kFlagIsPacked;
    if (layout.planar)
        out.formatFlags |= StreamDescription::kFlagIsNonInterleaved;
    out.bitsPerChannel = layout.bits;
    // A non-interleaved buffer holds one channel, so its frame is one sample.
    out.bytesPerFrame = layout.planar ? layout.bytes : layout.bytes * raw.channels;
    out.bytesPerPacket = out.bytesPerFrame;
    return true;
}

} // namespace capture
