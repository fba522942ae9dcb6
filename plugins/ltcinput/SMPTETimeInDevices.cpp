// Channel discovery: "Sondeo -d" lists one line per input channel.
#include "plugins/ltcinput/SMPTETimeIn.h"

#include "platform/SystemLog.h"

namespace {

// A whole field of decimal digits, so device and channel numbers above 9 read right.
bool decimalField(std::string_view s, int32_t &value)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.remove_suffix(1);
    if (s.empty() || s.size() > 9)
        return false;
    int32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

} // namespace

SMPTETimeIn::DeviceList SMPTETimeIn::getAllDevicesInit()
{
    SMPTETimeIn discovery;
    discovery.allAudioIns_.reserve(2);
    platform::systemLog(QStringLiteral("SMPTETimeIn(findDevicesExtension) init 3"));
    discovery.getDevices();
    platform::systemLog(QStringLiteral("SMPTETimeIn(findDevicesExtension) init 4"));
    return std::move(discovery.allAudioIns_);
}

void SMPTETimeIn::getDevices()
{
    if (cpid_.load() != 0)
        return;
    if (!runSondeo({ "-d" }, false))
        return;
    TClistener(false);
}

void SMPTETimeIn::processTCDeviceLine(std::string_view line)
{
    QString shown = QString::fromUtf8(line.data(), qsizetype(line.size()));
    while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r')))
        shown.chop(1);
    platform::systemLog(QStringLiteral("processTCLine<%1> %2").arg(line.size()).arg(shown));
    if (line.size() <= 7)
        return;

    // ">device <name>\t<device>\t<channel>\n"
    const size_t t = line.find('\t', 8);
    if (t == std::string_view::npos) {
        platform::systemLog(QStringLiteral("ignored device line without fields: %1").arg(shown));
        return;
    }
    platform::systemLog(QStringLiteral("i %1").arg(qint64(t) - 1));
    const std::string_view rest = line.substr(t + 1);
    const size_t t2 = rest.find('\t');
    int32_t device = 0;
    int32_t side = 0;
    if (t2 == std::string_view::npos || !decimalField(rest.substr(0, t2), device)
        || !decimalField(rest.substr(t2 + 1), side)) {
        platform::systemLog(
            QStringLiteral("ignored device line with unreadable numbers: %1").arg(shown));
        return;
    }
    const std::string_view name = line.substr(8, t - 8);
    device_ = device;
    side_ = side;
    allAudioIns_.push_back(std::make_shared<audioDeviceDescription>(
        device, side, QString::fromUtf8(name.data(), qsizetype(name.size()))));
}
