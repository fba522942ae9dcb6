#include "orrery/TCMDTime.h"
#include "orrery/UBMDUserBits.h"
#include "orrery/tsd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(UBMDUserBits, KeepsTheGroupsInTheOrderGiven)
{
    const auto ub = UBMDUserBits::ubitsWithU(1, 2, 3, 4, 5, 6, 7, 0xFF);
    EXPECT_EQ(ub->ub1(), 1);
    EXPECT_EQ(ub->ub2(), 2);
    EXPECT_EQ(ub->ub3(), 3);
    EXPECT_EQ(ub->ub4(), 4);
    EXPECT_EQ(ub->ub5(), 5);
    EXPECT_EQ(ub->ub6(), 6);
    EXPECT_EQ(ub->ub7(), 7);
    EXPECT_EQ(ub->ub8(), 0xFF);
    const UBMDUserBits zero;
    EXPECT_EQ(zero.ub1() | zero.ub4() | zero.ub8(), 0);
    EXPECT_TRUE(zero.source().isEmpty());
}

TEST(MetaDataRecord, TimecodeLabelsReadBackWhatTheyWrite)
{
    const std::shared_ptr<TCMDTime> labels[] = {
        TCMDTime::initWithHour(1, 2, 3, 4, 25, false),
        TCMDTime::initWithHour(23, 59, 59, 29, 30, true),
        TCMDTime::initWithHour(0, 1, 0, 4, 60, true),
        TCMDTime::initWithTimeInFrames(2589408, 30, true), // hour 24
        TCMDTime::initWithTimeInFrames(1500, 25, true), // flag kept at 25
        TCMDTime::initWithTimeInFrames(0xFFFFFFFFu, 1, false),
        std::make_shared<TCMDTime>(), // placeholder
    };
    for (const auto &label : labels) {
        ASSERT_TRUE(label);
        label->setSource("LTC 1");
        const auto record = label->tsdWithMe();
        EXPECT_EQ(record->type(), "TCMDTime");
        EXPECT_EQ(record->source(), "LTC 1");
        const auto back = TCMDTime::initWithTsd(*record);
        ASSERT_TRUE(back) << record->data().toStdString();
        EXPECT_EQ(back->hour(), label->hour());
        EXPECT_EQ(back->minute(), label->minute());
        EXPECT_EQ(back->second(), label->second());
        EXPECT_EQ(back->frame(), label->frame());
        EXPECT_EQ(back->fps(), label->fps());
        EXPECT_EQ(back->isDropFrame(), label->isDropFrame());
        EXPECT_EQ(back->source(), "LTC 1");
    }
    EXPECT_EQ(labels[1]->tsdWithMe()->data(), "23:59:59;29/30");
}

TEST(MetaDataRecord, UserBitsAndBaseReadBackWhatTheyWrite)
{
    const auto ub = UBMDUserBits::initWithU(0x00, 0x12, 0xAB, 0xFF, 7, 8, 9, 10);
    ub->setSource("LTC 2");
    const auto record = ub->tsdWithMe();
    EXPECT_EQ(record->type(), "UBMDUserBits");
    EXPECT_EQ(record->data(), "00 12 AB FF 07 08 09 0A");
    const auto back = UBMDUserBits::initWithTsd(*record);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ub2(), 0x12);
    EXPECT_EQ(back->ub3(), 0xAB);
    EXPECT_EQ(back->ub8(), 10);
    EXPECT_EQ(back->source(), "LTC 2");

    TCMetaData base;
    base.setSource("somewhere");
    const auto baseRecord = base.tsdWithMe();
    EXPECT_EQ(baseRecord->type(), "TCMetaData");
    EXPECT_TRUE(baseRecord->data().isEmpty());
    const auto baseBack = TCMetaData::initWithTsd(*baseRecord);
    ASSERT_TRUE(baseBack);
    EXPECT_EQ(baseBack->source(), "somewhere");
}

TEST(MetaDataRecord, RecordsOfAnotherKindOrWithBadDataAreRefused)
{
    struct Row
    {
        const char *type;
        const char *data;
    };
    const Row labels[] = {
        { "UBMDUserBits", "01:02:03:04/25" },
        { "TCMDTime", "" },
        { "TCMDTime", "01:02:03.04/25" },
        { "TCMDTime", "01:02:03:04/25 " },
        { "TCMDTime", "-1:02:03:04/25" },
        { "TCMDTime", "00:01:00;00/30" }, // a skipped drop-frame label
        { "TCMDTime", "00:00:00:30/30" }, // frame beyond the rate
        { "TCMDTime", "00:60:00:00/30" },
        { "TCMDTime", "00:00:00:01/0" }, // rate 0 other than the placeholder
        { "TCMDTime", "00:00:00:00/9999999999" }, // rate beyond 32 bits
        { "TCMDTime", "4294967295:00:00:00/30" }, // count beyond 32 bits
        { "TCMDTime", "39768:13:00:00/30" }, // count just beyond 32 bits
    };
    for (const Row &r : labels) {
        tsd record;
        record.setType(r.type);
        record.setData(r.data);
        EXPECT_FALSE(TCMDTime::initWithTsd(record)) << r.type << " " << r.data;
    }
    const Row bits[] = {
        { "TCMDTime", "00 00 00 00 00 00 00 00" },
        { "UBMDUserBits", "00 00 00 00 00 00 00" },
        { "UBMDUserBits", "00 00 00 00 00 00 00 100" },
        { "UBMDUserBits", "00 00 00 00 00 00 00 0G" },
    };
    for (const Row &r : bits) {
        tsd record;
        record.setType(r.type);
        record.setData(r.data);
        EXPECT_FALSE(UBMDUserBits::initWithTsd(record)) << r.type << " " << r.data;
    }
    tsd other;
    other.setType("TCMDTime");
    EXPECT_FALSE(TCMetaData::initWithTsd(other));
}

// A label handed to another thread is read there while its source changes.
TEST(TCMetaData, SourceMayChangeWhileAnotherThreadReads)
{
    const auto label = TCMDTime::initWithHour(1, 2, 3, 4, 30, false);
    std::atomic<bool> done { false };
    std::thread reader([&] {
        while (!done) {
            const QString s = label->source();
            ASSERT_TRUE(s.isEmpty() || s.startsWith("input ")) << s.toStdString();
            ASSERT_EQ(label->frame(), 4u);
        }
    });
    for (int i = 0; i < 20000; ++i)
        label->setSource(QStringLiteral("input %1").arg(i));
    label->setSource(label->source());
    done = true;
    reader.join();
    EXPECT_EQ(label->source(), "input 19999");
}

} // namespace
