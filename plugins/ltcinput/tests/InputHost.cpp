#include "plugins/ltcinput/tests/InputHost.h"

#include "kairon/core/FilePluginFactory.h"
#include "platform/Bundle.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace ltctest {

QString buildTreeRoot()
{
    const QByteArray fromEnv = qgetenv("KAIRON_BUILD_DIR");
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
    return QString::fromStdString(testsupport::buildTreePath("."));
}

InputHost::InputHost()
    : manager_(std::make_shared<PluginManager>())
{
    platform::Bundle::setMainBundleRoot(buildTreeRoot());
    AbstractPluginManager::setSharedManager(manager_);
    FilePluginFactory factory;
    factory.loadPlugins();
}

InputHost::~InputHost()
{
    AbstractPluginManager::setSharedManager(nullptr);
    manager_.reset();
}

InputList InputHost::inputs() const
{
    return manager_->inputPluginInstances();
}

std::shared_ptr<tsyncInput> InputHost::inputNamed(const QString &name) const
{
    for (const auto &in : inputs())
        if (in->name() == name)
            return in;
    return nullptr;
}

QStringList InputHost::inputNames() const
{
    QStringList names;
    for (const auto &in : inputs())
        names << in->name();
    return names;
}

QStringList InputHost::inputClassNames() const
{
    QStringList names;
    for (const auto &cls : manager_->inputPluginClasses())
        names << cls->className();
    return names;
}

namespace {

// Fields of /proc/<pid>/stat after the command name.
QStringList statFields(pid_t pid, QString *command = nullptr)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(f.readAll());
    const qsizetype open = text.indexOf(QLatin1Char('('));
    const qsizetype close = text.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {};
    if (command)
        *command = text.mid(open + 1, close - open - 1);
    return text.mid(close + 2).split(QLatin1Char(' '));
}

} // namespace

std::vector<pid_t> sondeoChildren()
{
    std::vector<pid_t> found;
    const pid_t self = ::getpid();
    for (const QString &entry :
         QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QString command;
        const QStringList fields = statFields(pid, &command);
        // fields[0] is the state, fields[1] the parent.
        if (fields.size() > 1 && fields[1].toInt() == self && command == QLatin1String("Sondeo"))
            found.push_back(pid);
    }
    return found;
}

double processCpuSeconds(pid_t pid)
{
    const QStringList fields = statFields(pid);
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 here.
    if (fields.size() < 14)
        return -1;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

} // namespace ltctest
