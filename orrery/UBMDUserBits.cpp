#include "orrery/UBMDUserBits.h"

#include "orrery/tsd.h"

#include <QStringList>

const QString UBMDUserBits::typeTag = QStringLiteral("UBMDUserBits");

UBMDUserBits::UBMDUserBits(uint8_t u1, uint8_t u2, uint8_t u3, uint8_t u4, uint8_t u5, uint8_t u6,
                           uint8_t u7, uint8_t u8)
    : m_ub { u1, u2, u3, u4, u5, u6, u7, u8 }
{
}

std::shared_ptr<UBMDUserBits> UBMDUserBits::initWithU(uint8_t u1, uint8_t u2, uint8_t u3,
                                                      uint8_t u4, uint8_t u5, uint8_t u6,
                                                      uint8_t u7, uint8_t u8)
{
    return std::make_shared<UBMDUserBits>(u1, u2, u3, u4, u5, u6, u7, u8);
}

std::shared_ptr<UBMDUserBits> UBMDUserBits::ubitsWithU(uint8_t u1, uint8_t u2, uint8_t u3,
                                                       uint8_t u4, uint8_t u5, uint8_t u6,
                                                       uint8_t u7, uint8_t u8)
{
    return initWithU(u1, u2, u3, u4, u5, u6, u7, u8);
}

QString UBMDUserBits::dataText() const
{
    return QString::asprintf("%02X %02X %02X %02X %02X %02X %02X %02X", m_ub[0], m_ub[1], m_ub[2],
                             m_ub[3], m_ub[4], m_ub[5], m_ub[6], m_ub[7]);
}

std::shared_ptr<UBMDUserBits> UBMDUserBits::initWithTsd(const tsd &record)
{
    if (record.type() != typeTag)
        return nullptr;
    const QStringList parts = record.data().split(QLatin1Char(' '));
    if (parts.size() != 8)
        return nullptr;
    auto value = std::make_shared<UBMDUserBits>();
    for (int i = 0; i < 8; ++i) {
        bool ok = false;
        const uint v = parts[i].toUInt(&ok, 16);
        if (!ok || parts[i].size() != 2)
            return nullptr;
        value->m_ub[i] = static_cast<uint8_t>(v);
    }
    value->setSource(record.source());
    return value;
}
