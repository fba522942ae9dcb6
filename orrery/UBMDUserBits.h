#pragma once

#include "orrery/TCMetaData.h"

#include <array>
#include <cstdint>
#include <memory>

// The eight user-bit groups of one LTC frame, one byte each, kept in the
// order they were given (ub1 is the first). The LTC input gives SMPTE group
// 8 first. Immutable apart from the inherited source.
class UBMDUserBits : public TCMetaData
{
public:
    static const QString typeTag;

    // All eight groups 0.
    UBMDUserBits() = default;
    UBMDUserBits(uint8_t u1, uint8_t u2, uint8_t u3, uint8_t u4, uint8_t u5, uint8_t u6, uint8_t u7,
                 uint8_t u8);

    static std::shared_ptr<UBMDUserBits> initWithU(uint8_t u1, uint8_t u2, uint8_t u3, uint8_t u4,
                                                   uint8_t u5, uint8_t u6, uint8_t u7, uint8_t u8);
    static std::shared_ptr<UBMDUserBits> ubitsWithU(uint8_t u1, uint8_t u2, uint8_t u3, uint8_t u4,
                                                    uint8_t u5, uint8_t u6, uint8_t u7, uint8_t u8);

    uint8_t ub1() const { return m_ub[0]; }
    uint8_t ub2() const { return m_ub[1]; }
    uint8_t ub3() const { return m_ub[2]; }
    uint8_t ub4() const { return m_ub[3]; }
    uint8_t ub5() const { return m_ub[4]; }
    uint8_t ub6() const { return m_ub[5]; }
    uint8_t ub7() const { return m_ub[6]; }
    uint8_t ub8() const { return m_ub[7]; }

    // The record's data holds the eight groups as two-digit hex bytes
    // separated by spaces, ub1 first. Empty for another kind or bad data.
    static std::shared_ptr<UBMDUserBits> initWithTsd(const tsd &record);

protected:
    QString type() const override { return typeTag; }
    QString dataText() const override;

private:
    std::array<uint8_t, 8> m_ub {};
};
