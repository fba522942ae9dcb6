#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class NamedClass : public platform::MetaClass {
public:
    NamedClass(QString name, QString contract) : name_(std::move(name)), contract_(std::move(contract)) {}
    QString className() const override { return name_; }
    bool conformsTo(const QString &contract) const override { return contract == contract_; }

private:
    QString name_;
    QString contract_;
};

constexpr char kStatic[] = "RegistryTestStaticClass";
class StaticClass : public NamedClass {
public:
    StaticClass() : NamedClass(QString::fromLatin1(kStatic), QStringLiteral("static")) {}
};
// Registered while the test executable is loaded, like a compiled-in class.
platform::ClassRegistration<StaticClass> staticRegistration;

TEST(ClassRegistry, FindsAClassRegisteredAtLoadTimeByName)
{
    auto cls = platform::ClassRegistry::shared().classNamed(QString::fromLatin1(kStatic));
    ASSERT_TRUE(cls);
    EXPECT_TRUE(cls->conformsTo(QStringLiteral("static")));
    EXPECT_FALSE(cls->conformsTo(QStringLiteral("other")));
    EXPECT_FALSE(platform::ClassRegistry::shared().classNamed(QStringLiteral("NoSuchClassAnywhere")));
}

TEST(ClassRegistry, FirstRegistrationOfANameWinsAndMarksListOnlyAcceptedClasses)
{
    auto &registry = platform::ClassRegistry::shared();
    const size_t mark = registry.registrationMark();
    auto first = std::make_shared<NamedClass>(QStringLiteral("RegistryTestDuplicate"), QStringLiteral("first"));
    auto second = std::make_shared<NamedClass>(QStringLiteral("RegistryTestDuplicate"), QStringLiteral("second"));
    auto other = std::make_shared<NamedClass>(QStringLiteral("RegistryTestOther"), QStringLiteral("other"));
    registry.registerClass(first);
    registry.registerClass(second);
    registry.registerClass(nullptr);
    registry.registerClass(other);

    EXPECT_EQ(registry.classNamed(QStringLiteral("RegistryTestDuplicate")), first);
    const auto since = registry.classesRegisteredSince(mark);
    ASSERT_EQ(since.size(), 2u);
    EXPECT_EQ(since[0], first);
    EXPECT_EQ(since[1], other);
    EXPECT_TRUE(registry.classesRegisteredSince(registry.registrationMark()).empty());
    EXPECT_TRUE(registry.classesRegisteredSince(registry.registrationMark() + 5).empty());
}

TEST(ClassRegistry, ConcurrentRegistrationAndLookupKeepEveryClassOnce)
{
    auto &registry = platform::ClassRegistry::shared();
    constexpr int threads = 4;
    constexpr int perThread = 50;
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < perThread; ++i) {
                // Every thread registers the same names: only one of each may stay.
                const QString name = QStringLiteral("RegistryTestConcurrent%1").arg(i);
                registry.registerClass(std::make_shared<NamedClass>(name, QString::number(t)));
                EXPECT_TRUE(registry.classNamed(name));
                (void)registry.allClasses();
            }
        });
    }
    go = true;
    for (auto &w : workers)
        w.join();
    int found = 0;
    for (const auto &cls : registry.allClasses())
        found += cls->className().startsWith(QStringLiteral("RegistryTestConcurrent")) ? 1 : 0;
    EXPECT_EQ(found, perThread);
}

} // namespace
